// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding the "L" reply data and turning each field into window and set-panel changes.

#include "support/sample_blocks.h"
#include "protocol/parameter_codec.h"

#include <QTest>

namespace {

// The reply data as a string, delivered the way the serial readers deliver it: one character,
// or a fixed-width field with its leading zeros removed; empty once the data run out.
class StringSource : public CharacterSource {
public:
    explicit StringSource(const QString& data) : m_data(data) {}

    QString GET_CHAR() override
    {
        if (m_pos >= m_data.size())
            return QString();
        return m_data.mid(m_pos++, 1);
    }

    QString GET_NUM05() override
    {
        if (remaining() < 5)
            return QString();
        QString text;
        bool leading = true;
        for (int k = 0; k < 5; ++k)
            take(text, leading, true);
        return finish(text);
    }

    QString GET_NUM05NT() override
    {
        if (remaining() < 5)
            return QString();
        QString text;
        bool leading = true;
        int width = 5;
        for (int taken = 0; taken < width; ++taken) {
            if (m_data.at(m_pos) == QLatin1Char('-') && taken == 0) {
                // The reader then waits for six pending characters: the rest of the field and one more.
                if (remaining() < 7)
                    return QString();
                width = 6;
                text.append(m_data.at(m_pos++));
                ++taken;
            }
            take(text, leading, width == 5);
        }
        return finish(text);
    }

    qsizetype position() const { return m_pos; }

private:
    qsizetype remaining() const { return m_data.size() - m_pos; }

    // Leading zeros become blanks (dropped altogether in a signed field) and vanish in the trim.
    void take(QString& text, bool& leading, bool blankForZero)
    {
        const QChar c = m_data.at(m_pos++);
        if (c == QLatin1Char('0') && leading) {
            if (blankForZero)
                text.append(QLatin1Char(' '));
        } else {
            leading = false;
            text.append(c);
        }
    }

    static QString finish(QString text)
    {
        if (text == QLatin1String("     "))
            return QStringLiteral("0");
        while (text.startsWith(QLatin1Char(' ')))
            text.remove(0, 1);
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text;
    }

    QString m_data;
    qsizetype m_pos = 0;
};

// Records each field handed over, with how far the source had read at that moment.
class RecordingSink : public ParameterSink {
public:
    explicit RecordingSink(const StringSource* source = nullptr) : m_source(source) {}

    void field(int number, const QString& text) override
    {
        numbers.append(number);
        texts.append(text);
        positions.append(m_source ? m_source->position() : -1);
    }

    QList<int> numbers;
    QStringList texts;
    QList<qsizetype> positions;

private:
    const StringSource* m_source;
};

const QString exampleData = QString::fromLatin1(exampleBlock + '\r');

const QStringList exampleFields = {"123", "R", "1",    "0", "500", "1829", "1",    "30", "0",   "10",
                                   "15",  "1", "1829", "0", "0",   "2",    "3049", "0",  "1000"};

QList<int> fieldsUpTo(int last, int skip = 0)
{
    QList<int> numbers;
    for (int n = 1; n <= last; ++n) {
        if (n != skip)
            numbers.append(n);
    }
    return numbers;
}

// The example data with the character at `index` (of the data, before the terminator) replaced.
QString replaced(qsizetype index, QChar c)
{
    QString data = exampleData;
    data[index] = c;
    return data;
}

QString colourName(Colour colour)
{
    switch (colour) {
    case Colour::InvalidRed: return QStringLiteral("red");
    case Colour::Window: return QStringLiteral("window");
    case Colour::WindowText: return QStringLiteral("windowtext");
    }
    return QStringLiteral("?");
}

// One line per change: "field=text bg:colour fg:colour" for the window,
// "panel field=text" or "panel field:checked" for the set panel.
QStringList describe(const FormattedField& formatted)
{
    QStringList lines;
    for (const FieldChange& change : formatted.window) {
        QString line = fieldName(change.field);
        if (change.text)
            line += QLatin1Char('=') + *change.text;
        if (change.background)
            line += QStringLiteral(" bg:") + colourName(*change.background);
        if (change.textColour)
            line += QStringLiteral(" fg:") + colourName(*change.textColour);
        lines.append(line);
    }
    for (const PanelChange& change : formatted.panel) {
        QString line = QStringLiteral("panel ") + fieldName(change.field);
        if (change.text)
            line += QLatin1Char('=') + *change.text;
        if (change.checked)
            line += *change.checked ? QStringLiteral(":checked") : QStringLiteral(":unchecked");
        lines.append(line);
    }
    return lines;
}

}  // namespace

