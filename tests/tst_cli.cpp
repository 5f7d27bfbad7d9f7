// SPDX-License-Identifier: GPL-3.0-or-later
// The subcommands end to end: the built program, run with no display at all (DISPLAY,
// WAYLAND_DISPLAY and QT_QPA_PLATFORM unset), against the simulated CBOX plugged in as port 1 in a
// private configuration folder. What went over the line is read from the simulator's log; what a
// script sees is the exit status, standard output and standard error.

#include "protocol/write_check.h"
#include "storage/parameter_file.h"
#include "support/silent_pty.h"
#include "support/sim_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

const QString Program = QStringLiteral(ROTOR_BUILD_DIR "/src/app/rotor");
const QString SimProgram = QStringLiteral(ROTOR_BUILD_DIR "/sim/cbox-sim");
constexpr int Patience = 30000;

QString frameText(const QString& body) { return QStringLiteral("<STX>") + body + QStringLiteral("<CR>"); }

struct Result {
    int status = -1;
    QString out;
    QString err;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// The simulator in a private configuration folder, and the program run there without a display.
class Rig {
public:
    bool start(const QStringList& simArgs)
    {
        if (!config.isValid())
            return false;
        sim = std::make_unique<SimProcess>(SimProgram, config.path(), 1);
        return sim->start(simArgs, !simArgs.contains(QLatin1String("--baud")));
    }
    // set.rotor: a parameter set the write may send.
    bool writeSet() const
    {
        ParameterFile set;
        set.panel =
            panelFromBlock(QStringLiteral("123,R,1,0,500,1829,1,30,0,10,15,1,1829,0,0,2,3049,0,1000").split(','));
        return writeAll(config.filePath(QStringLiteral("set.rotor")), writeParameterFile(set));
    }
    // The settings file, as the window's port choice writes it.
    bool storePort(int n)
    {
        QDir(config.path()).mkpath(QStringLiteral("rotor"));
        QFile file(config.filePath(QStringLiteral("rotor/rotor.ini")));
        return file.open(QIODevice::WriteOnly) && file.write(QStringLiteral(" %1 \r\n").arg(n).toLatin1()) > 0;
    }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        return env;
    }
    void launch(QProcess& program, const QStringList& args) const
    {
        program.setProcessEnvironment(environment());
        program.setWorkingDirectory(config.path());
        program.setStandardInputFile(QProcess::nullDevice());
        program.start(Program, args);
    }
    Result run(QStringList args) const
    {
        QProcess program;
        if (args.last() == QLatin1String(">/dev/full"))
            program.setStandardOutputFile(args.takeLast().mid(1));
        launch(program, args);
        Result result;
        if (!program.waitForFinished(Patience) || program.exitStatus() != QProcess::NormalExit)
            return result;
        result.status = program.exitCode();
        result.out = QString::fromLocal8Bit(program.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(program.readAllStandardError());
        return result;
    }
    QString path(const QString& name) const { return config.filePath(name); }
    QStringList framesSent() const
    {
        QStringList frames;
        for (const QString& line : sim->received())
            if (line.startsWith(QLatin1String("<STX>")))
                frames << line;
        return frames;
    }

    QTemporaryDir config;
    std::unique_ptr<SimProcess> sim;
};

QString describe(const Result& result)
{
    return QStringLiteral("status %1\nstdout:\n%2\nstderr:\n%3").arg(result.status).arg(result.out, result.err);
}

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void readWriteReadBackEqual_data();
    void readWriteReadBackEqual();
    void goToWaitsUntilReady_data();
    void goToWaitsUntilReady();
    void interrupted_data();
    void interrupted();
    void exitStatus_data();
    void exitStatus();
    void refusedWriteSendsNothing_data();
    void refusedWriteSendsNothing();
    void monitorListsUntilSignal_data();
    void monitorListsUntilSignal();
};

void CliTest::initTestCase()
{
    QVERIFY2(QFileInfo(Program).isExecutable(), qPrintable(Program + QStringLiteral(" is not built")));
    QVERIFY2(QFileInfo(SimProgram).isExecutable(), qPrintable(SimProgram + QStringLiteral(" is not built")));
}

