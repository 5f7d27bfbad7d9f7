// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: the main window on the real serial port (QSerialPort) against the simulated CBOX
// (cbox-sim) on a pseudo-terminal. Every test starts a fresh simulator plugged in as port 1 inside a
// private configuration folder, and drives the window by its buttons and entries as the operator
// does; the simulator's log tells what went over the line.

#include "serial/serial_port.h"
#include "storage/settings_file.h"
#include "support/recording_dialogs.h"
#include "support/recording_messages.h"
#include "support/sim_process.h"
#include "support/timed_steps.h"
#include "ui/calibration_window.h"
#include "ui/colours.h"
#include "ui/dial_window.h"
#include "ui/main_window.h"
#include "ui/file_menu.h"

#include <QAbstractButton>
#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString SimProgram = QStringLiteral(ROTOR_BUILD_DIR "/sim/cbox-sim");

// Generous bounds: nothing here should take more than a fraction of them, also under the
// sanitizers on a loaded machine.
constexpr int Patience = 20000;
// The program's own reply period; the tests whose point is a timeout wait it out in full.
constexpr int ReplyPeriod = SerialLink::replyTimeoutMs;
// A timer may fire a little early (coarse timers by up to 5 %); a timeout cannot come sooner than this.
constexpr int ReplyPeriodAtLeast = ReplyPeriod * 9 / 10;

const QString connectPrompt =
    QStringLiteral("Connect the PC to the CBOX, power-on it and click on OK when the CBOX is ready");
const QString portError = QStringLiteral("ERROR OPENING COM PORT # 1");
const QString idleCaption = QStringLiteral("START...");
const QString runningCaption = QStringLiteral("STOP");

// Every button that runs an exchange from the main window.
const char* const commandButtons[] = {"write_mode", "read_info", "execute",   "cmd_monitor", "fast_stop",
                                      "soft_stop",  "command_s", "command_c", "command_qm",  "command_v"};

// The main window on a real serial port, with recorded messages, and the simulator plugged in as
// port 1, both in a private configuration folder that also holds the settings file for port 1.
class Rig {
public:
    // Starts the simulator with `simArgs` (unpaced unless `fast` is false) and creates the window.
    bool start(const QStringList& simArgs, bool fast = true)
    {
        if (!config.isValid())
            return false;
        // The tool finds its settings file and its port links through this folder; it must be in
        // place before anything reads it.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        sim = std::make_unique<SimProcess>(SimProgram, config.path());
        if (!sim->start(simArgs, fast))
            return false;
        QFile settings(config.filePath(QStringLiteral("rotor/rotor.ini")));
        if (!settings.open(QIODevice::WriteOnly) || settings.write(" 1 \r\n") != 5)
            return false;
        settings.close();
        window = std::make_unique<MainWindow>(port, messages);
        window->settingsFile().setPath(settings.fileName());
        window->show();
        return true;
    }

    // The start-up sequence; true when it went through with nothing shown but the connect prompt.
    bool startUp()
    {
        window->startUp();
        const bool clean = messages.shown == QStringList{connectPrompt};
        messages.shown.clear();
        return clean;
    }

    // Port 1 chosen in the COM PORT panel, as the operator does when no start-up ran.
    bool choosePort1()
    {
        return click(QStringLiteral("COM1")) && window->link().choice().number() == 1 && messages.shown.isEmpty();
    }

    QAbstractButton* button(const QString& name) const
    {
        if (auto* b = window->findChild<QAbstractButton*>(name))
            return b;
        if (CalibrationWindow* calibration = window->calibrationWindow())
            return calibration->findChild<QAbstractButton*>(name);
        return nullptr;
    }

    // Clicks an enabled button; false when there is no such button or it is disabled (a click on
    // a disabled button does nothing, which would hide a fault).
    bool click(const QString& name) const
    {
        QAbstractButton* b = button(name);
        if (!b || !b->isEnabled())
            return false;
        b->click();
        return true;
    }

    QString text(const QString& name) const { return window->text(fieldNamed(name).value()); }

    // Types into an entry, or ticks and clears a check box or option with "1" and "0".
    bool set(const QString& name, const QString& value) const
    {
        if (auto* edit = window->findChild<QLineEdit*>(name)) {
            edit->setText(value);
            return true;
        }
        if (QAbstractButton* b = button(name); b && b->isCheckable()) {
            b->setChecked(value == QLatin1String("1"));
            return b->isChecked() == (value == QLatin1String("1"));
        }
        return false;
    }