class TestParameterCodec : public QObject {
    Q_OBJECT

private slots:
    void decode_example_reply();
    void example_shows_table_in_order();
    void decode_reads_signed_fields_data();
    void decode_reads_signed_fields();
    void decode_ends_silently_data();
    void decode_ends_silently();
    void decode_reports_separator_data();
    void decode_reports_separator();
    void decode_reports_terminator_data();
    void decode_reports_terminator();
    void field9_waits_for_its_separator();

    void format_field_data();
    void format_field();
    void format_never_shows_inf_or_nan_data();
    void format_never_shows_inf_or_nan();
};

void TestParameterCodec::decode_example_reply()
{
    StringSource source(exampleData);
    RecordingSink sink;
    const DecodeResult result = decode_parameter_block(source, sink);
    QVERIFY(result.ok);
    QVERIFY(result.message.isEmpty());
    QVERIFY(!result.silent);
    QCOMPARE(sink.numbers, fieldsUpTo(19));
    QCOMPARE(sink.texts, exampleFields);
    QCOMPARE(source.position(), exampleData.size());
}

// The example reply, decoded and formatted field by field as the read shows it.
void TestParameterCodec::example_shows_table_in_order()
{
    StringSource source(exampleData);
    QStringList shown;
    QStringList panel;
    struct FormattingSink : ParameterSink {
        ParameterFormatter formatter;
        QStringList* shown;
        QStringList* panel;
        void field(int number, const QString& text) override
        {
            for (const QString& line : describe(formatter.format(number, text)))
                (line.startsWith(QLatin1String("panel ")) ? panel : shown)->append(line);
        }
    } sink;
    sink.shown = &shown;
    sink.panel = &panel;
    QVERIFY(decode_parameter_block(source, sink).ok);

    const QStringList expectedShown = {
        QStringLiteral("curr_pos=123°"),
        QStringLiteral("cbox_status=READY bg:window"),
        QStringLiteral("mode_msg=South-stop"),
        QStringLiteral("read_lower_limit=0°"),
        QStringLiteral("read_upper_limit=500°"),
        QStringLiteral("read_inv_delay=3sec"),
        QStringLiteral("pwm_msg=ON"),
        QStringLiteral("read_pwm_period=49ms"),
        QStringLiteral("read_pwm_max_duty=100%"),
        QStringLiteral("read_ramp=10°"),
        QStringLiteral("read_pwm_min_duty=50%"),
        QStringLiteral("optimize_msg=ON"),
        QStringLiteral("read_pres_delay=3sec"),
        QStringLiteral("offset_read=0°"),
        QStringLiteral("mot_check_msg=OFF"),
        QStringLiteral("check_angle=2°"),
        QStringLiteral("read_rot_timeout=5sec"),
        QStringLiteral("dipsw=DISABLED fg:windowtext"),
        QStringLiteral("label_dipsw fg:windowtext"),
        QStringLiteral("cal_fact=1000"),
    };
    QCOMPARE(shown.join(QLatin1Char('\n')), expectedShown.join(QLatin1Char('\n')));

    // What the start-up read copies into the set panel: the defaults, but for the period as read back.
    const QStringList expectedPanel = {
        QStringLiteral("panel north_stop:unchecked"),
        QStringLiteral("panel south_stop:checked"),
        QStringLiteral("panel lower_limit=0"),
        QStringLiteral("panel upper_limit=500"),
        QStringLiteral("panel inv_delay=3"),
        QStringLiteral("panel pwm_on:checked"),
        QStringLiteral("panel pwm_period=49"),
        QStringLiteral("panel pwm_max_duty=100"),
        QStringLiteral("panel ramp=10"),
        QStringLiteral("panel pwm_min_duty=50"),
        QStringLiteral("panel optimize:checked"),
        QStringLiteral("panel pres_delay=3"),
        QStringLiteral("panel offset_write=0"),
        QStringLiteral("panel mot_check:unchecked"),
        QStringLiteral("panel check_angle_write=2"),
        QStringLiteral("panel rot_timeout=5"),
    };
    QCOMPARE(panel.join(QLatin1Char('\n')), expectedPanel.join(QLatin1Char('\n')));
}