void CliTest::readWriteReadBackEqual_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shownKey");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("line");            // the value line of the W dialogue
    QTest::addColumn<QString>("sent");        // as sent
    QTest::addColumn<QString>("blockValue");  // its field of the block read back (line + 2)

    QTest::newRow("upper limit") << "upper_limit"
                                 << "450"
                                 << "read_upper_limit"
                                 << "450°" << 3 << "450"
                                 << "450";
    QTest::newRow("reversal delay in ticks") << "inv_delay"
                                             << "5"
                                             << "read_inv_delay"
                                             << "5sec" << 4 << "3049"
                                             << "3049";
    QTest::newRow("north stop") << "stop"
                                << "north"
                                << "mode_msg"
                                << "North-stop" << 1 << "0"
                                << "0";
    QTest::newRow("negative offset, read back in 16 bits") << "offset_write"
                                                           << "-5"
                                                           << "offset_read"
                                                           << "-5°" << 12 << "-5"
                                                           << "65531";
    QTest::newRow("offset outside its marked range") << "offset_write"
                                                     << "71"
                                                     << "offset_read"
                                                     << "71°" << 12 << "71"
                                                     << "71";
}

void CliTest::readWriteReadBackEqual()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, shownKey);
    QFETCH(QString, shown);
    QFETCH(int, line);
    QFETCH(QString, sent);
    QFETCH(QString, blockValue);

    Rig rig;
    QVERIFY(rig.start({}));
    QVERIFY(rig.storePort(1));

    // Read into a file: S, V and L, the box reading and the set as the start-up fills the panel.
    const QString file = rig.path(QStringLiteral("box.rotor"));
    Result read = rig.run({QStringLiteral("read"), QStringLiteral("-o"), file});
    QVERIFY2(read.status == 0, qPrintable(describe(read)));
    QCOMPARE(rig.framesSent(), (QStringList{frameText("AS"), frameText("AV"), frameText("AL")}));
    QVERIFY2(
        read.out.contains(QRegularExpression(QStringLiteral("^curr_pos +123°$"), QRegularExpression::MultilineOption)),
        qPrintable(read.out));
    const auto loaded = readParameterFile(readAll(file));
    QVERIFY(std::holds_alternative<ParameterFile>(loaded));
    const ParameterFile& kept = std::get<ParameterFile>(loaded);
    QVERIFY(kept.reading);
    QCOMPARE(kept.reading->firmware, QStringLiteral("003.22"));
    QCOMPARE(kept.panel.upperLimit, QStringLiteral("500"));
    QCOMPARE(kept.panel.southStop, true);
    // Kept in the reading history as the window keeps its reads.
    QCOMPARE(QDir(rig.path(QStringLiteral("rotor/history"))).entryList({QStringLiteral("*.rotor")}).size(), 1);

    // The file edited and written: W with its 15 lines, then L to read back.
    QByteArray contents = readAll(file);
    const QRegularExpression keyLine(QStringLiteral("^%1 = .*$").arg(key), QRegularExpression::MultilineOption);
    QString text = QString::fromUtf8(contents);
    QVERIFY(text.contains(keyLine));
    text.replace(keyLine, QStringLiteral("%1 = %2").arg(key, value));
    QVERIFY(writeAll(file, text.toUtf8()));
    const qsizetype before = rig.framesSent().size();
    Result write = rig.run({QStringLiteral("write"), file, QStringLiteral("--yes")});
    QVERIFY2(write.status == 0, qPrintable(describe(write)));
    QCOMPARE(rig.framesSent().mid(before), (QStringList{frameText("AS"), frameText("AW"), frameText("AL")}));
    QVERIFY(rig.sim->log().contains(QStringLiteral("rx %1<CR>  (W value line %2)").arg(sent).arg(line)));
    // A value outside its marked range goes, told first as the window's question tells it.
    QCOMPARE(write.err, value == QLatin1String("71") ? QStringLiteral("Outside their marked range, written as they "
                                                                      "are:\nOffset 71 is outside -70 to 70.\n")
                                                     : QString());

    // Read again, as JSON: the box holds what the file said.
    Result again = rig.run({QStringLiteral("read"), QStringLiteral("--json")});
    QVERIFY2(again.status == 0, qPrintable(describe(again)));
    const QJsonObject json = QJsonDocument::fromJson(again.out.toUtf8()).object();
    QCOMPARE(json.value(QStringLiteral("parameters"))[key].toVariant().toString(), value);
    QCOMPARE(json.value(QStringLiteral("block")).toArray().at(line + 1).toString(), blockValue);
    QCOMPARE(json.value(QStringLiteral("firmware")).toString(), QStringLiteral("3.22"));
}

