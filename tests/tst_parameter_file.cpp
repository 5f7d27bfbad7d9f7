// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file on its own: what the writer writes, what the reader accepts, and the one
// message, naming its line, with which it refuses everything else.

#include "storage/parameter_file.h"
#include "protocol/set_panel_entries.h"
#include "protocol/write_check.h"

#include <QTest>

namespace {

// The factory block of the simulated box, as the readers return it.
const QStringList factoryBlock =
    QStringLiteral("123,R,1,0,500,1829,1,30,0,10,15,1,1829,0,0,2,3049,0,1000").split(QLatin1Char(','));

QDateTime at(int hour, int minute, int second)
{
    return QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second), Qt::OffsetFromUTC, 3600);
}

ParameterFile factoryFile()
{
    ParameterFile file;
    file.panel = panelFromBlock(factoryBlock);
    file.saved = at(15, 32, 4);
    file.reading = BoxReading{at(15, 30, 11), QStringLiteral("003.22"), factoryBlock};
    return file;
}

// Every value of the set panel as "key=value", in Set Default's order.
QStringList describe(const PanelState& panel)
{
    QStringList values;
    for (const SetPanelEntry& entry : setPanelEntries)
        values << fieldName(entry.field) + QLatin1Char('=')
                      + (entry.text ? panel.*entry.text : QString::number(int(panel.*entry.checked)));
    return values;
}

ParameterFile read(const QByteArray& contents)
{
    const auto result = readParameterFile(contents);
    if (const auto* error = std::get_if<ParameterFileError>(&result))
        qWarning().noquote() << error->message();
    return std::get<ParameterFile>(result);
}

// The factory file with one line replaced, inserted or removed.
QByteArray edited(const QByteArray& from, const QByteArray& to)
{
    QByteArray contents = writeParameterFile(factoryFile());
    Q_ASSERT(contents.contains(from));
    return contents.replace(from, to);
}

}  // namespace

class ParameterFileTest : public QObject {
    Q_OBJECT

private slots:
    void writtenFileReadsAsDocumented();
    void everyValueRoundTrips_data();
    void everyValueRoundTrips();
    void editedFileIsRead_data();
    void editedFileIsRead();
    void refusalNamesTheLine_data();
    void refusalNamesTheLine();
    void readBlockIsWrittenBack();
};

void ParameterFileTest::writtenFileReadsAsDocumented()
{
    const QByteArray expected =
        QStringLiteral("# rotor parameter set, format 1\n"
                       "# The PARAMETERS SET panel of rotor: what \"cmd W\" writes to the CBOX. Load it with\n"
                       "# File > Load parameters. Check boxes are on or off; the stop is north, south or none.\n"
                       "saved = 2026-12-07T15:32:04+01:00\n"
                       "\n"
                       "[parameters set]\n"
                       "offset_write = 0\n"
                       "pwm_period = 49\n"
                       "pwm_max_duty = 100\n"
                       "pwm_min_duty = 50\n"
                       "ramp = 10\n"
                       "lower_limit = 0\n"
                       "upper_limit = 500\n"
                       "inv_delay = 3\n"
                       "pres_delay = 3\n"
                       "rot_timeout = 5\n"
                       "pwm_on = on\n"
                       "optimize = on\n"
                       "mot_check = off\n"
                       "stop = south\n"
                       "check_angle_write = 2\n"
                       "\n"
                       "[box reading]\n"
                       "# What the CBOX held when rotor read it: the block as received and as the\n"
                       "# PARAMETERS READ panel showed it. Loading does not use this section.\n"
                       "read = 2026-12-07T15:30:11+01:00\n"
                       "firmware = 003.22\n"
                       "block = 123,R,1,0,500,1829,1,30,0,10,15,1,1829,0,0,2,3049,0,1000\n"
                       "curr_pos = 123\u00B0\n"
                       "cbox_status = READY\n"
                       "mode_msg = South-stop\n"
                       "read_lower_limit = 0\u00B0\n"
                       "read_upper_limit = 500\u00B0\n"
                       "read_inv_delay = 3sec\n"
                       "pwm_msg = ON\n"
                       "read_pwm_period = 49ms\n"
                       "read_pwm_max_duty = 100%\n"
                       "read_ramp = 10\u00B0\n"
                       "read_pwm_min_duty = 50%\n"
                       "optimize_msg = ON\n"
                       "read_pres_delay = 3sec\n"
                       "offset_read = 0\u00B0\n"
                       "mot_check_msg = OFF\n"
                       "check_angle = 2\u00B0\n"
                       "read_rot_timeout = 5sec\n"
                       "dipsw = DISABLED\n"
                       "cal_fact = 1000\n")
            .toUtf8();
    QCOMPARE(writeParameterFile(factoryFile()), expected);

    const ParameterFile back = read(expected);
    QCOMPARE(describe(back.panel), describe(factoryFile().panel));
    QCOMPARE(back.saved, at(15, 32, 4));
    QVERIFY(back.reading);
    QCOMPARE(back.reading->read, at(15, 30, 11));
    QCOMPARE(back.reading->firmware, QStringLiteral("003.22"));
    QCOMPARE(back.reading->block, factoryBlock);
}