void TestParameterCodec::decode_reads_signed_fields_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");

    QTest::newRow("negative position") << QStringLiteral(
        "-00005,R,00001,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,"
        "00002,03049,00000,01000\r") << 1
                                       << "-5";
    QTest::newRow("negative lower limit") << QString::fromLatin1(exampleBlockWith(4, "-00020") + '\r') << 4 << "-20";
    QTest::newRow("minus zero") << QString::fromLatin1(exampleBlockWith(14, "-00000") + '\r') << 14 << "-";
    QTest::newRow("negative calibration factor")
        << QString::fromLatin1(exampleBlockWith(19, "-01000") + '\r') << 19 << "-1000";
    QTest::newRow("busy goes on") << QStringLiteral(
        "00123,B,00001,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,"
        "00002,03049,00000,01000\r")
                                  << 2 << "B";
    QTest::newRow("absolute stop mode") << QStringLiteral(
        "00123,R,00002,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,"
        "00002,03049,00000,01000\r") << 3
                                        << "2";
}

void TestParameterCodec::decode_reads_signed_fields()
{
    QFETCH(QString, data);
    QFETCH(int, number);
    QFETCH(QString, expected);

    StringSource source(data);
    RecordingSink sink;
    QVERIFY(decode_parameter_block(source, sink).ok);
    QCOMPARE(sink.numbers, fieldsUpTo(19));
    QCOMPARE(sink.texts.at(number - 1), expected);
}

void TestParameterCodec::decode_ends_silently_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<QList<int>>("handedOver");

    QTest::newRow("no data at all") << QString() << QList<int>{};
    QTest::newRow("position cut short") << QStringLiteral("0012") << QList<int>{};
    QTest::newRow("state neither B nor R") << QStringLiteral("00123,X,00001,") << fieldsUpTo(1);
    QTest::newRow("lower-case state") << QStringLiteral("00123,r,00001,") << fieldsUpTo(1);
    QTest::newRow("state timed out") << QStringLiteral("00123,") << fieldsUpTo(1);
    QTest::newRow("stop mode 3") << QStringLiteral("00123,R,00003,00000,") << fieldsUpTo(2);
    QTest::newRow("stop mode not a number") << QStringLiteral("00123,R,0000x,00000,") << fieldsUpTo(2);
    QTest::newRow("stop mode cut short") << QStringLiteral("00123,R,000") << fieldsUpTo(2);
    QTest::newRow("upper limit cut short") << QStringLiteral("00123,R,00001,00000,005") << fieldsUpTo(4);
    QTest::newRow("signed field cut after minus") << QStringLiteral("00123,R,00001,-0002") << fieldsUpTo(3);
    QTest::newRow("last field cut short") << QStringLiteral(
        "00123,R,00001,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,00002,03049,"
        "00000,0100") << fieldsUpTo(18);
}

void TestParameterCodec::decode_ends_silently()
{
    QFETCH(QString, data);
    QFETCH(QList<int>, handedOver);

    StringSource source(data);
    RecordingSink sink;
    const DecodeResult result = decode_parameter_block(source, sink);
    QVERIFY(!result.ok);
    QVERIFY(result.silent);
    QVERIFY(result.message.isEmpty());
    QCOMPARE(sink.numbers, handedOver);
}

// A wrong separator after field k ends the read with the character received; fields up to k
// have been handed over, except field 9, which waits for its separator.
void TestParameterCodec::decode_reports_separator_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QList<int>>("handedOver");

    QList<qsizetype> separators;
    for (qsizetype i = 0; i < exampleData.size(); ++i) {
        if (exampleData.at(i) == QLatin1Char(','))
            separators.append(i);
    }
    QCOMPARE(separators.size(), 18);

    for (int k = 1; k <= 18; ++k) {
        QTest::addRow("semicolon after field %d", k)
            << replaced(separators.at(k - 1), QLatin1Char(';')) << QStringLiteral("Separator invalid, received:;")
            << fieldsUpTo(k, k == 9 ? 9 : 0);
    }
    QTest::newRow("separator timed out after field 4")
        << exampleData.left(separators.at(3)) << QStringLiteral("Separator invalid, received:") << fieldsUpTo(4);
    QTest::newRow("separator timed out after field 9")
        << exampleData.left(separators.at(8)) << QStringLiteral("Separator invalid, received:") << fieldsUpTo(8);
    QTest::newRow("terminator in place of a separator")
        << replaced(separators.at(0), QLatin1Char('\r')) << QStringLiteral("Separator invalid, received:\r")
        << fieldsUpTo(1);
}