void CliTest::goToWaitsUntilReady_data()
{
    QTest::addColumn<QString>("angle");
    QTest::addColumn<QString>("shown");

    QTest::newRow("up") << "200"
                        << "200°";
    QTest::newRow("down, with a blank") << " 60"
                                        << "60°";
}

void CliTest::goToWaitsUntilReady()
{
    QFETCH(QString, angle);
    QFETCH(QString, shown);

    Rig rig;
    QVERIFY(rig.start({QStringLiteral("--speed"), QStringLiteral("40")}));
    Result result = rig.run(
        {QStringLiteral("goto"), angle, QStringLiteral("--port"), QStringLiteral("1"), QStringLiteral("--json")});
    QVERIFY2(result.status == 0, qPrintable(describe(result)));
    const QJsonObject json = QJsonDocument::fromJson(result.out.toUtf8()).object();
    QCOMPARE(json.value(QStringLiteral("state")).toString(), QStringLiteral("ready"));
    QCOMPARE(json.value(QStringLiteral("position_deg")).toInt(), shown.chopped(1).toInt());
    QCOMPARE(json.value(QStringLiteral("reached")).toBool(), true);
    // The angle went as typed less its blanks, then "?" until READY: more than once while turning.
    const QStringList frames = rig.framesSent();
    QCOMPARE(frames.first(), frameText(QStringLiteral("AG") + angle.trimmed()));
    QVERIFY2(frames.count(frameText("A?")) >= 2, qPrintable(frames.join(QLatin1Char(' '))));
    QCOMPARE(frames.size(), 1 + frames.count(frameText("A?")));
    // Nothing stored: --port is for this run.
    QVERIFY(!QFileInfo::exists(rig.path(QStringLiteral("rotor/rotor.ini"))));
}

void CliTest::interrupted_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("waitFor");   // the log line after which the signals go
    QTest::addColumn<QList<int>>("kills");  // empty: another program sends the soft stop instead
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("lastFrame");
    QTest::addColumn<bool>("written");  // the box stored the W dialogue's value lines

    const QStringList slow{QStringLiteral("--speed"), QStringLiteral("1")};
    const QStringList goTo{QStringLiteral("goto"), QStringLiteral("300")};
    const QString polled = QStringLiteral("rx <STX>A?<CR>");
    const QString answered =
        QStringLiteral("^Interrupted by %1: the fast stop was sent and the CBOX answered it\\.\n$");
    for (const auto& [signal, name] : {std::pair{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}})
        QTest::newRow(name) << slow << goTo << polled << QList<int>{signal} << answered.arg(name) << frameText("AG999")
                            << false;
    QTest::newRow("soft stop from another program")
        << slow << goTo << polled << QList<int>() << "^The rotor stopped at 1[23]\\d°, 1[67]\\d° short of 300°\\.\n$"
        << frameText("A?") << false;
    QTest::newRow("SIGTERM while the stop waits for its answer")
        << QStringList{"--fault-delay", "1500"} << QStringList{"stop"} << "rx <STX>AG999<CR>" << QList<int>{SIGTERM}
        << answered.arg("SIGTERM") << frameText("AG999") << false;
    // Paced at 100 baud, the 15 prompts of the W dialogue take a second and a half.
    const QStringList paced{QStringLiteral("--baud"), QStringLiteral("100")};
    const QStringList write{QStringLiteral("write"), QStringLiteral("set.rotor"), QStringLiteral("--yes")};
    const QString firstLine = QStringLiteral("(W value line 1)");
    QTest::newRow("SIGTERM during the write's value lines")
        << paced << write << firstLine << QList<int>{SIGTERM}
        << "^SIGTERM: finishing the write's value lines first\\.\nInterrupted: the write ended whole; the block was "
           "not read back\\.\n$"
        << frameText("AW") << true;
    QTest::newRow("a second signal during the write")
        << paced << write << firstLine << QList<int>{SIGINT, SIGINT}
        << "^SIGINT: finishing the write's value lines first\\.\nrotor: ended at once by a second signal\n$"
        << frameText("AW") << false;
}