void ParameterFileTest::everyValueRoundTrips_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("stop");  // 0 none, 1 north, 2 south
    QTest::addColumn<QString>("blockField");

    QTest::newRow("placeholder, no stop") << "???" << 0 << "0";
    QTest::newRow("blanks around, north") << " 5 " << 1 << "5";
    QTest::newRow("empty") << "" << 2 << "";
    QTest::newRow("leading quote") << "\"quoted\" text" << 2 << "\"7\"";
    QTest::newRow("quote at the end") << "5\"" << 2 << "5\"";
    QTest::newRow("line ends and tab") << "a\nb\r\tc" << 2 << "1\n2";
    QTest::newRow("backslash") << "back\\slash \\n" << 2 << "\\";
    QTest::newRow("comment and equals sign") << "# x = y" << 2 << "#";
    QTest::newRow("comma") << "1,5" << 2 << "0,12";
    QTest::newRow("control characters") << QStringLiteral("\x01\x7f\x1b") << 2 << QStringLiteral("\x1f");
    QTest::newRow("beyond ASCII") << QStringLiteral("\u00B0\u00B5\u65E5\U0001F600") << 2 << QStringLiteral("\u00E9");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QLatin1Char('x') << 2 << QString(QChar(0xDC00));
}

void ParameterFileTest::everyValueRoundTrips()
{
    QFETCH(QString, entry);
    QFETCH(int, stop);
    QFETCH(QString, blockField);

    ParameterFile file = factoryFile();
    // An entry holds only what can be typed into it; the reading's texts hold anything.
    QString typed = entry;
    typed.removeIf([](QChar c) { return bool(controlCharacterIn(QString(c))); });
    for (const SetPanelEntry& e : setPanelEntries)
        if (e.text)
            file.panel.*e.text = typed + fieldName(e.field).left(stop + 1) + typed;
    file.panel.northStop = stop == 1;
    file.panel.southStop = stop == 2;
    file.panel.motCheck = true;
    file.panel.pwmOn = false;
    file.reading->block[4] = blockField;
    file.reading->firmware = entry;

    const QByteArray written = writeParameterFile(file);
    const ParameterFile back = read(written);
    QCOMPARE(describe(back.panel), describe(file.panel));
    QCOMPARE(back.reading->block, file.reading->block);
    QCOMPARE(back.reading->firmware, entry.isEmpty() ? QString() : entry);
    QCOMPARE(writeParameterFile(back), written);
}

