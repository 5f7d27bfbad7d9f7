// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu in the window: parameter sets saved and loaded through the dialog seam, the
// reading history kept from the parameter reads, the listing saved, and Quit.

#include "ui/monitor.h"
#include "protocol/set_panel_entries.h"
#include "storage/port_assignment.h"
#include "support/test_window.h"
#include "support/sample_blocks.h"
#include "ui/dial_window.h"
#include "ui/file_menu.h"
#include "ui/port_menu.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QScopeGuard>
#include <QtTest>

#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

const QStringList factoryBlock =
    QStringLiteral("123,R,1,0,500,1829,1,30,0,10,15,1,1829,0,0,2,3049,0,1000").split(QLatin1Char(','));

const QStringList checkedEntries{"offset_write", "pwm_min_duty", "lower_limit", "upper_limit"};

struct Rig : TestWindow {
    Rig()
    {
        files = window->findChild<FileMenu*>(QStringLiteral("parameter_files"));
        files->history().setFolder(dir.filePath(QStringLiteral("history")));
    }

    // One "cmd L" answered with `data` as the block.
    void read(const QByteArray& data)
    {
        port.expect(frame("L"), "\x02"
                                "A,L,"
                                    + data + '\r');
        click(QStringLiteral("read_info"));
        // The history is written once the read has ended.
        QCoreApplication::processEvents();
    }

    QAction* action(const QString& name) const { return window->findChild<QAction*>(name); }
    QString path(const QString& name) const { return dir.filePath(name); }

    // What the set panel holds and how its four checked entries are coloured.
    QStringList panel() const
    {
        QStringList state = setPanel();
        for (const QString& entry : checkedEntries)
            state << entry + QStringLiteral("@bg=") + backgroundName(entry);
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
    FileMenu* files = nullptr;
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

// Runs `write` with every file limited to `bytes` bytes: the write stops part-way with the
// system's own error, as on a full disk.
template <typename Write> void withFileSizeLimit(rlim_t bytes, Write write)
{
    rlimit old{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = bytes;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
    write();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
}

// A FIFO at `path` and, should anything open it for reading and wait, a writer that frees it after
// a few seconds with some bytes, so that a reader that blocks is caught out rather than hung.
class Fifo {
public:
    explicit Fifo(const QString& path) : m_path(QFile::encodeName(path))
    {
        ::mkfifo(m_path.constData(), 0600);
        m_writer = std::thread([this] {
            std::unique_lock lock(m_mutex);
            if (m_done.wait_for(lock, std::chrono::seconds(3), [this] { return m_finished; }))
                return;
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                [[maybe_unused]] const ssize_t n = ::write(fd, "x\n", 2);
                ::close(fd);
            }
        });
    }
    ~Fifo()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_writer.join();
    }

private:
    QByteArray m_path;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_writer;
};

enum class FileCase {
    SettingsWriteFails,
    AssignmentWriteFails,
    ParametersWriteFails,
    ListingWriteFails,
    HistoryWriteFails,
    HistoryClockBehind,
    LoadEntry,
    SaveEntry,
    LoadFifo,
    SettingsFifo,
    PortLinkNotALink,
    NoPortChosen,
};

}  // namespace

Q_DECLARE_METATYPE(FileCase)

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
    void keptFilesStayWholeLoadsAreTypeable_data();
    void keptFilesStayWholeLoadsAreTypeable();
    void fileNamedAtStartLoadsAfterStartUp_data();
    void fileNamedAtStartLoadsAfterStartUp();
    void savesReplaceOnlyAFile_data();
    void savesReplaceOnlyAFile();
    void dialStateKeptOnAFullDisk();
    void quitClosesEveryWindowAndEnds();
};