void CliTest::interrupted()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, args);
    QFETCH(QString, waitFor);
    QFETCH(QList<int>, kills);
    QFETCH(QString, err);
    QFETCH(QString, lastFrame);
    QFETCH(bool, written);

    Rig rig;
    QVERIFY(rig.start(simArgs));
    QVERIFY(rig.writeSet());
    QProcess program;
    rig.launch(program, args + QStringList{QStringLiteral("--port"), QStringLiteral("1")});
    QVERIFY(program.waitForStarted(Patience));
    QVERIFY(rig.sim->waitForLog(waitFor, Patience));
    program.setReadChannel(QProcess::StandardError);
    for (qsizetype i = 0; i < kills.size(); ++i) {
        // Each once the one before has been taken: two alike still pending are delivered as one.
        QVERIFY(i == 0 || program.waitForReadyRead(Patience));
        ::kill(program.processId(), kills[i]);
    }
    if (kills.isEmpty())
        QCOMPARE(
            rig.run({QStringLiteral("stop"), QStringLiteral("--soft"), QStringLiteral("--port"), QStringLiteral("1")})
                .status,
            0);
    QVERIFY(program.waitForFinished(Patience));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    const QString stderrText = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(QRegularExpression(err).match(stderrText).hasMatch(), qPrintable(stderrText));
    QCOMPARE(rig.framesSent().last(), lastFrame);
    QCOMPARE(rig.sim->log().contains(QLatin1String("parameters written")), written);
}

