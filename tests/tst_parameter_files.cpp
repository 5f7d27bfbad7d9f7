// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu in the window: parameter sets saved and loaded through the dialog seam, the
// reading history kept from the parameter reads, the listing saved, and Quit.

#include "protocol/set_panel_entries.h"
#include "support/test_window.h"
#include "ui/colours.h"
#include "ui/parameter_files.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QtTest>

namespace {

const QByteArray factoryData = "00123,R,00001,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,"
                               "00002,03049,00000,01000";
const QStringList factoryBlock = QStringLiteral("123,R,1,0,500,1829,1,30,0,10,15,1,1829,0,0,2,3049,0,1000").split(QLatin1Char(','));

// The factory block with field `number` (1 to 19) replaced.
QByteArray blockWith(int number, const QByteArray& text)
{
    QList<QByteArray> fields = factoryData.split(',');
    fields[number - 1] = text;
    return fields.join(',');
}

const QStringList checkedEntries{"offset_write", "pwm_min_duty", "lower_limit", "upper_limit"};

struct Rig : TestWindow {
    Rig()
    {
        files = window->findChild<ParameterFiles*>(QStringLiteral("parameter_files"));
        files->history().setFolder(dir.filePath(QStringLiteral("history")));
    }

    // One "cmd L" answered with `data` as the block.
    void read(const QByteArray& data)
    {
        port.expect(frame("L"), "\x02" "A,L," + data + '\r');
        click(QStringLiteral("read_info"));
        // The history is written once the read has ended.
        QCoreApplication::processEvents();
    }

    QAction* action(const QString& name) const { return window->findChild<QAction*>(name); }
    QString path(const QString& name) const { return dir.filePath(name); }

    // What the set panel holds and how its four checked entries are coloured.
    QStringList panel() const
    {
        QStringList state;
        for (const SetPanelEntry& entry : setPanelEntries)
            state << fieldName(entry.field) + QLatin1Char('=')
                         + (entry.text ? window->text(entry.field) : QString::number(window->isChecked(entry.field)));
        for (const QString& entry : checkedEntries)
            state << entry + QStringLiteral("@bg=")
                         + (colours::background(edit(entry)) == colours::invalidRed ? QStringLiteral("red")
                                                                                   : QStringLiteral("window"));
        return state;
    }

    void set(const QStringList& values) const
    {
        for (const QString& value : values) {
            const qsizetype eq = value.indexOf(QLatin1Char('='));
            const Field field = fieldNamed(value.left(eq)).value();
            if (edit(value.left(eq)))
                window->setText(field, value.mid(eq + 1));
            else
                window->setChecked(field, value.mid(eq + 1) == QLatin1String("1"));
        }
    }

    QTemporaryDir dir;
    ParameterFiles* files = nullptr;
};

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

BoxReading readingAt(const QDateTime& when, int calFactor)
{
    QStringList block = factoryBlock;
    block[18] = QString::number(calFactor);
    return BoxReading{when, QStringLiteral("003.22"), block};
}

}  // namespace

class ParameterFilesTest : public QObject {
    Q_OBJECT

private slots:
    void loadFillsPanelAndItsChecks_data();
    void loadFillsPanelAndItsChecks();
    void refusedFileChangesNothing_data();
    void refusedFileChangesNothing();
    void saveWritesPanelAndLastReading_data();
    void saveWritesPanelAndLastReading();
    void unwritableFileIsReported_data();
    void unwritableFileIsReported();
    void listingSavedAsShown();
    void historyKeepsChangedConfigurationsOnly();
    void historyKeepsNewestHundred_data();
    void historyKeepsNewestHundred();
    void historyFailureToldOnceReadGoesOn();
    void recentReadingLoadsNewestFirst();
    void fileItemsWaitWhileMonitorRuns();
};

void ParameterFilesTest::loadFillsPanelAndItsChecks_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QStringList>("colours");  // the four checked entries after loading

    // The minimum duty is judged against the loaded maximum and period, the upper limit is set
    // after the lower one: the checks end as after Set Default, not as the old values would have them.
    QTest::newRow("judged against the loaded values")
        << QStringList{"pwm_period=1", "pwm_max_duty=10", "pwm_min_duty=60", "lower_limit=300", "upper_limit=50",
                       "north_stop=1"}
        << QStringList{"pwm_period=50", "pwm_max_duty=100", "pwm_min_duty=50", "lower_limit=100", "upper_limit=200",
                       "offset_write=70", "south_stop=1", "north_stop=0", "mot_check=1"}
        << QStringList{"window", "window", "window", "window"};
    QTest::newRow("doubtful values marked, no stop")
        << QStringList{"offset_write=0", "pwm_min_duty=50", "lower_limit=0", "upper_limit=500"}
        << QStringList{"offset_write=-71", "pwm_min_duty=???", "lower_limit=300", "upper_limit=200", "south_stop=0",
                       "north_stop=0", "pwm_on=0"}
        << QStringList{"red", "red", "red", "red"};
}