void ParameterFilesTest::loadFillsPanelAndItsChecks_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QStringList>("colours");  // the four checked entries after loading

    // The minimum duty is judged against the loaded maximum and period, the upper limit is set
    // after the lower one: the checks end as after Set Default, not as the old values would have them.
    QTest::newRow("judged against the loaded values")
        << QStringList{"pwm_period=1",    "pwm_max_duty=10", "pwm_min_duty=60",
                       "lower_limit=300", "upper_limit=50",  "north_stop=1"}
        << QStringList{"pwm_period=50",   "pwm_max_duty=100", "pwm_min_duty=50", "lower_limit=100", "upper_limit=200",
                       "offset_write=70", "south_stop=1",     "north_stop=0",    "mot_check=1"}
        << QStringList{"window", "window", "window", "window"};
    QTest::newRow("doubtful values marked, no stop")
        << QStringList{"offset_write=0", "pwm_min_duty=50", "lower_limit=0", "upper_limit=500"}
        << QStringList{"offset_write=-71", "pwm_min_duty=???", "lower_limit=300", "upper_limit=200",
                       "south_stop=0",     "north_stop=0",     "pwm_on=0"}
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
    QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                    << "Line 1: the file is damaged or not text";
    QTest::newRow("truncated") << good.left(good.indexOf("ramp"))
                               << "Line 9: the file ends without a line for \"ramp\"";
    QTest::newRow("later version") << QByteArray(good).replace("format 1", "format 7")
                                   << "Line 1: the file is in format 7";
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
    const QString opening =
        QStringLiteral("The parameters were not loaded from %1.\n\n").arg(QDir::toNativeSeparators(path));
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
        rig.read(exampleBlock);
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
    QTest::newRow("parameters") << "file_save_parameters"
                                << "parameters";
    QTest::newRow("listing") << "file_save_listing"
                             << "monitor listing";
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
    const QString opening =
        QStringLiteral("The %1 could not be saved to %2: ").arg(what, QDir::toNativeSeparators(path));
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
    rig.read(exampleBlock);
    rig.read(exampleBlockWith(1, "00200"));  // the rotor moved: the same configuration
    rig.read(exampleBlockWith(5, "00450"));  // the upper limit changed
    rig.read(exampleBlockWith(5, "00450"));
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
        QVERIFY2(history.keep(readingAt(start.addSecs(i * secondsApart), 1000 + i), &error, &written),
                 qPrintable(error));
        QVERIFY(written);
    }
    const QStringList files = history.files();
    QCOMPARE(files.size(), ReadingHistory::kept);
    // Newest first, the five oldest gone, the operator's own file left alone.
    for (int n = 0; n < ReadingHistory::kept; ++n) {
        const auto file = readParameterFile(fileContents(files[n]));
        QCOMPARE(std::get<ParameterFile>(file).reading->block.last(),
                 QString::number(1000 + ReadingHistory::kept + 4 - n));
    }
    QCOMPARE(fileContents(dir.filePath(QStringLiteral("notes.rotor"))), QByteArray("mine"));
}

void ParameterFilesTest::historyFailureToldOnceReadGoesOn()
{
    Rig rig;
    // A file where the folder should be.
    QVERIFY(writeFile(rig.files->history().folder(), "in the way"));
    rig.read(exampleBlock);
    rig.read(exampleBlockWith(4, "00010"));
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
    rig.window->monitor().setState(MonitorState::Running);
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

    rig.window->monitor().setState(MonitorState::Idle);
    emit file->aboutToShow();
    for (QAction* action : file->actions())
        QVERIFY(action->isEnabled());
    rig.action(QStringLiteral("file_quit"))->trigger();
    QVERIFY(!rig.window->isVisible());
}