void ParameterFileTest::editedFileIsRead_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QStringList>("expected");  // values that differ from the factory panel

    const QByteArray factory = writeParameterFile(factoryFile());
    QByteArray windows = factory;
    QTest::newRow("byte-order mark and CR LF") << "\xEF\xBB\xBF" + windows.replace("\n", "\r\n") << QStringList{};
    QTest::newRow("no reading, keys in another order, comments, blanks and tabs")
        << QByteArray("# rotor parameter set, format 1\n"
                      "[parameters set]\n"
                      "\t# north-stop for the new mast\n"
                      "stop=north\n"
                      "   ramp\t=  15  \n"
                      "\n"
                      "check_angle_write = 2\nmot_check = on\noptimize = off\npwm_on = on\nrot_timeout = 5\n"
                      "pres_delay = 3\ninv_delay = 3\nupper_limit = 500\nlower_limit = 0\npwm_min_duty = 50\n"
                      "pwm_max_duty = 100\npwm_period = 49\noffset_write = -5\n")
        << QStringList{"offset_write=-5", "ramp=15", "optimize=0", "mot_check=1", "south_stop=0", "north_stop=1"};
    QTest::newRow("quoted values with escapes, empty value, value with #")
        << edited("ramp = 10\n", "ramp = \"  1\\\\0\\u00b0 \"\n")
               .replace("lower_limit = 0\n", "lower_limit =\n")
               .replace("upper_limit = 500\n", "upper_limit = 500 # the stop\n")
        << QStringList{"ramp=  1\\0\u00B0 ", "lower_limit=", "upper_limit=500 # the stop"};
}

void ParameterFileTest::editedFileIsRead()
{
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, expected);

    QStringList want = describe(factoryFile().panel);
    for (const QString& value : expected) {
        const QString key = value.left(value.indexOf(QLatin1Char('=')) + 1);
        for (QString& w : want)
            if (w.startsWith(key))
                w = value;
    }
    QCOMPARE(describe(read(contents).panel), want);
}