void TestParameterCodec::decode_reports_separator()
{
    QFETCH(QString, data);
    QFETCH(QString, message);
    QFETCH(QList<int>, handedOver);

    StringSource source(data);
    RecordingSink sink;
    const DecodeResult result = decode_parameter_block(source, sink);
    QVERIFY(!result.ok);
    QVERIFY(!result.silent);
    QCOMPARE(result.message, message);
    QCOMPARE(sink.numbers, handedOver);
}

void TestParameterCodec::decode_reports_terminator_data()
{
    QTest::addColumn<QString>("terminator");
    QTest::addColumn<QString>("message");

    QTest::newRow("N") << "N"
                       << "<Return> invalid, received ASC:78";
    QTest::newRow("line feed") << "\n"
                               << "<Return> invalid, received ASC:10";
    QTest::newRow("comma") << ","
                           << "<Return> invalid, received ASC:44";
    QTest::newRow("byte 255") << QStringLiteral("\u00FF") << "<Return> invalid, received ASC:255";
    QTest::newRow("timed out") << ""
                               << "<Return> invalid, received ASC:";
}

void TestParameterCodec::decode_reports_terminator()
{
    QFETCH(QString, terminator);
    QFETCH(QString, message);

    StringSource source(exampleData.chopped(1) + terminator);
    RecordingSink sink;
    const DecodeResult result = decode_parameter_block(source, sink);
    QVERIFY(!result.ok);
    QVERIFY(!result.silent);
    QCOMPARE(result.message, message);
    // Every field is shown before the terminator is looked at.
    QCOMPARE(sink.numbers, fieldsUpTo(19));
}

// Fields are handed over as soon as they are read; field 9 only after the separator behind it.
void TestParameterCodec::field9_waits_for_its_separator()
{
    StringSource source(exampleData);
    RecordingSink sink(&source);
    QVERIFY(decode_parameter_block(source, sink).ok);
    // Each field ends 6 characters after the start of the one before (5 digits, 1 separator),
    // field 2 being a single character.
    auto fieldEnd = [](int number) -> qsizetype {
        if (number == 1)
            return 5;
        if (number == 2)
            return 7;
        return 7 + (number - 2) * 6;
    };
    for (int n = 1; n <= 19; ++n) {
        const qsizetype expected = n == 9 ? fieldEnd(9) + 1 : fieldEnd(n);
        QCOMPARE(sink.positions.at(n - 1), expected);
    }
}