void CliTest::exitStatus_data()
{
    QTest::addColumn<QStringList>("simArgs");  // empty: no simulator
    QTest::addColumn<bool>("settings");        // the settings file names port 1
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("holdPort");  // another program holds the device
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // a pattern standard output matches
    QTest::addColumn<QString>("err");  // a pattern standard error matches

    const QStringList sim{QStringLiteral("--position"), QStringLiteral("42")};
    QTest::newRow("status") << sim << true << QStringList{"status"} << false << 0
                            << "^fast_pos +42°\nfast_status +READY\n$"
                            << "^$";
    QTest::newRow("firmware, json, options first") << sim << false << QStringList{"--port", "1", "--json", "firmware"}
                                                   << false << 0 << "^\\{\"firmware\":\"3.22\"\\}\n$"
                                                   << "^$";
    QTest::newRow("status, json") << sim << true << QStringList{"status", "--json"} << false << 0
                                  << "^\\{\"position_deg\":42,\"state\":\"ready\"\\}\n$"
                                  << "^$";
    QTest::newRow("position") << sim << true << QStringList{"position"} << false << 0 << "^42\n$"
                              << "^$";
    QTest::newRow("status cut inside the angle")
        << QStringList{"--fault-cut", "7", "--fault-on", "?"} << true << QStringList{"status"} << false << 1 << "^$"
        << "^The CBOX's reply to cmd \\? was faulty";
    QTest::newRow("ESC from the box escaped")
        << QStringList{"--fault-echo=\\x1b"} << true << QStringList{"status"} << false << 1 << "^$"
        << "^[^\x1b]*\\\\x1b[^\x1b]*$";
    QTest::newRow("goto answered another letter") << QStringList{"--fault-drop", "6", "--fault-on", "G"} << true
                                                  << QStringList{"goto", "300"} << false << 1 << "^$"
                                                  << "\nThe go-to to 300° did not go: the CBOX answered \\\\x0d\\.\n$";
    QTest::newRow("goto ending in the overlap")
        << QStringList{"--speed", "400", "--go-to-error", "360"} << true << QStringList{"goto", "10", "--json"} << false
        << 0 << "^\\{\"position_deg\":370,\"reached\":true,\"state\":\"ready\",\"target_deg\":10\\}\n$"
        << "^$";
    QTest::newRow("goto stopped short") << QStringList{"--speed", "400", "--go-to-error", "-102"} << true
                                        << QStringList{"goto", "300"} << false << 1 << "\nreached +no\n$"
                                        << "^The rotor stopped at 198°, 102° short of 300°\\.\n$";
    QTest::newRow("goto timed out") << QStringList{"--speed", "1"} << true
                                    << QStringList{"goto", "300", "--timeout", "1"} << false << 1 << "^$"
                                    << "^The rotor did not report READY within 1 s\\. The rotor may still be turning";
    QTest::newRow("goto --no-wait") << sim << true << QStringList{"goto", "300", "--no-wait", "--json"} << false << 0
                                    << "^\\{\"accepted\":true,\"target_deg\":300\\}\n$"
                                    << "^$";
    QTest::newRow("standard output full") << sim << true << QStringList{"status", ">/dev/full"} << false << 1 << "^$"
                                          << "output could not be written";
    QTest::newRow("help, standard output full")
        << QStringList() << false << QStringList{"status", "--help", ">/dev/full"} << false << 1 << "^$"
        << "^rotor: the output could not be written\\.\n$";
    QTest::newRow("version, standard output full")
        << QStringList() << false << QStringList{"--version", ">/dev/full"} << false << 1 << "^$"
        << "^rotor: the output could not be written\\.\n$";
    QTest::newRow("negative angle") << sim << true << QStringList{"goto", "-1"} << false << 2 << "^$"
                                    << "^rotor: \"-1\" is not a whole angle 0 to 359\n";
    QTest::newRow("mistyped subcommand") << sim << true << QStringList{"stauts"} << false << 2 << "^$"
                                         << "^rotor: 'stauts' is neither a subcommand nor a file\n";
    QTest::newRow("read -o empty") << sim << true << QStringList{"read", "-o", ""} << false << 2 << "^$"
                                   << "^rotor: -o takes a file name";
    QTest::newRow("read -o - with --json")
        << sim << true << QStringList{"read", "-o", "-", "--json"} << false << 2 << "^$"
        << "^rotor: -o - writes the parameter file to standard output";
    QTest::newRow("read -o -") << sim << true << QStringList{"read", "-o", "-"} << false << 0
                               << "(?s)^# rotor parameter set, format 1\n.*\nblock = 42,R,"
                               << "^$";
    QTest::newRow("fast stop") << sim << true << QStringList{"stop"} << false << 0 << "^stop +fast\n$"
                               << "^$";
    QTest::newRow("soft stop") << sim << true << QStringList{"stop", "--soft"} << false << 0 << "^stop +soft\n$"
                               << "^$";
    QTest::newRow("box silent") << QStringList{"--fault-silent"} << true << QStringList{"status"} << false << 1 << "^$"
                                << "^cmd \\?, Communication timeout on <header>\nNo answer from the CBOX: check that "
                                   "the CBOX is powered and the cable is in\\.\n$";
    QTest::newRow("box busy on write") << QStringList{"--fault-busy"} << true
                                       << QStringList{"write", "set.rotor", "--yes"} << false << 1 << "^$"
                                       << "^CBOX Busy, parameters cannot be updated!\n$";
    QTest::newRow("S silent on write")
        << QStringList{"--fault-silent", "--fault-on", "S"} << true << QStringList{"write", "set.rotor", "--yes"}
        << false << 1 << "^$"
        << "^cmd S, Communication timeout on <header>\nNothing was written to the CBOX\\.\nNo answer from the CBOX";
    QTest::newRow("unknown option") << sim << true << QStringList{"status", "--bogus"} << false << 2 << "^$"
                                    << "^rotor: Unknown option 'bogus'\\.\n";
    QTest::newRow("angle out of range") << sim << true << QStringList{"goto", "360"} << false << 2 << "^$"
                                        << "^rotor: \"360\" is not a whole angle 0 to 359\n";
    QTest::newRow("angle not whole") << sim << true << QStringList{"goto", "12.5"} << false << 2 << "^$"
                                     << "^rotor: \"12.5\" is not a whole angle 0 to 359\n";
    QTest::newRow("read -o onto a FIFO")
        << sim << true << QStringList{"read", "-o", "fifo"} << false << 1 << "^read .*\nfirmware .*\nblock +42,R,"
        << "^The parameters could not be saved to fifo: it is a FIFO, not a regular file\\.\n$";
    QTest::newRow("file refused")
        << sim << true << QStringList{"write", "missing.rotor", "--yes"} << false << 2 << "^$"
        << "^The parameters were not loaded from .*missing\\.rotor\\.\n\nThe file cannot be read";
    QTest::newRow("file refused, told the command to make one")
        << sim << true << QStringList{"write", "empty.rotor", "--yes"} << false << 2 << "^$"
        << "holds no parameter set\\. Give a file written by rotor read -o FILE\\.\n$";
    QTest::newRow("no confirmation possible") << sim << true << QStringList{"write", "set.rotor"} << false << 2 << "^$"
                                              << "No terminal to ask on: nothing was sent";
    QTest::newRow("no port configured") << sim << false << QStringList{"status"} << false << 3 << "^$"
                                        << "^No port is configured: .*rotor\\.ini is missing";
    QTest::newRow("no such device") << QStringList() << false << QStringList{"status", "--device", "/nonexistent/tty"}
                                    << false << 3 << "^$"
                                    << "^The device /nonexistent/tty cannot be opened\\.\nDevice tried: "
                                       "/nonexistent/tty\nNo such device";
    // find: SIM and PTY stand for the simulator's device and a silent pseudo-terminal.
    QTest::newRow("find the box beside a silent pty") << sim << false << QStringList{"find", "SIM", "PTY"} << false << 0
                                                      << "^SIM +CBOX found at 42°, READY\nPTY +no answer\n$"
                                                      << "^$";
    QTest::newRow("find no box") << QStringList() << false << QStringList{"find", "PTY", "/nonexistent/tty"} << false
                                 << 1 << "^PTY +no answer\n/nonexistent/tty +could not be opened: no such device\n$"
                                 << "^$";
    QTest::newRow("find the box behind noise") << QStringList{"--fault-noise"} << false << QStringList{"find", "SIM"}
                                               << false << 0 << "^SIM +CBOX found at 123°, READY\n$"
                                               << "^$";
    QTest::newRow("find something else") << QStringList{"--fault-identifier"} << false << QStringList{"find", "SIM"}
                                         << false << 1 << "^SIM +something else answered: \\\\x02B,\\?,123,R\\\\x0d\n$"
                                         << "^$";
    QTest::newRow("find takes no --device")
        << sim << false << QStringList{"find", "--device", "SIM"} << false << 2 << "^$"
        << "^rotor: --device is not for 'find'\n";
    QTest::newRow("port in use")
        << sim << true << QStringList{"read"} << true << 3 << "^$"
        << "^ERROR OPENING COM PORT # 1\nDevice tried: .*\nThe device is in use by another program";
}