void ParameterFilesTest::loadFillsPanelAndItsChecks()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, loaded);
    QFETCH(QStringList, colours);
    Rig rig;
    // The file: the panel after Set Default with the loaded values.
    rig.messages.answers = {true};
    rig.click(QStringLiteral("set_default"));
    rig.set(loaded);
    QStringList expected = rig.panel().mid(0, int(setPanelEntries.size()));
    ParameterFile file;
    file.panel = panelState(*rig.window);
    QVERIFY(writeFile(rig.path(QStringLiteral("set.rotor")), writeParameterFile(file)));
    rig.set(before);

    rig.dialogs.fileNames = {rig.path(QStringLiteral("set.rotor"))};
    rig.action(QStringLiteral("file_load_parameters"))->trigger();
    QCOMPARE(rig.dialogs.asked, QStringList{"Load parameters"});
    QCOMPARE(rig.messages.shown, QStringList());
    for (qsizetype i = 0; i < checkedEntries.size(); ++i)
        expected << checkedEntries[i] + QStringLiteral("@bg=") + colours[i];
    QCOMPARE(rig.panel(), expected);
    QVERIFY(rig.port.written.isEmpty());
}

void ParameterFilesTest::refusedFileChangesNothing_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");  // how the message's reason begins

    ParameterFile file;
    const QByteArray good = writeParameterFile(file);
    QTest::newRow("empty") << QByteArray() << "The file is empty";
    QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "Line 1: the file is damaged or not text";
    QTest::newRow("truncated") << good.left(good.indexOf("ramp")) << "Line 9: the file ends without a line for \"ramp\"";
    QTest::newRow("later version") << QByteArray(good).replace("format 1", "format 7") << "Line 1: the file is in format 7";
    QTest::newRow("unknown key") << QByteArray(good).replace("ramp =", "rampe =") << "Line 10: unknown key \"rampe\"";
    QTest::newRow("bad check box") << QByteArray(good).replace("pwm_on = off", "pwm_on = yes")
                                   << "Line 16: the check box \"pwm_on\" must be on or off";
    QTest::newRow("huge") << good + QByteArray(10 * parameterFileMaxSize, '\n') << "The file is larger than 64 KiB";
    QTest::newRow("missing") << QByteArray("no such file") << "The file cannot be read";
}

void ParameterFilesTest::refusedFileChangesNothing()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    Rig rig;
    rig.set({"lower_limit=300", "upper_limit=200", "ramp=??? ", "north_stop=1"});
    const QStringList before = rig.panel();
    const QString path = rig.path(QStringLiteral("bad.rotor"));
    if (contents != "no such file")
        QVERIFY(writeFile(path, contents));

    rig.dialogs.fileNames = {path};
    rig.action(QStringLiteral("file_load_parameters"))->trigger();
    QCOMPARE(rig.messages.shown.size(), 1);
    const QString message = rig.messages.shown.first();
    const QString opening = QStringLiteral("The parameters were not loaded from %1.\n\n").arg(QDir::toNativeSeparators(path));
    QVERIFY2(message.startsWith(opening + reason), qPrintable(message));
    QVERIFY2(message.endsWith(QStringLiteral("\n\nThe PARAMETERS SET panel is unchanged.")), qPrintable(message));
    QCOMPARE(rig.panel(), before);
}

void ParameterFilesTest::saveWritesPanelAndLastReading_data()
{
    QTest::addColumn<bool>("versionRead");
    QTest::addColumn<bool>("parametersRead");
    QTest::newRow("nothing read") << false << false;
    QTest::newRow("parameters read") << false << true;
    QTest::newRow("version and parameters read") << true << true;
}