void ParameterFileTest::refusalNamesTheLine_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("message");

    const QByteArray factory = writeParameterFile(factoryFile());
    const QString chooseAnother = QStringLiteral(" Choose a file saved with File > Save parameters.");
    QTest::newRow("empty") << QByteArray() << "The file is empty: it holds no parameter set." + chooseAnother;
    QTest::newRow("binary garbage") << QByteArray("\x7f"
                                                  "ELF\x02\x01\x01\0\0\0\x03\0>\0",
                                                  14)
                                    << "Line 1: the file is damaged or not text: it holds a NUL byte." + chooseAnother;
    QTest::newRow("not UTF-8") << edited("ramp = 10", "ramp = \xff\xfe")
                               << "Line 11: the file is damaged or not text: this line is not valid UTF-8."
                                      + chooseAnother;
    QTest::newRow("control character") << edited("ramp = 10", "ramp = 1\x1b")
                                       << "Line 11: the file is damaged or not text: this line holds the control "
                                          "character 27."
                                              + chooseAnother;
    QTest::newRow("another format") << QByteArray("[rotor]\nramp = 10\n")
                                    << "Line 1: this is not a rotor parameter set: such a file begins with the line "
                                       "\"# rotor parameter set, format 1\"."
                                           + chooseAnother;
    QTest::newRow("later format") << edited("format 1", "format 2")
                                  << "Line 1: the file is in format 2, written by a later version of rotor; this "
                                     "version reads format 1. Open it with a newer rotor.";
    QTest::newRow("unknown key")
        << edited("ramp = 10\n", "ramp = 10\nfoo = 1\n")
        << "Line 12: unknown key \"foo\" in [parameters set]. The keys there are: offset_write, "
           "pwm_period, pwm_max_duty, pwm_min_duty, ramp, lower_limit, upper_limit, inv_delay, "
           "pres_delay, rot_timeout, pwm_on, optimize, mot_check, stop, check_angle_write.";
    QTest::newRow("repeated key") << edited("rot_timeout = 5\n", "rot_timeout = 5\nramp = 11\n")
                                  << "Line 17: \"ramp\" is given a second time in [parameters set] (first on line 11). "
                                     "Keep one of the two lines.";
    QTest::newRow("truncated at a line end")
        << factory.left(factory.indexOf("upper_limit"))
        << "Line 12: the file ends without a line for \"upper_limit\" in [parameters set]; it may have been cut short. "
           "Add the line, or choose a complete file.";
    QTest::newRow("truncated within a line")
        << factory.left(factory.indexOf("upper_limit") + 5)
        << "Line 13: \"upper\" is not a line of a parameter set: write key = value, a [section], or a comment starting "
           "with #.";
    QTest::newRow("check box neither on nor off")
        << edited("pwm_on = on", "pwm_on = 1") << "Line 17: the check box \"pwm_on\" must be on or off, not \"1\".";
    QTest::newRow("unknown stop") << edited("stop = south", "stop = absolute")
                                  << "Line 20: \"stop\" must be north, south or none, not \"absolute\".";
    QTest::newRow("no parameters set")
        << QByteArray("# rotor parameter set, format 1\n\n")
        << "Line 2: the file ends without a [parameters set] section: it holds no parameter set." + chooseAnother;
    QTest::newRow("unknown section") << edited("[box reading]", "[box]")
                                     << "Line 23: unknown section [box]; a parameter set has the sections "
                                        "[parameters set] and [box reading].";
    QTest::newRow("quote not closed")
        << edited("ramp = 10", "ramp = \"10")
        << "Line 11: the value of \"ramp\": the quoted value has no closing quote; a value "
           "ends with its line.";
    QTest::newRow("unknown escape") << edited(
        "ramp = 10",
        "ramp = \"1\\0\"") << "Line 11: the value of \"ramp\": \\0 is not an escape; write \\\\ for a backslash.";
    QTest::newRow("date unreadable") << edited("saved = 2026-12-07T15:32:04+01:00", "saved = yesterday")
                                     << "Line 4: \"saved\" must be a date and time such as 2026-12-07T15:32:04+01:00, "
                                        "not \"yesterday\".";
    QTest::newRow("block short of a field") << edited(",0,1000\n", ",1000\n")
                                            << "Line 28: \"block\" must hold the 19 fields of the parameter block "
                                               "separated by commas, not 18.";
    QTest::newRow("long text cut short in the message")
        << edited("ramp = 10\n", "ramp = 10\n" + QByteArray(100, 'x') + "\n")
        << "Line 12: \"" + QString(40, QLatin1Char('x'))
               + "\u2026\" is not a line of a parameter set: write key = "
                 "value, a [section], or a comment starting with #.";
    QTest::newRow("huge") << factory + QByteArray(parameterFileMaxSize, '#')
                          << "The file is larger than 64 KiB, far more than a parameter set: it is not one."
                                 + chooseAnother;
}

void ParameterFileTest::refusalNamesTheLine()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, message);
    const auto result = readParameterFile(contents);
    QVERIFY(std::holds_alternative<ParameterFileError>(result));
    QCOMPARE(std::get<ParameterFileError>(result).message(), message);
}

// The set-panel table's columns agree: a block read into the panel is written back as the same
// fields, each value distinct so that two entries swapped in the table would show; a field read
// back different is named by its number.
void ParameterFileTest::readBlockIsWrittenBack()
{
    QStringList block = QStringLiteral("1,R,1,7,345,1220,1,49,12,11,12,0,610,65531,1,3,36585,0,9").split(',');
    const QStringList lines = writeLines(panelFromBlock(block));
    QCOMPARE(lines.join(','), QStringLiteral("1,7,345,1220,1,49,12,11,12,0,610,-5,1,3,36585"));
    QVERIFY(writeLineDifferences(lines, block).isEmpty());
    block[4] = QStringLiteral("346");
    const QList<WriteLineDifference> differences = writeLineDifferences(lines, block);
    QCOMPARE(differences.size(), 1);
    QCOMPARE(differences[0].field, 5);
}

QTEST_GUILESS_MAIN(ParameterFileTest)
#include "tst_parameter_file.moc"