void TestParameterCodec::format_field_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("onTicks");
    QTest::addColumn<QString>("offTicks");
    QTest::addColumn<QStringList>("expected");

    const QString none;
    QTest::newRow("position") << 1 << "123" << none << none << QStringList{"curr_pos=123°"};
    QTest::newRow("zero position") << 1 << "0" << none << none << QStringList{"curr_pos=0°"};
    QTest::newRow("negative position") << 1 << "-5" << none << none << QStringList{"curr_pos=-5°"};
    QTest::newRow("busy") << 2 << "B" << none << none << QStringList{"cbox_status=BUSY bg:red"};
    QTest::newRow("ready") << 2 << "R" << none << none << QStringList{"cbox_status=READY bg:window"};
    QTest::newRow("unknown state") << 2 << "X" << none << none << QStringList{};
    QTest::newRow("north-stop") << 3 << "0" << none << none
                                << QStringList{"mode_msg=North-stop", "panel north_stop:checked",
                                               "panel south_stop:unchecked"};
    QTest::newRow("south-stop") << 3 << "1" << none << none
                                << QStringList{"mode_msg=South-stop", "panel north_stop:unchecked",
                                               "panel south_stop:checked"};
    QTest::newRow("absolute") << 3 << "2" << none << none
                              << QStringList{"mode_msg=Absolute", "panel north_stop:unchecked",
                                             "panel south_stop:unchecked"};
    QTest::newRow("unknown stop mode") << 3 << "3" << none << none << QStringList{};
    QTest::newRow("lower limit") << 4 << "0" << none << none
                                 << QStringList{"read_lower_limit=0°", "panel lower_limit=0"};
    QTest::newRow("upper limit") << 5 << "500" << none << none
                                 << QStringList{"read_upper_limit=500°", "panel upper_limit=500"};
    QTest::newRow("reversal delay") << 6 << "1829" << none << none
                                    << QStringList{"read_inv_delay=3sec", "panel inv_delay=3"};
    // 304 ticks are 0.49856 s, 305 ticks 0.5002 s: halves round up.
    QTest::newRow("delay just below half a second")
        << 6 << "304" << none << none << QStringList{"read_inv_delay=0sec", "panel inv_delay=0"};
    QTest::newRow("delay just above half a second")
        << 6 << "305" << none << none << QStringList{"read_inv_delay=1sec", "panel inv_delay=1"};
    QTest::newRow("negative delay") << 6 << "-1829" << none << none
                                    << QStringList{"read_inv_delay=-3sec", "panel inv_delay=-3"};
    QTest::newRow("PWM off") << 7 << "0" << none << none << QStringList{"pwm_msg=OFF", "panel pwm_on:unchecked"};
    QTest::newRow("PWM on") << 7 << "1" << none << none << QStringList{"pwm_msg=ON", "panel pwm_on:checked"};
    QTest::newRow("PWM any other value") << 7 << "7" << none << none
                                         << QStringList{"pwm_msg=ON", "panel pwm_on:checked"};
    QTest::newRow("on-time shows nothing") << 8 << "30" << none << none << QStringList{};
    QTest::newRow("period 30 + 0") << 9 << "0"
                                   << "30" << none
                                   << QStringList{"read_pwm_period=49ms", "read_pwm_max_duty=100%",
                                                  "panel pwm_period=49", "panel pwm_max_duty=100"};
    QTest::newRow("period 49 + 12") << 9 << "12"
                                    << "49" << none
                                    << QStringList{"read_pwm_period=100ms", "read_pwm_max_duty=80.327868852459%",
                                                   "panel pwm_period=100", "panel pwm_max_duty=80.327868852459"};
    QTest::newRow("period 0 + 0") << 9 << "0"
                                  << "0" << none
                                  << QStringList{"read_pwm_period=0ms", "read_pwm_max_duty=0%", "panel pwm_period=0",
                                                 "panel pwm_max_duty=0"};
    QTest::newRow("period 5 + -5") << 9 << "-5"
                                   << "5" << none
                                   << QStringList{"read_pwm_period=0ms", "read_pwm_max_duty=0%", "panel pwm_period=0",
                                                  "panel pwm_max_duty=0"};
    QTest::newRow("period 0 + 10") << 9 << "10"
                                   << "0" << none
                                   << QStringList{"read_pwm_period=16ms", "read_pwm_max_duty=0%", "panel pwm_period=16",
                                                  "panel pwm_max_duty=0"};
    QTest::newRow("ramp") << 10 << "10" << none << none << QStringList{"read_ramp=10°", "panel ramp=10"};
    QTest::newRow("min duty 12 of 49 + 12") << 11 << "12"
                                            << "49"
                                            << "12" << QStringList{"read_pwm_min_duty=20%", "panel pwm_min_duty=20"};
    QTest::newRow("min duty 15 of 30 + 0") << 11 << "15"
                                           << "30"
                                           << "0" << QStringList{"read_pwm_min_duty=50%", "panel pwm_min_duty=50"};
    QTest::newRow("min duty half rounds up") << 11 << "1"
                                             << "1"
                                             << "199" << QStringList{"read_pwm_min_duty=1%", "panel pwm_min_duty=1"};
    QTest::newRow("min duty just below half") << 11 << "1"
                                              << "1"
                                              << "200" << QStringList{"read_pwm_min_duty=0%", "panel pwm_min_duty=0"};
    QTest::newRow("min duty of 0 + 0") << 11 << "5"
                                       << "0"
                                       << "0" << QStringList{"read_pwm_min_duty=0%", "panel pwm_min_duty=0"};
    QTest::newRow("optimize off") << 12 << "0" << none << none
                                  << QStringList{"optimize_msg=OFF", "panel optimize:unchecked"};
    QTest::newRow("optimize on") << 12 << "1" << none << none
                                 << QStringList{"optimize_msg=ON", "panel optimize:checked"};
    QTest::newRow("preset delay") << 13 << "1829" << none << none
                                  << QStringList{"read_pres_delay=3sec", "panel pres_delay=3"};
    QTest::newRow("offset -70") << 14 << "65466" << none << none
                                << QStringList{"offset_read=-70°", "panel offset_write=-70"};
    QTest::newRow("offset 70") << 14 << "70" << none << none << QStringList{"offset_read=70°", "panel offset_write=70"};
    QTest::newRow("offset 32767") << 14 << "32767" << none << none
                                  << QStringList{"offset_read=32767°", "panel offset_write=32767"};
    QTest::newRow("offset 32768") << 14 << "32768" << none << none
                                  << QStringList{"offset_read=-32768°", "panel offset_write=-32768"};
    QTest::newRow("offset 65535") << 14 << "65535" << none << none
                                  << QStringList{"offset_read=-1°", "panel offset_write=-1"};
    QTest::newRow("offset 0") << 14 << "0" << none << none << QStringList{"offset_read=0°", "panel offset_write=0"};
    QTest::newRow("offset minus zero as it came")
        << 14 << "-" << none << none << QStringList{"offset_read=-°", "panel offset_write=-"};
    QTest::newRow("rotation check off") << 15 << "0" << none << none
                                        << QStringList{"mot_check_msg=OFF", "panel mot_check:unchecked"};
    QTest::newRow("rotation check on") << 15 << "1" << none << none
                                       << QStringList{"mot_check_msg=ON", "panel mot_check:checked"};
    QTest::newRow("check angle") << 16 << "2" << none << none
                                 << QStringList{"check_angle=2°", "panel check_angle_write=2"};
    QTest::newRow("rotation timeout") << 17 << "3049" << none << none
                                      << QStringList{"read_rot_timeout=5sec", "panel rot_timeout=5"};
    QTest::newRow("DIP switch disabled") << 18 << "0" << none << none
                                         << QStringList{"dipsw=DISABLED fg:windowtext", "label_dipsw fg:windowtext"};
    QTest::newRow("DIP switch enabled") << 18 << "1" << none << none
                                        << QStringList{"dipsw=ENABLED fg:red", "label_dipsw fg:red"};
    QTest::newRow("calibration factor") << 19 << "1000" << none << none << QStringList{"cal_fact=1000"};
    QTest::newRow("no field 0") << 0 << "1" << none << none << QStringList{};
    QTest::newRow("no field 20") << 20 << "1" << none << none << QStringList{};
}