void ParameterFilesTest::saveWritesPanelAndLastReading()
{
    QFETCH(bool, versionRead);
    QFETCH(bool, parametersRead);
    Rig rig;
    if (versionRead) {
        rig.port.expect(frame("V"), reply('V', "00322"));
        rig.click(QStringLiteral("command_v"));
    }
    if (parametersRead)
        rig.read(factoryData);
    rig.set({"ramp= 12 ", "offset_write=???", "mot_check=1"});
    const qsizetype sent = rig.port.written.size();

    rig.dialogs.fileNames = {rig.path(QStringLiteral("saved.rotor"))};
    rig.action(QStringLiteral("file_save_parameters"))->trigger();
    QCOMPARE(rig.messages.shown, QStringList());
    QCOMPARE(rig.port.written.size(), sent);
    const auto result = readParameterFile(fileContents(rig.path(QStringLiteral("saved.rotor"))));
    QVERIFY(std::holds_alternative<ParameterFile>(result));
    const ParameterFile& file = std::get<ParameterFile>(result);
    QCOMPARE(writeParameterFile(ParameterFile{file.panel, {}, {}}),
             writeParameterFile(ParameterFile{panelState(*rig.window), {}, {}}));
    QCOMPARE(file.panel.ramp, QStringLiteral(" 12 "));
    QVERIFY(file.saved.isValid());
    QCOMPARE(bool(file.reading), parametersRead);
    if (parametersRead) {
        QCOMPARE(file.reading->block, factoryBlock);
        QCOMPARE(file.reading->firmware, versionRead ? QStringLiteral("003.22") : QString());
    }
}

void ParameterFilesTest::unwritableFileIsReported_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("what");
    QTest::newRow("parameters") << "file_save_parameters" << "parameters";
    QTest::newRow("listing") << "file_save_listing" << "monitor listing";
}

void ParameterFilesTest::unwritableFileIsReported()
{
    QFETCH(QString, action);
    QFETCH(QString, what);
    Rig rig;
    const QString path = rig.path(QStringLiteral("no such folder/file"));
    rig.dialogs.fileNames = {path};
    rig.action(action)->trigger();
    QCOMPARE(rig.messages.shown.size(), 1);
    const QString opening = QStringLiteral("The %1 could not be saved to %2: ").arg(what, QDir::toNativeSeparators(path));
    QVERIFY2(rig.messages.shown.first().startsWith(opening), qPrintable(rig.messages.shown.first()));
    QVERIFY(rig.messages.shown.first().endsWith(QStringLiteral("Choose another folder or file name and save again.")));
    QVERIFY(!QFileInfo::exists(path));
}

void ParameterFilesTest::listingSavedAsShown()
{
    Rig rig;
    rig.window->setText(Field::cbox_reply_text, QStringLiteral("1: <h|A,?,45,R|r>\n2: <h|A,M,R|r>\n3: <h|A,V,00322\n"));
    rig.dialogs.fileNames = {rig.path(QStringLiteral("listing.txt"))};
    rig.action(QStringLiteral("file_save_listing"))->trigger();
    QCOMPARE(rig.dialogs.asked, QStringList{"Save monitor listing"});
    QCOMPARE(fileContents(rig.path(QStringLiteral("listing.txt"))),
             QByteArray("1: <h|A,?,45,R|r>\r\n2: <h|A,M,R|r>\r\n3: <h|A,V,00322\r\n"));
}

void ParameterFilesTest::historyKeepsChangedConfigurationsOnly()
{
    Rig rig;
    rig.read(factoryData);
    rig.read(blockWith(1, "00200"));  // the rotor moved: the same configuration
    rig.read(blockWith(5, "00450"));  // the upper limit changed
    rig.read(blockWith(5, "00450"));
    QCOMPARE(rig.messages.shown, QStringList());

    const QStringList kept = rig.files->history().files();
    QCOMPARE(kept.size(), 2);
    // The newest restores what the box held then: the set panel as that read fills it.
    QVERIFY(rig.files->loadFrom(kept.first()));
    QCOMPARE(rig.window->text(Field::upper_limit), QStringLiteral("450"));
    QCOMPARE(rig.window->text(Field::pwm_period), QStringLiteral("49"));
    QVERIFY(rig.files->loadFrom(kept.last()));
    QCOMPARE(rig.window->text(Field::upper_limit), QStringLiteral("500"));
}

void ParameterFilesTest::historyKeepsNewestHundred_data()
{
    QTest::addColumn<int>("secondsApart");
    QTest::newRow("a second apart") << 1;
    QTest::newRow("all in the same second") << 0;
}