    // The monitor's listing, one entry per line.
    QStringList listing() const
    {
        QStringList lines = text(QStringLiteral("cbox_reply_text")).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    QString lastListed() const { return listing().value(listing().size() - 1); }

    // Empty when the window is at rest after an exchange: no exchange running, the port closed,
    // the monitor idle and every command button enabled; otherwise what is wrong.
    QString unsettled() const
    {
        QStringList problems;
        if (window->exchangeLock().busy())
            problems << QStringLiteral("an exchange still runs");
        if (port.isOpen())
            problems << QStringLiteral("the port is open");
        if (text(QStringLiteral("cmd_monitor")) != idleCaption)
            problems << QStringLiteral("the monitor caption is ") + text(QStringLiteral("cmd_monitor"));
        for (const char* name : commandButtons)
            if (!window->isEnabled(fieldNamed(QLatin1String(name)).value()))
                problems << QString::fromLatin1(name) + QStringLiteral(" is disabled");
        return problems.join(QStringLiteral("; "));
    }

    // Empty when every expectation holds, otherwise the ones that do not. An expectation is
    // "name=text" for a field's text, "name=1" or "name=0" for a check box or option, and
    // "name@bg=red" or "name@bg=window" for a field's background.
    QString mismatches(const QStringList& expectations) const
    {
        QStringList wrong;
        for (const QString& expectation : expectations) {
            const qsizetype eq = expectation.indexOf(QLatin1Char('='));
            QString name = expectation.left(eq);
            const QString want = expectation.mid(eq + 1);
            QString got;
            if (name.endsWith(QLatin1String("@bg"))) {
                name.chop(3);
                QWidget* w = window->findChild<QWidget*>(name);
                const QColor colour = w ? colours::background(w) : QColor();
                got = colour == colours::invalidRed ? QStringLiteral("red")
                      : colour == colours::window() ? QStringLiteral("window")
                                                    : colour.name();
            } else if (QAbstractButton* b = button(name); b && b->isCheckable()) {
                got = b->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
            } else {
                got = text(name);
            }
            if (got != want)
                wrong << QStringLiteral("%1 is \"%2\", expected \"%3\"").arg(name, got, want);
        }
        return wrong.join(QStringLiteral("; "));
    }

    // The frames and value lines the simulator received, without the first `skip`.
    QStringList receivedSince(qsizetype skip) const { return sim->received().mid(skip); }

    QTemporaryDir config;
    std::unique_ptr<SimProcess> sim;
    SerialPort port;
    RecordingMessages messages;
    std::unique_ptr<MainWindow> window;
};

QString frameText(const char* body)
{
    return QStringLiteral("<STX>") + QString::fromLatin1(body) + QStringLiteral("<CR>");
}

// Steps that run while the monitor does; past the patience they stop it themselves.
TimedSteps monitorSteps(Rig& rig)
{
    return TimedSteps(Patience, [&rig] {
        if (rig.text(QStringLiteral("cmd_monitor")) == runningCaption)
            rig.button(QStringLiteral("cmd_monitor"))->click();
    });
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void startUpFillsBothPanels_data();
    void startUpFillsBothPanels();
    void writtenBlockReadsBack_data();
    void writtenBlockReadsBack();
    void savedSetWritesTheSameLinesAgain_data();
    void savedSetWritesTheSameLinesAgain();
    void gotoMovesRotor();
    void gotoReply_data();
    void gotoReply();
    void stopHaltsRotor_data();
    void stopHaltsRotor();
    void monitorListsStatusFrames();
    void dialFollowsGotoWhileMonitoring();
    void faultLeavesToolUsable_data();
    void faultLeavesToolUsable();
    void hangUpMidFrame();
    void simulatorKilledWhileMonitoring();
    void portTaken_data();
    void portTaken();
    void typedDeviceIsOpenedAtTheNextExchange();
};

void EndToEndTest::initTestCase()
{
    QVERIFY2(QFileInfo(SimProgram).isExecutable(), qPrintable(SimProgram + QStringLiteral(" is not built")));
}

void EndToEndTest::startUpFillsBothPanels_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<bool>("paced");  // the box's output at the pace of 9600 baud, as on a real line
    QTest::addColumn<QStringList>("expected");

    // The box as it leaves the factory: the block 00123,R,00001,00000,00500,01829,00001,00030,
    // 00000,00010,00015,00001,01829,00000,00000,00002,03049,00000,01000 and version 00322.
    const QStringList factory{"firm_version=003.22",
                              "curr_pos=123°",
                              "cbox_status=READY",
                              "cbox_status@bg=window",
                              "mode_msg=South-stop",
                              "read_lower_limit=0°",
                              "read_upper_limit=500°",
                              "read_inv_delay=3sec",
                              "pwm_msg=ON",
                              "read_pwm_period=49ms",
                              "read_pwm_max_duty=100%",
                              "read_ramp=10°",
                              "read_pwm_min_duty=50%",
                              "optimize_msg=ON",
                              "read_pres_delay=3sec",
                              "offset_read=0°",
                              "mot_check_msg=OFF",
                              "check_angle=2°",
                              "read_rot_timeout=5sec",
                              "dipsw=DISABLED",
                              "cal_fact=1000",
                              "pwm_period=49",
                              "pwm_max_duty=100",
                              "pwm_min_duty=50",
                              "ramp=10",
                              "lower_limit=0",
                              "upper_limit=500",
                              "inv_delay=3",
                              "pres_delay=3",
                              "rot_timeout=5",
                              "offset_write=0",
                              "check_angle_write=2",
                              "pwm_on=1",
                              "optimize=1",
                              "mot_check=0",
                              "south_stop=1",
                              "north_stop=0"};
    QTest::newRow("factory block") << QStringList{} << false << factory;
    QTest::newRow("factory block, paced") << QStringList{} << true << factory;
    QTest::newRow("absolute mode, other version and position")
        << QStringList{"--absolute", "--version-number=12345", "--position=7"} << false
        << QStringList{"firm_version=123.45", "curr_pos=7°",  "mode_msg=Absolute",
                       "south_stop=0",        "north_stop=0", "read_upper_limit=500°"};
    QTest::newRow("short version number")
        << QStringList{"--version-number=5"} << false << QStringList{"firm_version=000.05"};
    QTest::newRow("busy box") << QStringList{"--fault-busy"} << false
                              << QStringList{"cbox_status=BUSY", "cbox_status@bg=red", "cal_fact=1000"};
}