void CliTest::exitStatus()
{
    QFETCH(QStringList, simArgs);
    QFETCH(bool, settings);
    QFETCH(QStringList, args);
    QFETCH(bool, holdPort);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    Rig rig;
    QVERIFY(rig.config.isValid());
    if (!simArgs.isEmpty())
        QVERIFY(rig.start(simArgs));
    SilentPty pty;
    for (QString* text : {&out, &err})
        text->replace(QLatin1String("SIM"), rig.sim ? rig.sim->device() : QString())
            .replace(QLatin1String("PTY"), pty.device());
    args.replaceInStrings(QStringLiteral("SIM"), rig.sim ? rig.sim->device() : QString());
    args.replaceInStrings(QStringLiteral("PTY"), pty.device());
    if (settings)
        QVERIFY(rig.storePort(1));
    QVERIFY(rig.writeSet());
    QVERIFY(writeAll(rig.path(QStringLiteral("empty.rotor")), {}));
    QVERIFY(::mkfifo(QFile::encodeName(rig.path(QStringLiteral("fifo"))).constData(), 0600) == 0);
    QSerialPort holder;
    if (holdPort) {
        holder.setPortName(rig.sim->device());
        QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
    }

    QElapsedTimer clock;
    clock.start();
    const Result result = rig.run(args);
    QVERIFY2(result.status == status, qPrintable(describe(result)));
    // The search takes 4 s at most, whatever the number of ports.
    QVERIFY(args.first() != QLatin1String("find") || clock.elapsed() < 5000);
    QVERIFY2(QRegularExpression(out).match(result.out).hasMatch(), qPrintable(describe(result)));
    QVERIFY2(QRegularExpression(err).match(result.err).hasMatch(), qPrintable(describe(result)));
    // A refusal before the port, or a port that cannot be used, sends nothing.
    if (rig.sim && (status == 2 || status == 3))
        QCOMPARE(rig.framesSent(), QStringList());
}