void ParameterFilesTest::keptFilesStayWholeLoadsAreTypeable_data()
{
    QTest::addColumn<FileCase>("fileCase");
    QTest::addColumn<QString>("value");  // the entry's text, where the case has one
    // What the operator is shown, as a pattern matched whole: <reason> stands for the system's
    // own words for the failed write.
    QTest::addColumn<QString>("shown");

    const QString notSaved = QStringLiteral(": <reason>\\.\n\nChoose another folder or file name and save again\\.");
    QTest::newRow("settings file, the disk full")
        << FileCase::SettingsWriteFails << QString() << "The port choice could not be saved in .*rotor\\.ini: <reason>";
    QTest::newRow("port assignment, the disk full")
        << FileCase::AssignmentWriteFails << QString()
        << "Port 1 was not assigned to /dev/ttyUSB9: the settings file .*rotor\\.ini could not be written "
           "\\(<reason>\\)\\. Nothing was changed\\.";
    QTest::newRow("parameters, the disk full") << FileCase::ParametersWriteFails << QString()
                                               << "The parameters could not be saved to .*saved\\.rotor" + notSaved;
    QTest::newRow("listing, the disk full") << FileCase::ListingWriteFails << QString()
                                            << "The monitor listing could not be saved to .*listing\\.txt" + notSaved;
    QTest::newRow("reading history, the disk full") << FileCase::HistoryWriteFails << QString() << "<reason>";
    QTest::newRow("reading history, the clock behind") << FileCase::HistoryClockBehind << QString() << QString();

    const QString notLoaded =
        QStringLiteral("The parameters were not loaded from .*entry\\.rotor\\.\n\nLine 10: the value "
                       "of \"ramp\" %1\n\nThe PARAMETERS SET panel is unchanged\\.");
    QTest::newRow("load, 33 characters") << FileCase::LoadEntry << QString(33, QLatin1Char('7'))
                                         << notLoaded.arg("is 33 characters long; an entry of the PARAMETERS SET "
                                                          "panel holds at most 32\\.");
    const QString control = QStringLiteral("holds the control character %1, which an entry of the PARAMETERS SET "
                                           "panel cannot hold\\.");
    QTest::newRow("load, \\r") << FileCase::LoadEntry << "1\r" << notLoaded.arg(control.arg(13));
    QTest::newRow("load, \\n") << FileCase::LoadEntry << "1\n2" << notLoaded.arg(control.arg(10));
    QTest::newRow("load, \\u0002") << FileCase::LoadEntry << "\u0002" << notLoaded.arg(control.arg(2));
    QTest::newRow("load, 32 characters") << FileCase::LoadEntry << QString(32, QLatin1Char('7')) << QString();
    // Nor can the program put one into an entry: what Save writes, Load takes.
    QTest::newRow("save, \\u0002 set into an entry") << FileCase::SaveEntry << "1\u00022" << QString();
    QTest::newRow("load, a FIFO")
        << FileCase::LoadFifo << QString()
        << "The parameters were not loaded from .*fifo\\.rotor\\.\n\nThe file cannot be read: "
           "it is not a regular file but a FIFO, socket or device\\.\n\nThe PARAMETERS SET "
           "panel is unchanged\\.";
    QTest::newRow("settings file a FIFO") << FileCase::SettingsFifo << QString() << QString();
    QTest::newRow("ports/com2 a file") << FileCase::PortLinkNotALink << QString()
                                       << ".*/ports/com2 is a file, not a link to a device, so port 2 opens nothing\\. "
                                          "Move it away, then choose the device with Port > Choose serial port\u2026";
    QTest::newRow("no port chosen") << FileCase::NoPortChosen << QString()
                                    << "No port is chosen yet: choose one with Port > Choose serial port\u2026";
}

