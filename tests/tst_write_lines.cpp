// SPDX-License-Identifier: GPL-3.0-or-later
// The 15 value lines of the "W" dialogue, taken from the set panel.

#include "protocol/write_lines.h"

#include <QTest>

namespace {

// The panel after Set Default.
PanelState defaultPanel()
{
    PanelState panel;
    panel.southStop = true;
    panel.pwmOn = true;
    panel.optimize = true;
    panel.motCheck = false;
    panel.lowerLimit = QStringLiteral("0");
    panel.upperLimit = QStringLiteral("500");
    panel.invDelay = QStringLiteral("3");
    panel.pwmPeriod = QStringLiteral("50");
    panel.pwmMaxDuty = QStringLiteral("100");
    panel.ramp = QStringLiteral("10");
    panel.pwmMinDuty = QStringLiteral("50");
    panel.presDelay = QStringLiteral("3");
    panel.offsetWrite = QStringLiteral("0");
    panel.checkAngleWrite = QStringLiteral("2");
    panel.rotTimeout = QStringLiteral("5");
    return panel;
}

PanelState withAllEntries(const QString& text)
{
    PanelState panel;
    for (QString* entry :
         {&panel.lowerLimit, &panel.upperLimit, &panel.invDelay, &panel.pwmPeriod, &panel.pwmMaxDuty, &panel.ramp,
          &panel.pwmMinDuty, &panel.presDelay, &panel.offsetWrite, &panel.checkAngleWrite, &panel.rotTimeout})
        *entry = text;
    return panel;
}

QStringList allLines(const PanelState& panel)
{
    QStringList lines;
    for (int line = 1; line <= 15; ++line)
        lines.append(encode_write_lines(line, panel));
    return lines;
}

const QString largest = QStringLiteral("1.79769313486232E+308");
const QString negativeLargest = QStringLiteral("-1.79769313486232E+308");

}  // namespace

class TestWriteLines : public QObject {
    Q_OBJECT

private slots:
    void default_panel();
    void pwm_lines_data();
    void pwm_lines();
    void delay_lines_data();
    void delay_lines();
    void offset_line_data();
    void offset_line();
    void check_angle_line_data();
    void check_angle_line();
    void typed_lines_data();
    void typed_lines();
    void stop_mode_line_data();
    void stop_mode_line();
    void check_box_lines();
    void extreme_entries_data();
    void extreme_entries();
    void no_line_outside_1_to_15();
};

// The worked example: the panel after Set Default, line by line.
void TestWriteLines::default_panel()
{
    const QStringList expected = {"1",  "0", "500",  "1829", "1", "30", "0",   "10",
                                  "15", "1", "1829", "0",    "0", "2",  "3049"};
    QCOMPARE(allLines(defaultPanel()), expected);
}

void TestWriteLines::pwm_lines_data()
{
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("maxDuty");
    QTest::addColumn<QString>("minDuty");
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("off");
    QTest::addColumn<QString>("min");

    QTest::newRow("100 ms, 80 %, 20 %") << "100"
                                        << "80"
                                        << "20"
                                        << "49"
                                        << "12"
                                        << "12";
    QTest::newRow("50 ms, 100 %, 50 %") << "50"
                                        << "100"
                                        << "50"
                                        << "30"
                                        << "0"
                                        << "15";
    QTest::newRow("49 ms read back, 100 %") << "49"
                                            << "100"
                                            << "50"
                                            << "30"
                                            << "0"
                                            << "15";
    QTest::newRow("100 ms, 80.327868852459 %") << "100"
                                               << "80.327868852459"
                                               << "20"
                                               << "49"
                                               << "12"
                                               << "12";
    QTest::newRow("period without a number") << "???"
                                             << "100"
                                             << "50"
                                             << "0"
                                             << "0"
                                             << "0";
    QTest::newRow("empty period") << ""
                                  << "80"
                                  << "20"
                                  << "0"
                                  << "0"
                                  << "0";
    QTest::newRow("no duties") << "100"
                               << "???"
                               << "???"
                               << "0"
                               << "61"
                               << "0";
    QTest::newRow("blanks around") << " 100 "
                                   << " 80 "
                                   << " 20 "
                                   << "49"
                                   << "12"
                                   << "12";
    // A duty above 100 % gives a negative off-time; rounding is still down after adding 0.5.
    QTest::newRow("duty above 100") << "100"
                                    << "150"
                                    << "20"
                                    << "91"
                                    << "-30"
                                    << "12";
}