void TestParameterCodec::format_field()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(QString, onTicks);
    QFETCH(QString, offTicks);
    QFETCH(QStringList, expected);

    const FormattedField formatted = format_parameter_block(number, text, onTicks, offTicks);
    QCOMPARE(describe(formatted).join(QLatin1Char('\n')), expected.join(QLatin1Char('\n')));
}

// The readers do not check digits, so a field may hold anything of five or six characters.
void TestParameterCodec::format_never_shows_inf_or_nan_data()
{
    QTest::addColumn<QString>("text");

    for (const char* text : {"9e999", "-9e99", "1e-99", "&HFFF", "???", "-", "0"})
        QTest::newRow(text) << QString::fromLatin1(text);
}

void TestParameterCodec::format_never_shows_inf_or_nan()
{
    QFETCH(QString, text);

    const QStringList others = {QStringLiteral("9e999"), QStringLiteral("-9e99"), QStringLiteral("0"),
                                QStringLiteral("1e-99"), QStringLiteral("1")};
    for (int number = 1; number <= 19; ++number) {
        for (const QString& on : others) {
            for (const QString& off : others) {
                for (const QString& line : describe(format_parameter_block(number, text, on, off))) {
                    QVERIFY2(!line.contains(QLatin1String("inf"), Qt::CaseInsensitive)
                                 && !line.contains(QLatin1String("nan"), Qt::CaseInsensitive),
                             qPrintable(QStringLiteral("field %1 with %2, %3: %4").arg(number).arg(on, off, line)));
                }
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestParameterCodec)
#include "tst_parameter_codec.moc"