void ParameterFilesTest::keptFilesStayWholeLoadsAreTypeable()
{
    QFETCH(FileCase, fileCase);
    QFETCH(QString, value);
    QFETCH(QString, shown);

    Rig rig;
    SerialLink& link = rig.window->link();
    const QString settings = link.choice().settingsPath();
    const QByteArray oldSettings = " 3 \r\n";
    QVERIFY(writeFile(settings, oldSettings));
    const QByteArray old = "what was there";
    QString got;
    bool whole = false;  // what was kept is as it was, or what was written is there
    const QStringList before = rig.panel();

    switch (fileCase) {
    case FileCase::SettingsWriteFails:
        withFileSizeLimit(2, [&] { rig.click(QStringLiteral("COM2")); });
        got = rig.messages.shown.value(0);
        whole = fileContents(settings) == oldSettings;
        break;
    case FileCase::AssignmentWriteFails: {
        const QString links = portLinksFolder(settings);
        QVERIFY(QDir().mkpath(links));
        QVERIFY(QFile::link(QStringLiteral("/dev/ttyOLD"), portLinkPath(links, 1)));
        PortAssignment assignment;
        assignment.portNumber = 1;
        assignment.linkTarget = QStringLiteral("/dev/ttyUSB9");
        bool applied = true;
        withFileSizeLimit(2, [&] { applied = applyAssignment(assignment, settings, links, &got); });
        whole = !applied && fileContents(settings) == oldSettings
                && QFileInfo(portLinkPath(links, 1)).symLinkTarget() == QStringLiteral("/dev/ttyOLD");
        break;
    }
    case FileCase::ParametersWriteFails:
    case FileCase::ListingWriteFails: {
        const bool parameters = fileCase == FileCase::ParametersWriteFails;
        const QString path = rig.path(parameters ? QStringLiteral("saved.rotor") : QStringLiteral("listing.txt"));
        QVERIFY(writeFile(path, old));
        rig.window->setText(Field::cbox_reply_text, QString(200, QLatin1Char('r')));
        rig.dialogs.fileNames = {path};
        withFileSizeLimit(16, [&] {
            rig.action(parameters ? QStringLiteral("file_save_parameters") : QStringLiteral("file_save_listing"))
                ->trigger();
        });
        got = rig.messages.shown.value(0);
        whole = fileContents(path) == old;
        break;
    }
    case FileCase::HistoryWriteFails: {
        ReadingHistory& history = rig.files->history();
        bool kept = true;
        withFileSizeLimit(16, [&] { kept = history.keep(readingAt(QDateTime::currentDateTimeUtc(), 1000), &got); });
        whole = !kept && QDir(history.folder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        break;
    }
    case FileCase::HistoryClockBehind: {
        ReadingHistory& history = rig.files->history();
        const QDateTime start(QDate(2026, 12, 7), QTime(15, 0), Qt::UTC);
        for (int i = 0; i < ReadingHistory::kept; ++i)
            QVERIFY(history.keep(readingAt(start.addSecs(i), 1000 + i)));
        bool written = false;
        const QDateTime behind(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
        QVERIFY(history.keep(readingAt(behind, 7), &got, &written));
        const QStringList files = history.files();
        // The new reading stays; the oldest of the others went.
        whole = written && files.size() == ReadingHistory::kept
                && files.contains(QDir(history.folder()).filePath(QStringLiteral("2020-01-01T00-00-00Z.rotor")))
                && !files.contains(QDir(history.folder()).filePath(QStringLiteral("2026-12-07T15-00-00Z.rotor")));
        break;
    }
    case FileCase::LoadEntry: {
        ParameterFile file;
        file.panel.ramp = value;
        const QString path = rig.path(QStringLiteral("entry.rotor"));
        QVERIFY(writeFile(path, writeParameterFile(file)));
        const bool loaded = rig.files->loadFrom(path);
        got = rig.messages.shown.value(0);
        whole = loaded ? rig.window->text(Field::ramp) == value : rig.panel() == before;
        break;
    }
    case FileCase::SaveEntry: {
        const QString path = rig.path(QStringLiteral("saved.rotor"));
        rig.window->setText(Field::ramp, value);
        rig.dialogs.fileNames = {path};
        rig.action(QStringLiteral("file_save_parameters"))->trigger();
        got = rig.messages.shown.value(0);
        const auto saved = readParameterFile(fileContents(path));
        whole = std::holds_alternative<ParameterFile>(saved)
                && std::get<ParameterFile>(saved).panel.ramp == QStringLiteral("12");
        break;
    }
    case FileCase::LoadFifo: {
        const QString path = rig.path(QStringLiteral("fifo.rotor"));
        Fifo fifo(path);
        QElapsedTimer clock;
        clock.start();
        const bool loaded = rig.files->loadFrom(path);
        got = rig.messages.shown.value(0);
        whole = !loaded && clock.elapsed() < 2000 && rig.panel() == before;
        break;
    }
    case FileCase::SettingsFifo: {
        QVERIFY(QFile::remove(settings));
        Fifo fifo(settings);
        QElapsedTimer clock;
        clock.start();
        whole = !link.LOAD_SETTINGS() && clock.elapsed() < 2000 && link.choice().number() == 0;
        break;
    }
    case FileCase::PortLinkNotALink:
    case FileCase::NoPortChosen: {
        const bool notALink = fileCase == FileCase::PortLinkNotALink;
        if (notALink) {
            QVERIFY(QDir().mkpath(portLinksFolder(settings)));
            QVERIFY(writeFile(portLinkPath(portLinksFolder(settings), 2), "/dev/ttyUSB0\n"));
        } else {
            rig.port.failOpen = true;  // port 0 opens nothing
        }
        link.choice().setNumber(notALink ? 2 : 0);
        // Nothing else is opened in its place.
        whole = link.OPEN_PORT() && rig.messages.shown.value(0) == portOpenErrorText(link.choice().number())
                && rig.port.opens == 0;
        got = rig.messages.details.value(0);
        if (notALink) {  // the option says so before any open
            refreshPortOptionHints(rig.window->link(), *rig.window);
            QCOMPARE(rig.button(QStringLiteral("COM2"))->toolTip(), got);
        }
        break;
    }
    }

    QString pattern = shown;
    pattern.replace(QStringLiteral("<reason>"),
                    QRegularExpression::escape(QString::fromLocal8Bit(std::strerror(EFBIG))));
    const QRegularExpression expected(QRegularExpression::anchoredPattern(pattern),
                                      QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2(expected.match(got).hasMatch(), qPrintable(got));
    QVERIFY(whole);
}

void ParameterFilesTest::fileNamedAtStartLoadsAfterStartUp_data()
{
    QTest::addColumn<bool>("boxAnswers");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QStringList>("shown");

    const QString prompt =
        QStringLiteral("Connect the PC to the CBOX, power-on it and click on OK when the CBOX is ready");
    QTest::newRow("start-up answered") << true
                                       << QByteArray("\x02"
                                                     "AS\r\x02"
                                                     "AV\r\x02"
                                                     "AL\r")
                                       << QStringList{prompt};
    QTest::newRow("box silent") << false
                                << QByteArray("\x02"
                                              "AS\r")
                                << QStringList{prompt, QStringLiteral("cmd S, Communication timeout on <header>")};
}

void ParameterFilesTest::fileNamedAtStartLoadsAfterStartUp()
{
    QFETCH(bool, boxAnswers);
    QFETCH(QByteArray, wire);
    QFETCH(QStringList, shown);
    Rig rig;
    QVERIFY(rig.writeSettings(" 1 \r\n"));
    if (boxAnswers) {
        rig.port.expect(frame("S"), reply('S', "R"));
        rig.port.expect(frame("V"), reply('V', "00322"));
        rig.port.expect(frame("L"), reply('L', exampleBlock));
    }
    // A file that differs from the block in every text entry and check box.
    ParameterFile file;
    file.panel = panelFromBlock(factoryBlock);
    for (const SetPanelEntry& entry : setPanelEntries) {
        if (entry.text)
            file.panel.*entry.text = QStringLiteral("7");
        else
            file.panel.*entry.checked = !(file.panel.*entry.checked);
    }
    QVERIFY(writeFile(rig.path(QStringLiteral("named.rotor")), writeParameterFile(file)));

    rig.window->startUpLoading(rig.path(QStringLiteral("named.rotor")));

    QCOMPARE(rig.port.written, wire);
    QCOMPARE(rig.messages.shown, shown);
    QCOMPARE(panelState(*rig.window).upperLimit, QStringLiteral("7"));
    QCOMPARE(panelState(*rig.window).pwmOn, file.panel.pwmOn);
    QCOMPARE(panelState(*rig.window).southStop, file.panel.southStop);
}

void ParameterFilesTest::savesReplaceOnlyAFile_data()
{
    QTest::addColumn<QString>("save");  // the menu item or button that saves the kept file
    QTest::addColumn<QString>("kind");  // what stands where it is saved
    for (const char* save : {"file_save_parameters", "file_save_listing", "COM2", "action_azimuth_dial"})
        for (const char* kind : {"fifo", "device", "link to fifo", "link to device", "dangling link", "link to file"})
            QTest::addRow("%s, %s", save, kind) << save << kind;
}

// Every kept file: a link to a file is followed (the link stays), anything else is left as it was.
void ParameterFilesTest::savesReplaceOnlyAFile()
{
    QFETCH(QString, save);
    QFETCH(QString, kind);
    if (kind.endsWith(QLatin1String("device")) && ::geteuid() != 0)
        QSKIP("mknod needs root");
    Rig rig;
    const QString settings = rig.window->link().choice().settingsPath();
    const QString path = save == QLatin1String("COM2")                  ? settings
                         : save == QLatin1String("action_azimuth_dial") ? dialStatePath(settings)
                                                                        : rig.path(QStringLiteral("saved"));
    const QString node = kind.contains(QLatin1String("link")) ? path + QStringLiteral(".target") : path;
    const QByteArray name = QFile::encodeName(node);
    QVERIFY(kind.endsWith(QLatin1String("fifo"))     ? ::mkfifo(name.constData(), 0600) == 0
            : kind.endsWith(QLatin1String("device")) ? ::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)) == 0
            : kind.endsWith(QLatin1String("file"))   ? writeFile(node, "old")
                                                     : true);
    QVERIFY(node == path || QFile::link(node, path));
    rig.dialogs.fileNames = {path};
    save == QLatin1String("COM2") ? rig.click(save) : rig.action(save)->trigger();

    // A link stays a link; only a regular file behind it is replaced, nothing becomes one.
    const bool followed = kind == QLatin1String("link to file");
    QCOMPARE(QFileInfo(path).isSymLink(), kind.contains(QLatin1String("link")));
    QCOMPARE(QFileInfo(node).isFile(), followed);
    QVERIFY(!followed || fileContents(node) != "old");
    QCOMPARE(rig.messages.shown.size(), followed ? 0 : 1);
    QVERIFY(followed
            || rig.messages.shown.first().contains(QDir::toNativeSeparators(path) + QStringLiteral(": it is ")));
}

// dial.ini on a full disk (a small tmpfs, filled) keeps what it held.
void ParameterFilesTest::dialStateKeptOnAFullDisk()
{
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("mounting a tmpfs needs root");
    const auto unmount = qScopeGuard([&mountPoint] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    const QString path = dir.filePath(QStringLiteral("dial.ini"));
    QVERIFY(writeFile(path, "open=1\n"));
    QFile filler(dir.filePath(QStringLiteral("filler")));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'x')) > 0) {}
    QString error;
    QVERIFY(!writeDialState(path, {false, QRect(1, 2, 400, 400)}, &error));
    QVERIFY2(error.contains(QLatin1String("No space left")), qPrintable(error));
    QCOMPARE(fileContents(path), QByteArray("open=1\n"));
}

// Quit chosen while a reply is awaited: once it has come, every window closes and the program ends.
void ParameterFilesTest::quitClosesEveryWindowAndEnds()
{
    Rig rig;
    rig.window->show();
    rig.click(QStringLiteral("calib"));
    rig.action(QStringLiteral("action_azimuth_dial"))->trigger();
    rig.port.expect(frame("S"), reply('S', "R"), 100);
    QTimer::singleShot(0, rig.button(QStringLiteral("command_s")), &QAbstractButton::click);
    QTimer::singleShot(20, rig.action(QStringLiteral("file_quit")), &QAction::trigger);
    QTimer::singleShot(3000, [] { QCoreApplication::exit(1); });  // not ended: the test fails, not hangs
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!rig.window->isVisible() && !rig.window->calibrationWindow()->isVisible()
            && !dialWindow(*rig.window)->isVisible());
    QCOMPARE(rig.port.written, frame("S"));
}

QTEST_MAIN(ParameterFilesTest)
#include "tst_file_menu.moc"