void ParameterFilesTest::historyKeepsNewestHundred()
{
    QFETCH(int, secondsApart);
    QTemporaryDir dir;
    ReadingHistory history(dir.path());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("notes.rotor")), "mine"));
    const QDateTime start(QDate(2026, 12, 7), QTime(15, 0), Qt::UTC);
    for (int i = 0; i < ReadingHistory::kept + 5; ++i) {
        QString error;
        bool written = false;
        QVERIFY2(history.keep(readingAt(start.addSecs(i * secondsApart), 1000 + i), &error, &written), qPrintable(error));
        QVERIFY(written);
    }
    const QStringList files = history.files();
    QCOMPARE(files.size(), ReadingHistory::kept);
    // Newest first, the five oldest gone, the operator's own file left alone.
    for (int n = 0; n < ReadingHistory::kept; ++n) {
        const auto file = readParameterFile(fileContents(files[n]));
        QCOMPARE(std::get<ParameterFile>(file).reading->block.last(), QString::number(1000 + ReadingHistory::kept + 4 - n));
    }
    QCOMPARE(fileContents(dir.filePath(QStringLiteral("notes.rotor"))), QByteArray("mine"));
}

void ParameterFilesTest::historyFailureToldOnceReadGoesOn()
{
    Rig rig;
    // A file where the folder should be.
    QVERIFY(writeFile(rig.files->history().folder(), "in the way"));
    rig.read(factoryData);
    rig.read(blockWith(4, "00010"));
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(rig.messages.shown.first().startsWith(
                 QStringLiteral("The parameters just read could not be kept in the reading history (%1): ")
                     .arg(QDir::toNativeSeparators(rig.files->history().folder()))),
             qPrintable(rig.messages.shown.first()));
    QCOMPARE(rig.window->text(Field::read_lower_limit), QStringLiteral("10\u00B0"));
    QCOMPARE(rig.files->lastReading()->block[3], QStringLiteral("10"));
}

void ParameterFilesTest::recentReadingLoadsNewestFirst()
{
    Rig rig;
    const QDateTime start(QDate(2026, 12, 7), QTime(15, 0), Qt::UTC);
    for (int i = 0; i < 3; ++i)
        QVERIFY(rig.files->history().keep(readingAt(start.addSecs(i * 60), 1000 + i)));
    rig.files->refreshRecentMenu();
    QStringList titles;
    for (QAction* action : rig.files->recentMenu()->actions())
        if (!action->isSeparator())
            titles << action->text();
    const auto local = [&start](int minutes) {
        return start.addSecs(minutes * 60).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    QCOMPARE(titles, (QStringList{"&1 " + local(2), "&2 " + local(1), "&3 " + local(0),
                                  QStringLiteral("&Browse the history folder\u2026")}));

    rig.set({"upper_limit=1", "mot_check=1"});
    rig.action(QStringLiteral("file_recent_1"))->trigger();
    QCOMPARE(rig.window->text(Field::upper_limit), QStringLiteral("500"));
    QVERIFY(!rig.window->isChecked(Field::mot_check));

    rig.dialogs.fileNames = {rig.files->history().files().last()};
    rig.action(QStringLiteral("file_recent_browse"))->trigger();
    QCOMPARE(rig.dialogs.asked, QStringList{"Open recent box reading"});
    QCOMPARE(rig.messages.shown, QStringList());
}

void ParameterFilesTest::fileItemsWaitWhileMonitorRuns()
{
    Rig rig;
    rig.window->show();
    QMenu* file = rig.window->fileMenu();
    rig.window->setText(Field::cmd_monitor, QStringLiteral("STOP"));
    emit file->aboutToShow();
    QStringList enabled;
    for (QAction* action : file->actions())
        if (!action->isSeparator() && action->isEnabled())
            enabled << action->text();
    QCOMPARE(enabled, QStringList{"&Quit"});

    rig.action(QStringLiteral("file_save_parameters"))->trigger();
    QCOMPARE(rig.dialogs.asked, QStringList());
    rig.action(QStringLiteral("file_quit"))->trigger();
    QCOMPARE(rig.messages.shown, QStringList{"Please STOP the COMMUNICATION MONITOR before to exit."});
    QVERIFY(rig.window->isVisible());

    rig.window->setText(Field::cmd_monitor, QStringLiteral("START..."));
    emit file->aboutToShow();
    for (QAction* action : file->actions())
        QVERIFY(action->isEnabled());
    rig.action(QStringLiteral("file_quit"))->trigger();
    QVERIFY(!rig.window->isVisible());
}

QTEST_MAIN(ParameterFilesTest)
#include "tst_parameter_files.moc"