void EndToEndTest::startUpFillsBothPanels()
{
    QFETCH(QStringList, simArgs);
    QFETCH(bool, paced);
    QFETCH(QStringList, expected);
    Rig rig;
    QVERIFY(rig.start(simArgs, !paced));
    QVERIFY2(rig.startUp(), qPrintable(rig.messages.shown.join(QLatin1Char('|'))));

    QCOMPARE(rig.sim->received(), (QStringList{frameText("AS"), frameText("AV"), frameText("AL")}));
    const QString wrong = rig.mismatches(expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    const QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void EndToEndTest::writtenBlockReadsBack_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<bool>("paced");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("limit, offset, rotation timeout, north-stop")
        << QStringList{"upper_limit=450", "offset_write=-5", "rot_timeout=7", "north_stop=1"} << false
        << QStringList{"read_upper_limit=450°", "offset_read=-5°", "read_rot_timeout=7sec", "mode_msg=North-stop",
                       "read_lower_limit=0°"};
    QTest::newRow("PWM period and duties")
        << QStringList{"pwm_period=100", "pwm_max_duty=80", "pwm_min_duty=20"} << false
        << QStringList{"read_pwm_period=100ms", "read_pwm_max_duty=80.327868852459%", "read_pwm_min_duty=20%"};
    QTest::newRow("delays, ramp, lower limit, check angle")
        << QStringList{"inv_delay= 2 ", "pres_delay=1", "ramp=15", "lower_limit=10", "check_angle_write=2.7"} << false
        << QStringList{"read_inv_delay=2sec", "read_pres_delay=1sec", "read_ramp=15°", "read_lower_limit=10°",
                       "check_angle=2°"};
    QTest::newRow("flags") << QStringList{"pwm_on=0", "optimize=0", "mot_check=1"} << false
                           << QStringList{"pwm_msg=OFF", "optimize_msg=OFF", "mot_check_msg=ON"};
    QTest::newRow("offset with leading zeros")
        << QStringList{"offset_write=-070"} << false << QStringList{"offset_read=-70°"};
    QTest::newRow("limits and offset, paced")
        << QStringList{"lower_limit=20", "upper_limit=340", "offset_write=70"} << true
        << QStringList{"read_lower_limit=20°", "read_upper_limit=340°", "offset_read=70°"};
}

void EndToEndTest::writtenBlockReadsBack()
{
    QFETCH(QStringList, edits);
    QFETCH(bool, paced);
    QFETCH(QStringList, expected);
    Rig rig;
    QVERIFY(rig.start({}, !paced));
    QVERIFY(rig.startUp());

    for (const QString& edit : edits) {
        const qsizetype eq = edit.indexOf(QLatin1Char('='));
        QVERIFY2(rig.set(edit.left(eq), edit.mid(eq + 1)), qPrintable(edit));
    }
    const qsizetype before = rig.sim->received().size();
    rig.messages.answers = {true};
    QVERIFY(rig.click(QStringLiteral("write_mode")));
    QCOMPARE(rig.messages.shown, QStringList());
    QCOMPARE(rig.messages.questions,
             QStringList{"WRITE PARAMETERS COMMAND: THIS COMMAND OVERWRITES THE CBOX SETTINGS!!! ARE YOU SURE?"});
    QVERIFY(rig.sim->waitForLog(QStringLiteral("parameters written"), Patience));
    // The S exchange, "AW", then the 15 value lines.
    const QStringList written = rig.receivedSince(before);
    QCOMPARE(written.size(), 2 + 15);
    QCOMPARE(written.mid(0, 2), (QStringList{frameText("AS"), frameText("AW")}));
    QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    QVERIFY(rig.click(QStringLiteral("read_info")));
    QCOMPARE(rig.messages.shown, QStringList());
    const QString wrong = rig.mismatches(expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void EndToEndTest::savedSetWritesTheSameLinesAgain_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("edits");  // made in the set panel after the start-up read
    QTest::addColumn<int>("kept");           // readings in the history at the end

    QTest::newRow("as read") << QStringList{} << QStringList{} << 1;
    QTest::newRow("as read, absolute mode: no stop option") << QStringList{"--absolute"} << QStringList{} << 1;
    QTest::newRow("edited") << QStringList{}
                            << QStringList{"upper_limit=450", "offset_write=-5", "rot_timeout=7",   "north_stop=1",
                                           "pwm_period=100",  "pwm_max_duty=80", "pwm_min_duty=20", "mot_check=1",
                                           "optimize=0",      "ramp= 15 "}
                            << 2;
}

// The panel saved to a file and loaded back over Set Default is written exactly as it was
// before, and reads back as the same block.
void EndToEndTest::savedSetWritesTheSameLinesAgain()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, edits);
    QFETCH(int, kept);
    RecordingDialogs dialogs;
    Rig rig;
    QVERIFY(rig.start(simArgs));
    rig.window->setDialogs(&dialogs);
    QVERIFY(rig.startUp());
    auto* files = rig.window->findChild<FileMenu*>(QStringLiteral("parameter_files"));
    QVERIFY(files && files->lastReading());
    const QStringList blockAtStart = files->lastReading()->block;
    for (const QString& edit : edits) {
        const qsizetype eq = edit.indexOf(QLatin1Char('='));
        QVERIFY2(rig.set(edit.left(eq), edit.mid(eq + 1)), qPrintable(edit));
    }
    const auto trigger = [&rig](const char* action) {
        rig.window->findChild<QAction*>(QLatin1String(action))->trigger();
    };
    const QString path = rig.config.filePath(QStringLiteral("box.rotor"));
    dialogs.fileNames = {path};
    trigger("file_save_parameters");

    int writes = 0;
    const auto write = [&]() -> QStringList {
        const qsizetype before = rig.sim->received().size();
        rig.messages.answers = {true};
        if (!rig.click(QStringLiteral("write_mode")))
            return {};
        ++writes;
        QElapsedTimer clock;
        clock.start();
        while (rig.sim->log().count(QStringLiteral("parameters written")) < writes && clock.elapsed() < Patience)
            QTest::qWait(10);
        return rig.receivedSince(before);
    };
    const auto read = [&]() -> QStringList {
        return rig.click(QStringLiteral("read_info")) && files->lastReading() ? files->lastReading()->block
                                                                              : QStringList();
    };
    const QStringList straight = write();
    QCOMPARE(straight.size(), 2 + 15);
    const QStringList blockWritten = read();
    if (edits.isEmpty())
        QCOMPARE(blockWritten, blockAtStart);

    rig.messages.answers = {true};
    QVERIFY(rig.click(QStringLiteral("set_default")));
    dialogs.fileNames = {path};
    trigger("file_load_parameters");
    QCOMPARE(write(), straight);
    QCOMPARE(read(), blockWritten);
    QCOMPARE(rig.messages.shown, QStringList());
    QCOMPARE(dialogs.asked, (QStringList{"Save parameters", "Load parameters"}));

    // Kept in the configuration folder, each configuration once.
    QCOMPARE(files->history().folder(), rig.config.filePath(QStringLiteral("rotor/history")));
    QTRY_COMPARE(files->history().files().size(), kept);
    const QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void EndToEndTest::gotoMovesRotor()
{
    Rig rig;
    QVERIFY(rig.start({}));
    QVERIFY(rig.startUp());

    // Near the start position 123: at the default 6 degrees per second the rotor arrives at once.
    QVERIFY(rig.set(QStringLiteral("go_to_angle"), QStringLiteral("130")));
    QVERIFY(rig.click(QStringLiteral("execute")));
    QCOMPARE(rig.messages.shown, QStringList());
    QCOMPARE(rig.text(QStringLiteral("goto_replay")), QStringLiteral("CORRECT"));
    QString wrong = rig.mismatches({"goto_replay@bg=window"});
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(rig.sim->received().last(), frameText("AG130"));

    QElapsedTimer clock;
    clock.start();
    int polls = 0;
    for (;;) {
        QVERIFY(rig.click(QStringLiteral("command_qm")));
        ++polls;
        QCOMPARE(rig.messages.shown, QStringList());
        if (rig.text(QStringLiteral("fast_status")) == QLatin1String("READY")
            && rig.text(QStringLiteral("fast_pos")) == QStringLiteral("130°"))
            break;
        QVERIFY2(clock.elapsed() < Patience,
                 qPrintable(QStringLiteral("after %1 polls: %2, %3")
                                .arg(polls)
                                .arg(rig.text(QStringLiteral("fast_status")), rig.text(QStringLiteral("fast_pos")))));
        QTest::qWait(50);
    }
    wrong = rig.mismatches({"fast_status@bg=window"});
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QVERIFY(rig.sim->log().contains(QStringLiteral("arrived at 130")));
    const QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void EndToEndTest::gotoReply_data()
{
    QTest::addColumn<QStringList>("limits");  // written to the box first, when given
    QTest::addColumn<QString>("angle");
    QTest::addColumn<QString>("replay");
    QTest::addColumn<QString>("background");
    QTest::addColumn<QString>("sent");  // the frame the box received; empty when none

    QTest::newRow("inside the limits, blanks and a leading zero") << QStringList{} << " 045 "
                                                                  << "CORRECT"
                                                                  << "window" << frameText("AG045");
    QTest::newRow("not a whole number: nothing sent") << QStringList{} << "45.5"
                                                      << "????????"
                                                      << "" << QString();
    QTest::newRow("outside the written limits") << QStringList{"lower_limit=100", "upper_limit=200"} << "250"
                                                << "WRONG"
                                                << "red" << frameText("AG250");
    QTest::newRow("inside the written limits") << QStringList{"lower_limit=100", "upper_limit=200"} << "150"
                                               << "CORRECT"
                                               << "window" << frameText("AG150");
    QTest::newRow("outside the entry's range: nothing sent") << QStringList{} << "360"
                                                             << "????????"
                                                             << "" << QString();
}

void EndToEndTest::gotoReply()
{
    QFETCH(QStringList, limits);
    QFETCH(QString, angle);
    QFETCH(QString, replay);
    QFETCH(QString, background);
    QFETCH(QString, sent);
    Rig rig;
    QVERIFY(rig.start({}));
    QVERIFY(rig.startUp());

    if (!limits.isEmpty()) {
        for (const QString& edit : limits) {
            const qsizetype eq = edit.indexOf(QLatin1Char('='));
            QVERIFY(rig.set(edit.left(eq), edit.mid(eq + 1)));
        }
        rig.messages.answers = {true};
        QVERIFY(rig.click(QStringLiteral("write_mode")));
        QCOMPARE(rig.messages.shown, QStringList());
        QVERIFY(rig.sim->waitForLog(QStringLiteral("parameters written"), Patience));
    }

    const qsizetype before = rig.sim->received().size();
    QVERIFY(rig.set(QStringLiteral("go_to_angle"), angle));
    QVERIFY(rig.click(QStringLiteral("execute")));
    QCOMPARE(rig.messages.shown, QStringList());
    QCOMPARE(rig.text(QStringLiteral("goto_replay")), replay);
    if (!background.isEmpty()) {
        const QString wrong = rig.mismatches({QStringLiteral("goto_replay@bg=") + background});
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }
    // A frame sent is logged by the box before its reply goes out; a frame not sent would show up
    // ahead of the S that follows, the line being first in, first out.
    QVERIFY(rig.click(QStringLiteral("command_s")));
    QCOMPARE(rig.messages.shown, QStringList());
    QStringList expected;
    if (!sent.isEmpty())
        expected << sent;
    expected << frameText("AS");
    QCOMPARE(rig.receivedSince(before), expected);
    const QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void EndToEndTest::stopHaltsRotor_data()
{
    QTest::addColumn<QString>("stopButton");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("logged");
    QTest::newRow("fast stop") << "fast_stop" << frameText("AG999") << "fast stop: stopped at";
    QTest::newRow("soft stop") << "soft_stop" << frameText("AG977") << "soft stop: stopped at";
}

void EndToEndTest::stopHaltsRotor()
{
    QFETCH(QString, stopButton);
    QFETCH(QString, frame);
    QFETCH(QString, logged);
    Rig rig;
    // 177 degrees at 20 degrees per second: the rotor turns for about 9 s unless stopped.
    QVERIFY(rig.start({"--speed=20"}));
    QVERIFY(rig.startUp());

    QVERIFY(rig.set(QStringLiteral("go_to_angle"), QStringLiteral("300")));
    QVERIFY(rig.click(QStringLiteral("execute")));
    QCOMPARE(rig.text(QStringLiteral("goto_replay")), QStringLiteral("CORRECT"));
    QVERIFY(rig.click(QStringLiteral("command_qm")));
    QCOMPARE(rig.text(QStringLiteral("fast_status")), QStringLiteral("BUSY"));
    QString wrong = rig.mismatches({"fast_status@bg=red"});
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    QVERIFY(rig.click(stopButton));
    QCOMPARE(rig.messages.shown, QStringList());
    QCOMPARE(rig.sim->received().last(), frame);
    QVERIFY(rig.sim->log().contains(logged));

    QVERIFY(rig.click(QStringLiteral("command_qm")));
    QCOMPARE(rig.text(QStringLiteral("fast_status")), QStringLiteral("READY"));
    const QString stoppedAt = rig.text(QStringLiteral("fast_pos"));
    static const QRegularExpression degrees(QStringLiteral("^(\\d+)°$"));
    const auto match = degrees.match(stoppedAt);
    QVERIFY2(match.hasMatch(), qPrintable(stoppedAt));
    const int angle = match.captured(1).toInt();
    QVERIFY2(angle >= 123 && angle < 300, qPrintable(stoppedAt));
    // Still turning, it would have gone on by 10 degrees meanwhile.
    QTest::qWait(500);
    QVERIFY(rig.click(QStringLiteral("command_qm")));
    QCOMPARE(rig.text(QStringLiteral("fast_pos")), stoppedAt);
    QCOMPARE(rig.text(QStringLiteral("fast_status")), QStringLiteral("READY"));
    QCOMPARE(rig.messages.shown, QStringList());
    const QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void EndToEndTest::monitorListsStatusFrames()
{
    Rig rig;
    QVERIFY(rig.start({"--status-interval=50"}));
    QVERIFY(rig.startUp());
    const qsizetype before = rig.sim->received().size();

    // While the monitor runs: once a few status frames are listed, "cmd S" (which then only sends
    // its frame) stops the box's status frames; once its reply is listed, the monitor is stopped.
    // With the line quiet, the monitor's closing S exchange meets no status frame.
    QString captionWhileRunning;
    bool writeEnabledWhileRunning = true;
    bool portOpenWhileRunning = false;
    TimedSteps steps = monitorSteps(rig);
    steps
        .until([&] {
            if (rig.listing().size() < 5 || rig.window->exchangeLock().busy())
                return false;  // a frame is being read: a click now would be refused
            captionWhileRunning = rig.text(QStringLiteral("cmd_monitor"));
            writeEnabledWhileRunning = rig.window->isEnabled(Field::write_mode);
            portOpenWhileRunning = rig.port.isOpen();
            return rig.click(QStringLiteral("command_s"));
        })
        .when([&] { return rig.lastListed().endsWith(QLatin1String(": <h|A,S,R|r>")); },
              [&] { rig.button(QStringLiteral("cmd_monitor"))->click(); });
    QVERIFY(rig.click(QStringLiteral("cmd_monitor")));  // returns when monitoring has ended

    QVERIFY2(!steps.timedOut, qPrintable(rig.listing().join(QLatin1Char('|'))));
    QCOMPARE(captionWhileRunning, runningCaption);
    QVERIFY(!writeEnabledWhileRunning);
    QVERIFY(portOpenWhileRunning);
    QCOMPARE(rig.messages.shown, QStringList());
    QCOMPARE(rig.text(QStringLiteral("cmd_monitor")), idleCaption);
    const QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(rig.text(QStringLiteral("fast_pos")), QStringLiteral("123°"));
    QCOMPARE(rig.text(QStringLiteral("fast_status")), QStringLiteral("READY"));

    // Every frame listed whole, numbered from 1 without a gap: the status frames, then the S reply.
    const QStringList lines = rig.listing();
    QVERIFY2(lines.size() >= 6, qPrintable(lines.join(QLatin1Char('|'))));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        QCOMPARE(lines.at(i), QStringLiteral("%1: <h|A,?,123,R|r>").arg(i + 1));
    QCOMPARE(lines.last(), QStringLiteral("%1: <h|A,S,R|r>").arg(lines.size()));

    // The start sends S, ? and M; the S clicked meanwhile; the closing S.
    QCOMPARE(rig.receivedSince(before),
             (QStringList{frameText("AS"), frameText("A?"), frameText("AM"), frameText("AS"), frameText("AS")}));
}

// The dial, open beside the window, follows a go-to sent while the monitor runs: its needle moves
// with the box's status frames, busy and towards the target, until the rotor is there and ready.
void EndToEndTest::dialFollowsGotoWhileMonitoring()
{
    Rig rig;
    QVERIFY(rig.start({"--status-interval=50", "--speed=40"}));
    QVERIFY(rig.startUp());
    auto* open = rig.window->findChild<QAction*>(QStringLiteral("action_azimuth_dial"));
    QVERIFY(open);
    open->trigger();
    DialWindow* dialWindowShown = dialWindow(*rig.window);
    QVERIFY(dialWindowShown && dialWindowShown->isVisible());
    const AzimuthDial* dial = dialWindowShown->dial();
    // From the start-up's parameter read.
    QCOMPARE(dial->reading().position, std::optional<int>(123));
    QCOMPARE(dial->reading().state, RotorState::Ready);
    QVERIFY(dial->reading().lowerLimit && dial->reading().upperLimit);
    QVERIFY(rig.set(QStringLiteral("go_to_angle"), QStringLiteral("150")));

    auto* frames = rig.window->findChild<QLabel*>(QStringLiteral("status_monitor"));
    QVERIFY(frames);
    QList<DialReading> seen;
    QString framesWhileRunning;
    TimedSteps steps = monitorSteps(rig);
    steps.until([&] {
        return rig.listing().size() >= 2 && !rig.window->exchangeLock().busy() && rig.click(QStringLiteral("execute"));
    });
    steps.until([&] {
        const DialReading& now = dial->reading();
        if (seen.isEmpty() || seen.last().position != now.position || seen.last().state != now.state
            || seen.last().target != now.target)
            seen << now;
        if (now.position != 150 || now.state != RotorState::Ready || now.target)
            return false;
        framesWhileRunning = frames->isVisible() ? frames->text() : QString();
        rig.button(QStringLiteral("cmd_monitor"))->click();
        return true;
    });
    QVERIFY(rig.click(QStringLiteral("cmd_monitor")));  // returns when monitoring has ended

    QVERIFY2(!steps.timedOut, "the dial did not reach 150 and ready; the test stopped the monitor");
    QCOMPARE(rig.messages.shown, QStringList());
    QVERIFY(rig.sim->received().contains(frameText("AG150")));
    // On the way: busy, the target shown, the needle between the start and the target, never back.
    int between = 0;
    int last = 123;
    for (const DialReading& r : seen) {
        QVERIFY(r.position);
        QVERIFY2(*r.position >= last, "the needle went back");
        last = *r.position;
        if (*r.position > 123 && *r.position < 150) {
            ++between;
            QCOMPARE(r.state, RotorState::Busy);
            QCOMPARE(r.target, std::optional<double>(150));
        }
    }
    QVERIFY2(between >= 3, qPrintable(QStringLiteral("only %1 positions on the way").arg(between)));
    QVERIFY2(QRegularExpression(QStringLiteral("^Monitor: [1-9]\\d* frames$")).match(framesWhileRunning).hasMatch(),
             qPrintable(framesWhileRunning));
    QVERIFY(!frames->isVisible());
    QVERIFY(dial->accessibleDescription().startsWith(QStringLiteral("Position 150°  READY; No target")));
    const QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void EndToEndTest::faultLeavesToolUsable_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("command");         // the button clicked
    QTest::addColumn<QStringList>("messages");    // exactly these, in order
    QTest::addColumn<QStringList>("fields");      // the window after the faulty exchange
    QTest::addColumn<bool>("waitsOutPeriod");     // the message comes only when the reply period is over
    QTest::addColumn<QString>("next");            // the next exchange, which must pass without a message
    QTest::addColumn<QStringList>("nextFields");  // the window after it

    // Each fault hits only the first reply to the given letters.
    const auto on = [](const char* letters) {
        return QStringList{QStringLiteral("--fault-on=") + QLatin1String(letters), "--fault-count=1"};
    };
    const QStringList none;

    QTest::newRow("noise before the header, S")
        << QStringList{"--fault-noise"} + on("S") << "command_s" << none << none << false << "command_s" << none;
    QTest::newRow("noise before the header, L")
        << QStringList{"--fault-noise=~#A,L,\\r\\n"} + on("L") << "read_info" << none
        << QStringList{"read_upper_limit=500°", "cal_fact=1000"} << false << "read_info" << none;
    QTest::newRow("wrong identifier, S") << QStringList{"--fault-identifier"} + on("S") << "command_s"
                                         << QStringList{"<Identifier> invalid, received:B"} << none << false
                                         << "command_s" << none;
    QTest::newRow("wrong identifier, status query")
        << QStringList{"--fault-identifier=Z"} + on("?") << "command_qm"
        << QStringList{"? cmd, <Identifier> invalid, received:Z"} << QStringList{"fast_pos=???", "fast_status=???"}
        << false << "command_qm" << QStringList{"fast_pos=123°", "fast_status=READY"};
    QTest::newRow("wrong separator, V") << QStringList{"--fault-separator"} + on("V") << "command_v"
                                        << QStringList{"V cmd, <Separator>#1 invalid, received:;"}
                                        << QStringList{"firm_version=???.??"} << false << "command_v"
                                        << QStringList{"firm_version=003.22"};
    QTest::newRow("wrong second separator, M")
        << QStringList{"--fault-separator2"} + on("M") << "command_c" << QStringList{"<Separator>2 invalid, received:;"}
        << none << false << "command_c" << none;
    QTest::newRow("wrong echo, L") << QStringList{"--fault-echo"} + on("L") << "read_info"
                                   << QStringList{"<Cmd> invalid, received:X"} << QStringList{"read_upper_limit=???"}
                                   << false << "read_info" << QStringList{"read_upper_limit=500°"};
    QTest::newRow("separator left out, S")
        << QStringList{"--fault-drop=3"} + on("S") << "command_s" << QStringList{"<Separator>1 invalid, received:S"}
        << none << false << "command_s" << none;
    QTest::newRow("terminator LF, S") << QStringList{"--fault-terminator"} + on("S") << "command_s"
                                      << QStringList{"Terminator invalid, received ASC:10"} << none << false
                                      << "command_s" << none;
    QTest::newRow("terminator LF, GOTO") << QStringList{"--fault-terminator"} + on("G") << "execute"
                                         << QStringList{"<Return> invalid, received ASC:10"}
                                         << QStringList{"goto_replay=CORRECT"} << false << "execute"
                                         << QStringList{"goto_replay=CORRECT"};
    QTest::newRow("terminator LF, status query")
        << QStringList{"--fault-terminator"} + on("?") << "command_qm"
        << QStringList{"? cmd, <return> invalid, received ASC:10"} << QStringList{"fast_pos=123°", "fast_status=READY"}
        << false << "command_qm" << none;
    QTest::newRow("terminator LF, L") << QStringList{"--fault-terminator"} + on("L") << "read_info"
                                      << QStringList{"<Return> invalid, received ASC:10"}
                                      << QStringList{"cal_fact=1000"} << false << "read_info" << none;
    QTest::newRow("cut in the envelope, S")
        << QStringList{"--fault-cut=3"} + on("S") << "command_s" << QStringList{"<Cmd> invalid, received:"} << none
        << true << "command_s" << none;
    QTest::newRow("cut in the envelope, GOTO")
        << QStringList{"--fault-cut=4"} + on("G") << "execute" << QStringList{"<Separator>2 invalid, received:"}
        << QStringList{"goto_replay=????????"} << true << "execute" << QStringList{"goto_replay=CORRECT"};
    QTest::newRow("silent, S") << QStringList{"--fault-silent"} + on("S") << "command_s"
                               << QStringList{"cmd S, Communication timeout on <header>"} << none << true << "command_s"
                               << none;
    QTest::newRow("silent, L") << QStringList{"--fault-silent"} + on("L") << "read_info"
                               << QStringList{"cmd L: communication timeout on <header>"} << none << true << "read_info"
                               << QStringList{"read_upper_limit=500°"};
    QTest::newRow("busy, W") << QStringList{"--fault-busy"} + on("W") << "write_mode"
                             << QStringList{"CBOX Busy, parameters cannot be updated!"} << none << false << "write_mode"
                             << none;
    QTest::newRow("damaged prompt, W") << QStringList{"--fault-prompt=3:X"} + on("W") << "write_mode"
                                       << QStringList{"Expected N as replay, received: X"} << none << false
                                       << "write_mode" << none;
    QTest::newRow("busy, C") << QStringList{"--absolute", "--fault-busy"} + on("C") << "calib360"
                             << QStringList{"Cmd C not accepted: the CBOX is BUSY or NOT in ABSOLUTE mode!"} << none
                             << false << "calib360" << none;
    QTest::newRow("absolute mode, M") << QStringList{"--absolute"} << "command_c"
                                      << QStringList{"CBOX is in ABSOLUTE MODE: command M not executed!"} << none
                                      << false << "command_s" << none;
    // The late reply goes out after the exchange has given up and closed the port; the next
    // exchange must not take it for its own.
    QTest::newRow("delayed past the reply timeout, status query")
        << QStringList{"--fault-delay=6000"} + on("?") << "command_qm"
        << QStringList{"cmd ?, Communication timeout on <header>"} << QStringList{"fast_pos=???"} << true << "command_s"
        << none;
}

void EndToEndTest::faultLeavesToolUsable()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, command);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, fields);
    QFETCH(bool, waitsOutPeriod);
    QFETCH(QString, next);
    QFETCH(QStringList, nextFields);

    Rig rig;
    QVERIFY(rig.start(simArgs));
    // No start-up: its S, V and L would meet the faults first.
    QVERIFY(rig.choosePort1());
    rig.messages.answers = {true};
    QVERIFY(rig.click(QStringLiteral("set_default")));
    QVERIFY(rig.set(QStringLiteral("go_to_angle"), QStringLiteral("123")));
    if (!rig.button(command)) {  // a button of the calibration window
        QVERIFY(rig.click(QStringLiteral("calib")));
        QVERIFY(rig.button(command));
    }

    rig.messages.answers = {true, true};  // the questions of the W exchanges
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.click(command));
    const qint64 took = clock.elapsed();
    QCOMPARE(rig.messages.shown, messages);
    if (waitsOutPeriod)
        QVERIFY2(took >= ReplyPeriodAtLeast, qPrintable(QString::number(took)));
    QString wrong = rig.mismatches(fields);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    if (simArgs.contains(QLatin1String("--fault-delay=6000")))
        QVERIFY(rig.sim->waitForLog(QStringLiteral("tx <STX>A,?,123,R<CR>"), Patience));

    rig.messages.shown.clear();
    QVERIFY(rig.click(next));
    QCOMPARE(rig.messages.shown, QStringList());
    wrong = rig.mismatches(nextFields);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void EndToEndTest::hangUpMidFrame()
{
    Rig rig;
    // The line is hung up after "STX A , S" of the first S reply; the box then serves a fresh line
    // behind the same port link.
    QVERIFY(rig.start({"--fault-hangup=4", "--fault-on=S", "--fault-count=1"}));
    QVERIFY(rig.choosePort1());
    QVERIFY(rig.click(QStringLiteral("command_s")));
    // One message, for the first character that the lost line no longer delivers. Which one that is
    // depends on when the hang-up is noticed: the characters the port had taken in but the exchange
    // had not yet read go with the port.
    static const QStringList possible = {"cmd S, Communication timeout on <header>",
                                         "<Identifier> invalid, received:", "<Separator>1 invalid, received:",
                                         "<Cmd> invalid, received:", "<Separator>2 invalid, received:"};
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(possible.contains(rig.messages.shown.first()), qPrintable(rig.messages.shown.first()));
    QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    const QString fresh = rig.sim->nextDevice(Patience);
    // The fresh line may get the old line's number back: the kernel reuses a terminal number as
    // soon as the tool has let go of it.
    QVERIFY(!fresh.isEmpty());
    QCOMPARE(QFileInfo(rig.sim->linkPath()).symLinkTarget(), fresh);

    rig.messages.shown.clear();
    QVERIFY(rig.click(QStringLiteral("command_s")));
    QCOMPARE(rig.messages.shown, QStringList());
    QVERIFY(rig.click(QStringLiteral("command_v")));
    QCOMPARE(rig.messages.shown, QStringList());
    QCOMPARE(rig.text(QStringLiteral("firm_version")), QStringLiteral("003.22"));
    problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void EndToEndTest::simulatorKilledWhileMonitoring()
{
    Rig rig;
    QVERIFY(rig.start({"--status-interval=50"}));
    QVERIFY(rig.startUp());

    // The box's status frames are stopped first (with "cmd S", which only sends while the monitor
    // runs), so that the line is quiet when the box goes: the monitor is then waiting for a header,
    // a wait without a time limit that only the lost line can end.
    bool killed = false;
    QElapsedTimer sinceKill;
    TimedSteps steps = monitorSteps(rig);
    steps.until([&] {
        return rig.listing().size() >= 2 && !rig.window->exchangeLock().busy()
               && rig.click(QStringLiteral("command_s"));
    });
    steps.when([&] { return rig.lastListed().endsWith(QLatin1String(": <h|A,S,R|r>")); },
               [&] {
                   rig.sim->kill();
                   // Switched off, the box leaves its port link behind, pointing at a device that is gone and
                   // whose number another line may soon take: the link is pointed at nothing instead.
                   QFile::remove(rig.sim->linkPath());
                   QFile::link(rig.config.filePath(QStringLiteral("no-such-device")), rig.sim->linkPath());
                   killed = true;
                   sinceKill.start();
               });
    QVERIFY(rig.click(QStringLiteral("cmd_monitor")));  // returns when monitoring has ended
    const qint64 ended = killed ? sinceKill.elapsed() : -1;

    QVERIFY(killed);
    QVERIFY2(!steps.timedOut, "the monitor did not notice the lost line; it was stopped by the test");
    QVERIFY2(ended < Patience, qPrintable(QString::number(ended)));
    QCOMPARE(rig.text(QStringLiteral("cmd_monitor")), idleCaption);
    // The closing S exchange finds no device.
    QCOMPARE(rig.messages.shown, QStringList{portError});
    const QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(rig.window->isEnabled(Field::goto_replay));
}

void EndToEndTest::portTaken_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("frame");
    QTest::newRow("S") << "command_s" << frameText("AS");
    QTest::newRow("status query") << "command_qm" << frameText("A?");
    QTest::newRow("parameter read") << "read_info" << frameText("AL");
    QTest::newRow("GOTO") << "execute" << frameText("AG123");
}

void EndToEndTest::portTaken()
{
    QFETCH(QString, command);
    QFETCH(QString, frame);
    Rig rig;
    QVERIFY(rig.start({}));
    QVERIFY(rig.startUp());
    QVERIFY(rig.set(QStringLiteral("go_to_angle"), QStringLiteral("123")));
    const qsizetype before = rig.sim->received().size();

    // Another holder of the same device. A serial port takes a lock on its device when it opens
    // it, and a second open of a locked device fails; on a pseudo-terminal that lock is what
    // makes the open fail (the exclusive-use flag of the terminal does not bind a privileged user).
    SerialPort holder;
    SettingsFile settings;
    PortChoice choice(settings);
    choice.setNumber(1);
    QVERIFY(holder.applyLineSettings());
    QVERIFY2(holder.open(choice), qPrintable(holder.errorText()));

    QVERIFY(rig.click(command));
    QCOMPARE(rig.messages.shown, QStringList{portError});
    QCOMPARE(rig.messages.details,
             QStringList{"Device tried: " + rig.sim->device()
                         + "\nThe device is in use by another program: close it there, then try again."});
    QString problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    holder.close();
    rig.messages.shown.clear();
    QVERIFY(rig.click(command));
    QCOMPARE(rig.messages.shown, QStringList());
    // Only the exchange after the port was freed reached the box.
    QCOMPARE(rig.receivedSince(before), QStringList{frame});
    problem = rig.unsettled();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

// Port > Choose serial port… with a typed device: a device that is not there is accepted and
// reported by the next exchange; the simulator's pseudo-terminal typed next is opened by the
// exchange after that. The simulator plugs itself in only in a folder of its own, so the tool
// reaches it through the assignment alone.
void EndToEndTest::typedDeviceIsOpenedAtTheNextExchange()
{
    QTemporaryDir config;
    QTemporaryDir simFolder;
    QVERIFY(config.isValid() && simFolder.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    SimProcess sim(SimProgram, simFolder.path());
    QVERIFY(sim.start({}));
    SerialPort port;
    RecordingMessages messages;
    RecordingDialogs dialogs;
    MainWindow window(port, messages);
    window.setDialogs(&dialogs);
    QCOMPARE(window.link().choice().settingsPath(), config.filePath(QStringLiteral("rotor/rotor.ini")));
    QAction* choose = window.findChild<QAction*>(QStringLiteral("action_choose_port"));
    auto* commandS = window.findChild<QAbstractButton*>(QStringLiteral("command_s"));
    window.show();

    const QString absent = config.filePath(QStringLiteral("ttyUSB-not-plugged-in"));
    dialogs.devices = {absent};
    choose->trigger();
    QCOMPARE(messages.shown, QStringList());
    commandS->click();
    QCOMPARE(messages.shown, QStringList{portError});
    QCOMPARE(messages.details, QStringList{"Device tried: " + absent
                                           + "\nNo such device: is the adapter plugged in? If it is, choose its port "
                                             "with Port > Choose serial port\u2026"});

    messages.shown.clear();
    dialogs.devices = {sim.device()};
    choose->trigger();
    commandS->click();
    QCOMPARE(messages.shown, QStringList());
    QCOMPARE(sim.received(), QStringList{frameText("AS")});
    QVERIFY(!port.isOpen());
    QCOMPARE(QFileInfo(config.filePath(QStringLiteral("rotor/ports/com1"))).symLinkTarget(), sim.device());
}

QTEST_MAIN(EndToEndTest)
#include "tst_end_to_end.moc"