void CliTest::refusedWriteSendsNothing_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("ramp not a number") << "ramp"
                                       << "1x0";
    QTest::newRow("offset beyond 16 bits") << "offset_write"
                                           << "40000";
    QTest::newRow("leading plus") << "upper_limit"
                                  << "+450";
}

void CliTest::refusedWriteSendsNothing()
{
    QFETCH(QString, key);
    QFETCH(QString, value);

    Rig rig;
    QVERIFY(rig.start({}));
    ParameterFile set;
    set.panel = panelFromBlock(QStringLiteral("123,R,1,0,500,1829,1,30,0,10,15,1,1829,0,0,2,3049,0,1000").split(','));
    QString text = QString::fromUtf8(writeParameterFile(set));
    text.replace(QRegularExpression(QStringLiteral("^%1 = .*$").arg(key), QRegularExpression::MultilineOption),
                 QStringLiteral("%1 = %2").arg(key, value));
    QVERIFY(writeAll(rig.path(QStringLiteral("set.rotor")), text.toUtf8()));
    const auto loaded = readParameterFile(text.toUtf8());
    QVERIFY(std::holds_alternative<ParameterFile>(loaded));
    const QList<RefusedEntry> refused = refusedWriteEntries(std::get<ParameterFile>(loaded).panel);
    QVERIFY(!refused.isEmpty());

    // The window's refusal, word for word, and nothing on the line.
    const Result result = rig.run({QStringLiteral("write"), QStringLiteral("set.rotor"), QStringLiteral("--port"),
                                   QStringLiteral("1"), QStringLiteral("--yes")});
    QVERIFY2(result.status == 2, qPrintable(describe(result)));
    QCOMPARE(result.err, writeRefusalText(refused) + QLatin1Char('\n'));
    QCOMPARE(rig.framesSent(), QStringList());
}

void CliTest::monitorListsUntilSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("json");
    QTest::newRow("SIGINT, lines") << int(SIGINT) << false;
    QTest::newRow("SIGTERM, JSON") << int(SIGTERM) << true;
}

// Status frames listed as they come, then the closing S after the signal, which the exit says.
void CliTest::monitorListsUntilSignal()
{
    QFETCH(int, signal);
    QFETCH(bool, json);
    Rig rig;
    QVERIFY(rig.start({QStringLiteral("--status-interval"), QStringLiteral("20")}));
    QProcess program;
    QStringList args{QStringLiteral("monitor"), QStringLiteral("--port"), QStringLiteral("1")};
    if (json)
        args << QStringLiteral("--json");
    rig.launch(program, args);
    QStringList lines;
    while (lines.size() < 3 && program.waitForReadyRead(Patience))
        while (program.canReadLine())
            lines << QString::fromUtf8(program.readLine()).chopped(1);
    ::kill(program.processId(), signal);
    QVERIFY(program.waitForFinished(Patience));
    lines += QString::fromUtf8(program.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(QRegularExpression(QStringLiteral("^Interrupted by %1 after \\d+ frames: the closing S was sent and the "
                                               "CBOX answered it\\.\n$")
                                    .arg(QLatin1String(signal == SIGINT ? "SIGINT" : "SIGTERM")))
                 .match(err)
                 .hasMatch(),
             qPrintable(err));
    QVERIFY(lines.size() >= 3);
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = QStringLiteral("%1: <h|A,?,123,R|r>").arg(n + 1);
        if (json)
            QCOMPARE(QJsonDocument::fromJson(lines[n].toUtf8()).object(),
                     (QJsonObject{{"frame", n + 1}, {"position_deg", 123}, {"state", "ready"}, {"line", line}}));
        else
            QCOMPARE(lines[n], line);
    }
    QCOMPARE(rig.framesSent().last(), frameText("AS"));
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
