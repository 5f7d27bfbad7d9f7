// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter read "L" on the wire and in the window: every field of the block shown in the
// "PARAMETERS READ" panel at the moment it has been decoded, the reads that end early (with or
// without a message) leaving the later fields as they were, the buttons around the read, and the
// set panel left alone outside start-up. (The read while the monitor runs: tst_exchange.)

#include "support/test_window.h"
#include "support/sample_blocks.h"
#include "ui/colours.h"

#include <QLabel>
#include <QtTest>

namespace {

// A field of the read panel, the number of the block field that fills it and what the example
// block shows there.
struct ReadField {
    const char* name;
    int number;
    const char* shown;
};
const ReadField readPanel[] = {
    {"curr_pos", 1, "123°"},
    {"cbox_status", 2, "READY"},
    {"mode_msg", 3, "South-stop"},
    {"read_lower_limit", 4, "0°"},
    {"read_upper_limit", 5, "500°"},
    {"read_inv_delay", 6, "3sec"},
    {"pwm_msg", 7, "ON"},
    {"read_pwm_period", 9, "49ms"},
    {"read_pwm_max_duty", 9, "100%"},
    {"read_ramp", 10, "10°"},
    {"read_pwm_min_duty", 11, "50%"},
    {"optimize_msg", 12, "ON"},
    {"read_pres_delay", 13, "3sec"},
    {"offset_read", 14, "0°"},
    {"mot_check_msg", 15, "OFF"},
    {"check_angle", 16, "2°"},
    {"read_rot_timeout", 17, "5sec"},
    {"dipsw", 18, "DISABLED"},
    {"cal_fact", 19, "1000"},
};

QString name(const ReadField& f) { return QString::fromLatin1(f.name); }
QString shown(const ReadField& f) { return QString::fromUtf8(f.shown); }

// Fields `from` to `to` (1-based) of the example block, joined by their separators.
QByteArray fields(int from, int to) { return exampleBlock.split(',').mid(from - 1, to - from + 1).join(','); }

const QByteArray envelopeL = "\x02"
                             "A,L,";

// The texts of the whole read panel.
QStringList readPanelTexts(const TestWindow& t)
{
    QStringList texts;
    for (const ReadField& f : readPanel)
        texts << t.edit(name(f))->text();
    return texts;
}

// For each block field, the index in the reply of the last byte that must have been taken before
// the window may show it: the field's last character, or for field 9 the separator after it.
QList<int> showableAfter(const QByteArray& replyBytes)
{
    QList<int> last(20, -1);
    int number = 1;
    for (int i = envelopeL.size(); i < replyBytes.size() && number <= 19; ++i) {
        if (replyBytes[i] == ',' || replyBytes[i] == '\r')
            last[number++] = i - 1;
    }
    last[9] += 1;
    return last;
}

}  // namespace