void TestWriteLines::pwm_lines()
{
    QFETCH(QString, period);
    QFETCH(QString, maxDuty);
    QFETCH(QString, minDuty);
    QFETCH(QString, on);
    QFETCH(QString, off);
    QFETCH(QString, min);

    PanelState panel = defaultPanel();
    panel.pwmPeriod = period;
    panel.pwmMaxDuty = maxDuty;
    panel.pwmMinDuty = minDuty;
    QCOMPARE(encode_write_lines(6, panel), on);
    QCOMPARE(encode_write_lines(7, panel), off);
    QCOMPARE(encode_write_lines(9, panel), min);
}

void TestWriteLines::delay_lines_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("ticks");

    QTest::newRow("reversal delay 2") << 4 << "2"
                                      << "1220";
    QTest::newRow("preset delay 1") << 11 << "1"
                                    << "610";
    QTest::newRow("rotation timeout 60") << 15 << "60"
                                         << "36585";
    QTest::newRow("reversal delay 3") << 4 << "3"
                                      << "1829";
    QTest::newRow("rotation timeout 5") << 15 << "5"
                                        << "3049";
    QTest::newRow("fraction of a second") << 11 << "0.5"
                                          << "305";
    QTest::newRow("blanks inside") << 4 << " 1 0 "
                                   << "6098";
    QTest::newRow("placeholder") << 11 << "???"
                                 << "0";
    QTest::newRow("negative") << 15 << "-1"
                              << "-610";
}

void TestWriteLines::delay_lines()
{
    QFETCH(int, line);
    QFETCH(QString, seconds);
    QFETCH(QString, ticks);

    PanelState panel = defaultPanel();
    panel.invDelay = panel.presDelay = panel.rotTimeout = seconds;
    QCOMPARE(encode_write_lines(line, panel), ticks);
}

void TestWriteLines::offset_line_data()
{
    QTest::addColumn<QString>("offset");
    QTest::addColumn<QString>("expected");

    QTest::newRow("blanks around") << " 5 "
                                   << "5";
    QTest::newRow("negative with leading zero") << "-070"
                                                << "-70";
    QTest::newRow("negative between blanks") << "  -5  "
                                             << "-5";
    QTest::newRow("negative fraction") << "-5.50"
                                       << "-5.5";
    QTest::newRow("positive goes as typed") << "070"
                                            << "070";
    QTest::newRow("plus goes as typed") << "+5"
                                        << "+5";
    QTest::newRow("text goes as typed") << "abc"
                                        << "abc";
    QTest::newRow("minus without number") << "-abc"
                                          << "0";
    QTest::newRow("minus alone") << "-"
                                 << "0";
    QTest::newRow("tab is not trimmed") << "\t-5"
                                        << "\t-5";
    QTest::newRow("empty") << ""
                           << "";
}

void TestWriteLines::offset_line()
{
    QFETCH(QString, offset);
    QFETCH(QString, expected);

    PanelState panel = defaultPanel();
    panel.offsetWrite = offset;
    QCOMPARE(encode_write_lines(12, panel), expected);
}

void TestWriteLines::check_angle_line_data()
{
    QTest::addColumn<QString>("angle");
    QTest::addColumn<QString>("expected");

    QTest::newRow("fraction rounds down") << "2.7"
                                          << "2";
    QTest::newRow("negative fraction rounds down") << "-2.5"
                                                   << "-3";
    QTest::newRow("whole") << " 15 "
                           << "15";
    QTest::newRow("placeholder") << "???"
                                 << "0";
}

void TestWriteLines::check_angle_line()
{
    QFETCH(QString, angle);
    QFETCH(QString, expected);

    PanelState panel = defaultPanel();
    panel.checkAngleWrite = angle;
    QCOMPARE(encode_write_lines(14, panel), expected);
}

// Lower limit, upper limit and ramp go as typed, less surrounding spaces.
void TestWriteLines::typed_lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("spaces around") << "  12  "
                                   << "12";
    QTest::newRow("leading zeros stay") << "0070"
                                        << "0070";
    QTest::newRow("inner blanks stay") << " 1 2 "
                                       << "1 2";
    QTest::newRow("not a number") << "???"
                                  << "???";
    QTest::newRow("negative stays as typed") << "-010"
                                             << "-010";
}

void TestWriteLines::typed_lines()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    PanelState panel = defaultPanel();
    panel.lowerLimit = panel.upperLimit = panel.ramp = text;
    QCOMPARE(encode_write_lines(2, panel), expected);
    QCOMPARE(encode_write_lines(3, panel), expected);
    QCOMPARE(encode_write_lines(8, panel), expected);
}

void TestWriteLines::stop_mode_line_data()
{
    QTest::addColumn<bool>("north");
    QTest::addColumn<bool>("south");
    QTest::addColumn<QString>("expected");

    QTest::newRow("north-stop") << true << false << "0";
    QTest::newRow("south-stop") << false << true << "1";
    QTest::newRow("neither") << false << false << "";
}

void TestWriteLines::stop_mode_line()
{
    QFETCH(bool, north);
    QFETCH(bool, south);
    QFETCH(QString, expected);

    PanelState panel = defaultPanel();
    panel.northStop = north;
    panel.southStop = south;
    QCOMPARE(encode_write_lines(1, panel), expected);
}

// Each check box drives its own line only.
void TestWriteLines::check_box_lines()
{
    PanelState panel = defaultPanel();
    panel.pwmOn = true;
    panel.optimize = false;
    panel.motCheck = true;
    QCOMPARE(encode_write_lines(5, panel), QStringLiteral("1"));
    QCOMPARE(encode_write_lines(10, panel), QStringLiteral("0"));
    QCOMPARE(encode_write_lines(13, panel), QStringLiteral("1"));
    panel.pwmOn = false;
    panel.optimize = true;
    panel.motCheck = false;
    QCOMPARE(encode_write_lines(5, panel), QStringLiteral("0"));
    QCOMPARE(encode_write_lines(10, panel), QStringLiteral("1"));
    QCOMPARE(encode_write_lines(13, panel), QStringLiteral("0"));
}

// Whatever the entries hold, every line is a defined text; the same text in every entry.
void TestWriteLines::extreme_entries_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    // Line 1 is empty and the flags are "0": no option or check box is on.
    QTest::newRow("1e400") << "1e400"
                           << QStringList{"",      "1e400", "1e400", largest, "0", largest, negativeLargest, "1e400",
                                          largest, "0",     largest, "1e400", "0", largest, largest};
    QTest::newRow("&HFFFFFFFF") << "&HFFFFFFFF" << QStringList{"",     "&HFFFFFFFF", "&HFFFFFFFF", "-610", "0",
                                                               "0",    "-1",         "&HFFFFFFFF", "0",    "0",
                                                               "-610", "&HFFFFFFFF", "0",          "-1",   "-610"};
    QTest::newRow("-1e300") << "-1e300"
                            << QStringList{"",
                                           "-1e300",
                                           "-1e300",
                                           "-6.09756097560976E+302",
                                           "0",
                                           largest,
                                           negativeLargest,
                                           "-1e300",
                                           largest,
                                           "0",
                                           "-6.09756097560976E+302",
                                           "-1E+300",
                                           "0",
                                           "-1E+300",
                                           "-6.09756097560976E+302"};
    QTest::newRow("empty") << "" << QStringList{"", "", "", "0", "0", "0", "0", "", "0", "0", "0", "", "0", "0", "0"};
    QTest::newRow("-1e400")
        << "-1e400"
        << QStringList{
               "",      "-1e400", "-1e400",        negativeLargest, "0", largest,         negativeLargest, "-1e400",
               largest, "0",      negativeLargest, negativeLargest, "0", negativeLargest, negativeLargest};
}

void TestWriteLines::extreme_entries()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(allLines(withAllEntries(text)), expected);
}

void TestWriteLines::no_line_outside_1_to_15()
{
    QCOMPARE(encode_write_lines(0, defaultPanel()), QString());
    QCOMPARE(encode_write_lines(16, defaultPanel()), QString());
}

QTEST_GUILESS_MAIN(TestWriteLines)
#include "tst_write_lines.moc"