class ParameterReadTest : public QObject {
    Q_OBJECT
private slots:
    // A value wider than its read field is shown whole as the field's tooltip.
    void wideValueIsShownAsATooltip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("tooltip");
        QTest::newRow("fits") << "50%" << false;
        QTest::newRow("wider than the field") << "80.327868852459%" << true;
    }
    void wideValueIsShownAsATooltip()
    {
        QFETCH(QString, value);
        QFETCH(bool, tooltip);
        TestWindow t;
        t.window->setText(Field::read_pwm_max_duty, QStringLiteral("80.327868852459%"));
        t.window->setText(Field::read_pwm_max_duty, value);
        QCOMPARE(t.edit(QStringLiteral("read_pwm_max_duty"))->toolTip(), tooltip ? value : QString());
    }

    void exampleReplyFillsTheReadPanel_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        for (const ReadField& f : readPanel)
            QTest::newRow(f.name) << name(f) << shown(f);
    }
    void exampleReplyFillsTheReadPanel()
    {
        QFETCH(QString, field);
        QFETCH(QString, expected);
        TestWindow t;
        t.port.expect(frame("L"), envelopeL + exampleBlock + '\r');
        t.click(QStringLiteral("read_info"));
        QCOMPARE(t.port.written, QByteArray("\x02"
                                            "AL\r"));
        QCOMPARE(t.edit(field)->text(), expected);
        QCOMPARE(t.messages.shown, QStringList());
        QVERIFY(!t.port.isOpen());
        QVERIFY(!t.window->link().timerArmed());
    }

    // Each field changes exactly when it has been decoded: not before its last character has been
    // taken (field 9: not before the separator after it), and before the next character is taken.
    void fieldsChangeWhenDecoded_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("gapMs");
        QTest::newRow("example at once") << exampleBlock << -1;
        QTest::newRow("example byte by byte") << exampleBlock << 2;
        const QByteArray negatives = exampleBlockWith(4, "-00010").replace("00123", "-00005");
        QTest::newRow("negative fields at once") << negatives << -1;
        QTest::newRow("negative fields byte by byte") << negatives << 2;
    }
    void fieldsChangeWhenDecoded()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, gapMs);
        const QByteArray replyBytes = envelopeL + data + '\r';
        TestWindow t;
        QStringList initial;
        for (const ReadField& f : readPanel)
            initial << t.window->text(fieldNamed(name(f)).value());

        QList<QStringList> seen;  // seen[i]: the read panel just before byte i was taken
        t.port.beforeTake = [&] {
            QStringList texts;
            for (const ReadField& f : readPanel)
                texts << t.window->text(fieldNamed(name(f)).value());
            seen << texts;
        };
        if (gapMs < 0) {
            t.port.expect(frame("L"), replyBytes);
        } else {
            t.port.expect(frame("L"), {}, -1);
            t.port.trickle(replyBytes, gapMs);
        }
        t.window->commands().CMD_READ_PARAMS();
        QCOMPARE(t.messages.shown, QStringList());
        QCOMPARE(seen.size(), replyBytes.size());

        QStringList final;
        for (const ReadField& f : readPanel)
            final << t.window->text(fieldNamed(name(f)).value());
        const QList<int> after = showableAfter(replyBytes);
        for (qsizetype k = 0; k < qsizetype(std::size(readPanel)); ++k) {
            const ReadField& f = readPanel[k];
            QVERIFY2(final[k] != initial[k], f.name);
            for (int i = 0; i < seen.size(); ++i) {
                const QString expected = i > after[f.number] ? final[k] : initial[k];
                if (seen[i][k] != expected)
                    QFAIL(qPrintable(
                        QStringLiteral("%1 showed \"%2\" before byte %3 of the reply was taken, expected \"%4\"")
                            .arg(name(f), seen[i][k])
                            .arg(i)
                            .arg(expected)));
            }
        }
        if (data.startsWith('-')) {
            QCOMPARE(t.window->text(Field::curr_pos), QStringLiteral("-5°"));
            QCOMPARE(t.window->text(Field::read_lower_limit), QStringLiteral("-10°"));
        }
    }

    // A read that ends early shows every field before the failing check and leaves every later
    // one as it was; each failure shows at most one message.
    void readEndingEarly_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("shownThrough");

        const QByteArray example = envelopeL + exampleBlock + '\r';
        QTest::newRow("no reply") << QByteArray() << QStringList{"cmd L: communication timeout on <header>"} << 0;
        QTest::newRow("no STX") << QByteArray(example).remove(0, 1)
                                << QStringList{"cmd L: communication timeout on <header>"} << 0;
        QTest::newRow("stray bytes before the STX") << "\r\nA,L\x01" + example << QStringList{} << 19;
        QTest::newRow("identifier") << QByteArray(example).replace("\x02"
                                                                   "A",
                                                                   "\x02"
                                                                   "a")
                                    << QStringList{"<Identifier> invalid, received:a"} << 0;
        QTest::newRow("first separator") << QByteArray(example).replace("A,L", "A.L")
                                         << QStringList{"<Separator>1 invalid, received:."} << 0;
        QTest::newRow("echo") << reply('S', "R") << QStringList{"<Cmd> invalid, received:S"} << 0;
        QTest::newRow("second separator")
            << QByteArray(example).replace("A,L,", "A,L;") << QStringList{"<Separator>2 invalid, received:;"} << 0;
        QTest::newRow("nothing after the header")
            << QByteArray("\x02") << QStringList{"<Identifier> invalid, received:"} << 0;
        QTest::newRow("semicolon after field 4") << envelopeL + fields(1, 4) + ';' + fields(5, 19) + '\r'
                                                 << QStringList{"Separator invalid, received:;"} << 4;
        QTest::newRow("separator missing after field 6")
            << envelopeL + fields(1, 6) << QStringList{"Separator invalid, received:"} << 6;
        QTest::newRow("field 9 waits for its separator") << envelopeL + fields(1, 9) + '.' + fields(10, 19) + '\r'
                                                         << QStringList{"Separator invalid, received:."} << 8;
        QTest::newRow("separator after field 18") << envelopeL + fields(1, 18) + ':' + fields(19, 19) + '\r'
                                                  << QStringList{"Separator invalid, received::"} << 18;
        QTest::newRow("state letter X") << envelopeL + exampleBlockWith(2, "X") + '\r' << QStringList{} << 1;
        QTest::newRow("state letter lower case") << envelopeL + exampleBlockWith(2, "r") + '\r' << QStringList{} << 1;
        QTest::newRow("state letter missing") << envelopeL + fields(1, 1) + ',' << QStringList{} << 1;
        QTest::newRow("stop mode 3") << envelopeL + exampleBlockWith(3, "00003") + '\r' << QStringList{} << 2;
        QTest::newRow("stop mode 10") << envelopeL + exampleBlockWith(3, "00010") + '\r' << QStringList{} << 2;
        QTest::newRow("field 1 short") << envelopeL + "0012" << QStringList{"GET_NUM05NT() Communication timeout!"}
                                       << 0;
        QTest::newRow("field 3 short") << envelopeL + fields(1, 2) + ",001"
                                       << QStringList{"GET_NUM05() Communication problems!"} << 2;
        QTest::newRow("field 5 short") << envelopeL + fields(1, 4) + ",005"
                                       << QStringList{"GET_NUM05NT() Communication timeout!"} << 4;
        QTest::newRow("negative field 5 short")
            << envelopeL + fields(1, 4) + ",-0050" << QStringList{"GET_NUM05NT() Communication timeout!"} << 4;
        QTest::newRow("field 19 short") << envelopeL + fields(1, 18) + ",0100"
                                        << QStringList{"GET_NUM05NT() Communication timeout!"} << 18;
        QTest::newRow("terminator N") << envelopeL + exampleBlock + 'N'
                                      << QStringList{"<Return> invalid, received ASC:78"} << 19;
        QTest::newRow("terminator LF") << envelopeL + exampleBlock + '\n'
                                       << QStringList{"<Return> invalid, received ASC:10"} << 19;
        QTest::newRow("terminator missing")
            << envelopeL + exampleBlock << QStringList{"<Return> invalid, received ASC:"} << 19;
    }
    void readEndingEarly()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, messages);
        QFETCH(int, shownThrough);
        TestWindow t;
        const QStringList before = readPanelTexts(t);
        const QStringList setPanel = t.setPanel();
        t.port.expect(frame("L"), answer);
        t.click(QStringLiteral("read_info"));
        QCOMPARE(t.messages.shown, messages);
        for (qsizetype k = 0; k < qsizetype(std::size(readPanel)); ++k) {
            const ReadField& f = readPanel[k];
            QCOMPARE(t.edit(name(f))->text(), f.number <= shownThrough ? shown(f) : before[k]);
        }
        QCOMPARE(t.setPanel(), setPanel);
        // The read ends in order whatever failed.
        QCOMPARE(t.port.written, frame("L"));
        QVERIFY(!t.port.isOpen());
        QVERIFY(!t.window->link().timerArmed());
        QCOMPARE(t.disabled(TestWindow::commandGroup), QStringList());
    }

    void stateLetter_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("letter");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("red");
        QTest::newRow("busy") << QByteArray("R") << QByteArray("B") << "BUSY" << true;
        QTest::newRow("ready") << QByteArray("B") << QByteArray("R") << "READY" << false;
    }
    void stateLetter()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, letter);
        QFETCH(QString, text);
        QFETCH(bool, red);
        TestWindow t;
        t.port.expect(frame("L"), envelopeL + exampleBlockWith(2, before) + '\r');
        t.port.expect(frame("L"), envelopeL + exampleBlockWith(2, letter) + '\r');
        t.click(QStringLiteral("read_info"));
        t.click(QStringLiteral("read_info"));
        QLineEdit* status = t.edit(QStringLiteral("cbox_status"));
        QCOMPARE(status->text(), text);
        QCOMPARE(colours::background(status), red ? colours::invalidRed : colours::window());
        // The read goes on to the end after either letter.
        QCOMPARE(readPanelTexts(t).last(), QStringLiteral("1000"));
        QCOMPARE(t.messages.shown, QStringList());
    }

    void dipSwitchColours_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("dipsw");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("red");
        QTest::newRow("enabled") << QByteArray("00000") << QByteArray("00001") << "ENABLED" << true;
        QTest::newRow("any other value is enabled") << QByteArray("00000") << QByteArray("00100") << "ENABLED" << true;
        QTest::newRow("disabled") << QByteArray("00001") << QByteArray("00000") << "DISABLED" << false;
    }
    void dipSwitchColours()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, dipsw);
        QFETCH(QString, text);
        QFETCH(bool, red);
        TestWindow t;
        t.port.expect(frame("L"), envelopeL + exampleBlockWith(18, before) + '\r');
        t.port.expect(frame("L"), envelopeL + exampleBlockWith(18, dipsw) + '\r');
        t.click(QStringLiteral("read_info"));
        t.click(QStringLiteral("read_info"));
        QCOMPARE(t.edit(QStringLiteral("dipsw"))->text(), text);
        const QColor expected = red ? colours::invalidRed : colours::windowText();
        QCOMPARE(colours::textColour(t.edit(QStringLiteral("dipsw"))), expected);
        QCOMPARE(colours::textColour(t.find<QLabel>(QStringLiteral("label_dipsw"))), expected);
        QCOMPARE(t.messages.shown, QStringList());
    }

    void portThatCannotBeOpened()
    {
        TestWindow t;
        t.port.failOpen = true;
        t.window->link().choice().setNumber(4);
        t.click(QStringLiteral("read_info"));
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("ERROR OPENING COM PORT # 4")});
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.disabled(TestWindow::commandGroup), QStringList());
    }

    // Outside start-up the read never touches the set panel, whatever the block holds.
    void setPanelUntouchedOutsideStartUp()
    {
        TestWindow t;
        const QStringList before = t.setPanel();
        t.port.expect(frame("L"), reply('L', "-00005,B,00000,00010,00450,01220,00000,00049,00012,00015,00012,00000,"
                                             "00610,65531,00001,00005,36585,00001,01234"));
        t.port.expect(frame("L"), reply('L', "00000,R,00002" + exampleBlock.mid(13)));
        t.click(QStringLiteral("read_info"));
        QCOMPARE(t.edit(QStringLiteral("offset_read"))->text(), QStringLiteral("-5°"));
        QCOMPARE(t.setPanel(), before);
        t.click(QStringLiteral("read_info"));
        QCOMPARE(t.edit(QStringLiteral("mode_msg"))->text(), QStringLiteral("Absolute"));
        QCOMPARE(t.setPanel(), before);
        QCOMPARE(t.messages.shown, QStringList());
    }

    // While the read waits the command group is off, except the two stops, which keep the grey
    // of the group; afterwards the whole group is back with its colours.
    void buttonsAroundTheRead()
    {
        TestWindow t;
        t.port.expect(frame("L"), envelopeL + exampleBlock + '\r', 60);
        QMap<QString, bool> enabledDuring;
        QMap<QString, QColor> colourDuring;
        QTimer::singleShot(20, [&] {
            for (const QString& b : TestWindow::commandGroup) {
                enabledDuring[b] = t.button(b)->isEnabled();
                colourDuring[b] = colours::buttonColour(t.button(b));
            }
        });
        t.click(QStringLiteral("read_info"));
        QCOMPARE(t.messages.shown, QStringList());
        QCOMPARE(enabledDuring.size(), 7);
        for (const QString& b : TestWindow::commandGroup) {
            const bool stop = b == QLatin1String("fast_stop") || b == QLatin1String("soft_stop");
            QVERIFY2(enabledDuring[b] == stop, qPrintable(b));
            QVERIFY2(colourDuring[b] == colours::buttonFace(), qPrintable(b));
        }
        const QColor lightGreen(128, 255, 128);
        const QMap<QString, QColor> after{
            {"write_mode", lightGreen},
            {"read_info", lightGreen},
            {"execute", lightGreen},
            {"cmd_monitor", lightGreen},
            {"fast_stop", QColor(255, 192, 128)},
            {"soft_stop", QColor(255, 192, 128)},
            {"command_s", QColor(192, 192, 255)},
        };
        for (auto it = after.begin(); it != after.end(); ++it) {
            QVERIFY2(t.button(it.key())->isEnabled(), qPrintable(it.key()));
            QVERIFY2(colours::buttonColour(t.button(it.key())) == it.value(), qPrintable(it.key()));
        }
    }
};

QTEST_MAIN(ParameterReadTest)
#include "tst_parameter_read.moc"
