// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/headless.h"

#include "cli/cli_report.h"
#include "cli/console_messages.h"
#include "cli/find_command.h"
#include "cli/monitor_command.h"
#include "cli/signal_watch.h"
#include "network/serve_command.h"
#include "protocol/field_map_view.h"
#include "protocol/commands.h"
#include "protocol/entry_checks.h"
#include "protocol/entry_value.h"
#include "protocol/session.h"
#include "protocol/session_observer.h"
#include "protocol/set_panel_entries.h"
#include "protocol/status_data.h"
#include "protocol/write_check.h"
#include "protocol/write_lines.h"
#include "serial/port_devices.h"
#include "serial/serial_port.h"
#include "storage/atomic_file.h"
#include "storage/parameter_file.h"
#include "storage/reading_record.h"
#include "storage/settings_file.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

enum ExitStatus { Done = 0, BoxFailed = 1, SaveFailed = 1, Usage = 2, PortUnusable = 3 };

const char* const ProgramName = "rotor";
constexpr int defaultTimeoutS = 120;
// A go-to accepted but not seen to its end leaves the rotor as it was: perhaps turning.
const QString mayBeTurning = QStringLiteral("The rotor may still be turning: rotor stop stops it.");
// The status query while the rotor turns: once a second, as an operator would click "?".
constexpr int pollPeriodMs = 1000;

struct Subcommand {
    const char* name;
    const char* arguments;  // as the usage line shows them
    int positional;         // how many arguments it takes; -1: any number
    const char* description;
};

constexpr Subcommand Subcommands[] = {
    {"read", "[-o FILE]", 0,
     "S, V and L as at start-up; shows the block as the PARAMETERS READ panel does. With -o, writes a parameter "
     "file: its set as the start-up fills the panel, its box reading from this read."},
    {"write", "FILE [--yes]", 1,
     "Loads FILE as File > Load parameters does, refuses what the window's write refuses, asks for confirmation "
     "(--yes answers it), writes with W, then reads the block back and compares fields 3 to 17."},
    {"status", "", 0,
     "The position and state: \"?\". Exit status 0 only with a whole angle and the state READY or BUSY."},
    {"position", "", 0, "The angle alone, a bare whole number: \"?\"."},
    {"firmware", "", 0, "The box's firmware version: V."},
    {"goto", "ANGLE [--timeout S | --no-wait]", 1,
     "Sends the rotor to ANGLE (a whole angle 0 to 359) and waits until it reports READY, asking \"?\" once a second, "
     "at most S seconds (120). Exit status 0 only when the box accepted and the rotor stopped within 2 degrees of "
     "ANGLE; with --no-wait, once the box accepted. Ctrl+C, SIGTERM or SIGHUP meanwhile sends the fast stop first."},
    {"stop", "[--soft]", 0, "The fast stop; with --soft, the soft stop."},
    {"monitor", "", 0,
     "Lists every frame the box sends, one line each (with --json, one object each: a status frame's position_deg "
     "and state, and the line), until SIGINT, SIGTERM or SIGHUP; then sends the closing S. Exit status 0 when a "
     "signal ended it and the closing S was answered."},
    {"find", "[DEVICE...]", -1,
     "Sends \"?\" to each DEVICE, or to every serial port not in use, all at once, and lists what each answered "
     "within 4 s: CBOX found (with its position), no answer, something else, or why it could not be opened. "
     "Opening a port may change its DTR and RTS lines. Exit status 0 when a CBOX was found, 1 when none."},
    {"ports", "", 0,
     "Lists the serial ports: device, stable name, description, the COM numbers that open it, in use or not."},
    {"serve", "[--listen ADDR:PORT]", 0,
     "Lets tracking programs drive the rotor over the network, in the text protocol of the usual rotator "
     "daemon, on ADDR:PORT (127.0.0.1:4533), until SIGINT or SIGTERM. Sends S and V at start."},
};

const Subcommand* subcommandNamed(const QString& word)
{
    for (const Subcommand& sub : Subcommands)
        if (word == QLatin1String(sub.name))
            return &sub;
    return nullptr;
}

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

int usageError(const QString& text)
{
    printError(QStringLiteral("%1: %2\nTry '%1 --help'.").arg(QLatin1String(ProgramName), text));
    return Usage;
}

// A signal where nothing is left to finish: the run ends here, saying what it had done.
[[noreturn]] void endAtOnce(const SignalWatch& watch, const QString& done)
{
    printError(QStringLiteral("Interrupted by %1: %2.").arg(watch.name(), done));
    std::fflush(stdout);
    std::_Exit(1);
}

// Key and value lines, the values aligned in one column.
QString aligned(const QList<std::pair<QString, QString>>& rows)
{
    qsizetype width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    QString out;
    for (const auto& [key, value] : rows)
        out += key.leftJustified(width + 2) + value + QLatin1Char('\n');
    return out;
}

// The position and state as the window's fast_pos and fast_status show them.
QList<std::pair<QString, QString>> statusRows(const StatusReading& reading)
{
    return {{fieldName(Field::fast_pos), reading.angle ? positionText(QString::number(*reading.angle)) : QString()},
            {fieldName(Field::fast_status), rotorStateText(reading.state)}};
}

QString dateText(const QDateTime& when)
{
    QDateTime local = when;
    local.setOffsetFromUtc(when.offsetFromUtc());
    return local.toString(Qt::ISODate);
}

// One session on the real port with the console in place of the window. It observes the
// session: the exit status and what is printed come from the typed outcomes and readings.
class Run : public SessionObserver {
public:
    Run(const QCommandLineParser& parser, bool assumeYes, SignalWatch& watch)
        : m_parser(parser),
          m_signals(watch),
          m_messages(assumeYes),
          m_session(m_port, m_settings, m_messages, m_view)
    {
        m_json = parser.isSet(QStringLiteral("json"));
        m_view.observer = this;
    }

    void exchangeEnded(const ExchangeResult& result) override
    {
        if (result.outcome == ExchangeOutcome::PortFailed)
            m_portFailed = true;
        else if (result.outcome != ExchangeOutcome::Answered && !m_failed)
            m_failed = result;
        m_noReply = m_noReply || result.outcome == ExchangeOutcome::NoReply;
        if (result.command.contains(QLatin1String("G999")))
            m_fastStop = result;
    }
    void statusRead(const StatusReading& reading) override { m_status = reading; }
    void versionRead(const FirmwareVersion& version) override { m_record.versionRead(version); }
    void goToAnswered(const GoToAnswer& answer) override { m_goTo = answer; }
    // Every good read is kept in the reading history, as the window keeps its reads.
    void parametersRead(const ParameterBlock& block) override { keepInHistory(m_record.parametersRead(block)); }

    int read(const QString& output);
    int write(const QString& path);
    int status(bool angleOnly);
    int firmware();
    int goTo(const QString& angle, int timeoutS, bool wait);
    int stop(bool soft);
    int serve(const QString& listen) { return serveOnNetwork(m_session, m_view, listen); }
    int monitor()
    {
        const int status = monitorOnConsole(m_session, m_signals, m_json);
        return m_portFailed ? PortUnusable : status;
    }

    // Chooses the port as the options say and tries it once, so that a port that cannot be used
    // ends the run before anything is asked or sent. Done or PortUnusable (or Usage).
    int selectPort();
    // The exit status once the subcommand has ended: a failure always leaves a message on standard
    // error, a box that never answered the hint to look at it, and a failed output status 1.
    int finish(int status);

private:
    Commands& commands() { return m_session.commands(); }
    void exchange(const std::function<void()>& run, ExchangeLock::Kind kind = ExchangeLock::Kind::Ordinary)
    {
        m_session.lock().run(run, kind);
    }
    // What the exchanges so far have come to.
    int outcome() const
    {
        if (m_portFailed)
            return PortUnusable;
        if (m_messages.shown() || m_failed)
            return BoxFailed;
        return Done;
    }
    void keepInHistory(const BoxReading& reading);
    void print(const QList<std::pair<QString, QString>>& rows, const QJsonObject& json);
    QString fastStopText() const;

    const QCommandLineParser& m_parser;
    SignalWatch& m_signals;
    bool m_json = false;
    FieldMapView m_view;
    ConsoleMessages m_messages;
    SerialPort m_port;
    SettingsFile m_settings;
    Session m_session;
    bool m_portFailed = false;
    bool m_noReply = false;
    std::optional<ExchangeResult> m_failed;  // the first exchange that ended without a whole, good answer
    std::optional<ExchangeResult> m_fastStop;
    std::optional<StatusReading> m_status;
    std::optional<GoToAnswer> m_goTo;
    ReadingRecord m_record;
};

void Run::keepInHistory(const BoxReading& reading)
{
    QString error;
    if (!m_record.keep(reading, &error))
        printError(QStringLiteral("The parameters just read could not be kept in the reading history (%1): %2.")
                       .arg(native(m_record.history().folder()), error));
}

void Run::print(const QList<std::pair<QString, QString>>& rows, const QJsonObject& json)
{
    if (m_json)
        printOut(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
    else
        printOut(aligned(rows));
}

int Run::finish(int status)
{
    if (status == BoxFailed && !anyErrorPrinted()) {
        // The exchange ended on a reply it could not use without a word of its own.
        const QString command = m_failed ? m_failed->command : QStringLiteral("the command");
        printError(QStringLiteral("The CBOX's reply to %1 was faulty or incomplete.").arg(command));
    }
    if (m_noReply)
        printError(QStringLiteral("No answer from the CBOX: check that the CBOX is powered and the cable is in."));
    return checkedOutput(status);
}

int Run::selectPort()
{
    SerialLink& link = m_session.link();
    const QString device = m_parser.value(QStringLiteral("device"));
    const QString number = m_parser.value(QStringLiteral("port"));
    if (!device.isEmpty() && !number.isEmpty())
        return usageError(QStringLiteral("give either --port or --device, not both"));
    if (!device.isEmpty()) {
        // This run only: the device is opened whatever the settings say, and nothing is stored.
        link.choice().useDevice(device);
        if (!m_port.applyLineSettings() || !m_port.open(link.choice())) {
            printError(QStringLiteral("The device %1 cannot be opened.\n%2")
                           .arg(native(device),
                                forTerminal(portOpenFailureText(m_port.lastOpenDevice(), m_port.lastOpenFailure(),
                                                                m_port.errorText(), hostPlatform()))));
            return PortUnusable;
        }
        m_port.close();
        return Done;
    }
    if (!number.isEmpty()) {
        bool ok = false;
        const int n = number.toInt(&ok);
        if (!ok || n < 1 || n > 255)
            return usageError(QStringLiteral("--port takes a port number from 1 to 255, not '%1'").arg(number));
        link.choice().setNumber(n);
    } else if (!link.LOAD_SETTINGS()) {
        printError(QStringLiteral("No port is configured: %1 is missing or holds no port number.\nGive --port N or "
                                  "--device PATH (rotor ports lists them, rotor find looks for the CBOX).")
                       .arg(native(link.choice().settingsPath())));
        return PortUnusable;
    }
    // Opened as the start-up opens it, with the whole configuration, then closed again: every
    // exchange opens it for itself, as in the window.
    if (link.openConfigured())
        return PortUnusable;
    m_port.close();
    return Done;
}

int Run::read(const QString& output)
{
    exchange([this] { m_session.startUp().run(StartUp::From::PortChoice); });
    if (const int status = outcome(); status != Done || !m_record.last())
        return status == Done ? BoxFailed : status;

    const BoxReading& reading = *m_record.last();
    QList<std::pair<QString, QString>> rows{{QStringLiteral("read"), dateText(reading.read)},
                                            {QStringLiteral("firmware"), printable(reading.firmware)},
                                            {QStringLiteral("block"), printable(reading.block.join(QLatin1Char(',')))}};
    for (const auto& [field, text] : shownFromBlock(reading.block))
        rows.append({fieldName(field), printable(text)});
    if (output.isEmpty()) {
        print(rows, readJson(reading));
        return Done;
    }
    ParameterFile file;
    file.panel = panelState(m_view);  // as the start-up filled the panel
    file.saved = QDateTime::currentDateTime();
    file.reading = reading;
    if (output == QLatin1String("-")) {
        printOut(QString::fromUtf8(writeParameterFile(file)));
        return Done;
    }
    QString error;
    const bool saved = writeFileAtomically(output, writeParameterFile(file), &error);
    if (saved)
        rows.append({QStringLiteral("file"), native(output)});
    QJsonObject json = readJson(reading);
    json.insert(QStringLiteral("file"), saved ? QJsonValue(native(output)) : QJsonValue());
    // What was read is not lost with the file: it is printed, and the failure said after it.
    print(rows, json);
    if (!saved) {
        printError(QStringLiteral("The parameters could not be saved to %1: %2.").arg(native(output), error));
        return SaveFailed;
    }
    return Done;
}

int Run::write(const QString& path)
{
    // Loaded as File > Load parameters loads, refused as the window's write refuses, before the
    // port is even tried.
    const auto loaded = loadParameterFile(path);
    if (const auto* why = std::get_if<QString>(&loaded)) {
        printError(
            QStringLiteral("The parameters were not loaded from %1.\n\n%2").arg(native(path), forTerminal(*why)));
        return Usage;
    }
    fillSetPanel(m_view, std::get<ParameterFile>(loaded).panel);
    const PanelState panel = panelState(m_view);
    if (const QList<RefusedEntry> refused = refusedWriteEntries(panel); !refused.isEmpty()) {
        printError(writeRefusalText(refused));
        return Usage;
    }
    // The lines the write sends, as the window's write fixes them at its click.
    const QStringList lines = writeLines(panel);
    if (const int status = selectPort(); status != Done)
        return status;

    // A person asked sees what the write changes, as the window's question shows it after a read.
    if (m_messages.willAsk()) {
        exchange([this] { commands().CMD_READ_PARAMS(); });
        if (const int status = outcome(); status != Done)
            return status;
    }
    // Values outside their marked range go as they are. A person asked reads them in the
    // question's details; otherwise they are told here, before the question is answered.
    if (const QString warnings = writeWarningsText(panel, lines); !warnings.isEmpty() && !m_messages.willAsk())
        printError(warnings);
    // A signal during the W dialogue lets it finish: the box would otherwise be left waiting for
    // value lines, holding half a set. It ends the run once the dialogue is over.
    m_signals.onSignal(
        [this] { printError(QStringLiteral("%1: finishing the write's value lines first.").arg(m_signals.name())); });
    exchange([this] { commands().CMD_WRITE_PARAMS(); });
    if (m_messages.couldNotAsk() || m_messages.declined())
        return Usage;
    const int written = outcome();
    if (m_signals.caught()) {
        printError(written == Done ? QStringLiteral("Interrupted: the write ended whole; the block was not read back.")
                                   : QStringLiteral("Interrupted: the write did not end whole (see above)."));
        return written == Done ? BoxFailed : written;
    }
    if (written != Done)
        return written;
    m_signals.onSignal(
        [this] { endAtOnce(m_signals, QStringLiteral("the write ended whole; the block was not read back")); });

    // What went is compared with what the box holds now, line by line, by value.
    m_record.forget();
    exchange([this] { commands().CMD_READ_PARAMS(); });
    if (const int status = outcome(); status != Done || !m_record.last())
        return status == Done ? BoxFailed : status;
    const QStringList& block = m_record.last()->block;
    QStringList differences;
    for (const WriteLineDifference& difference : writeLineDifferences(lines, block))
        differences << QStringLiteral("field %1 (%2): sent %3, read back %4")
                           .arg(difference.field)
                           .arg(difference.name, printable(difference.sent), printable(difference.held));
    if (!differences.isEmpty()) {
        printError(QStringLiteral("The CBOX read back different values:\n") + differences.join(QLatin1Char('\n')));
        return BoxFailed;
    }
    print({{QStringLiteral("file"), native(path)},
           {QStringLiteral("written"), QStringLiteral("yes")},
           {QStringLiteral("read back"), QStringLiteral("equal")},
           {QStringLiteral("block"), printable(block.join(QLatin1Char(',')))}},
          {{QStringLiteral("file"), native(path)},
           {QStringLiteral("written"), true},
           {QStringLiteral("read_back_equal"), true},
           {QStringLiteral("block"), QJsonArray::fromStringList(block)}});
    return Done;
}

int Run::status(bool angleOnly)
{
    exchange([this] { commands().CMD_STATUS(); });
    if (const int status = outcome(); status != Done)
        return status;
    // A reply that passed its tests still has to carry both: a whole angle and a known state.
    if (!m_status || !m_status->angle || m_status->state == RotorState::Unknown) {
        printError(QStringLiteral("The CBOX's reply to ? held no whole angle and state."));
        return BoxFailed;
    }
    if (angleOnly)
        printOut(QString::number(*m_status->angle) + QLatin1Char('\n'));
    else
        print(statusRows(*m_status), statusJson(*m_status));
    return Done;
}

int Run::firmware()
{
    exchange([this] { commands().CMD_VERSION(); });
    if (const int status = outcome(); status != Done)
        return status;
    print({{QStringLiteral("firmware"), printable(m_record.firmware())}},
          {{QStringLiteral("firmware"), versionNumber(m_record.firmware())}});
    return Done;
}

int Run::stop(bool soft)
{
    // A stop is never cut short: a signal meanwhile ends the run once it has gone.
    m_signals.onSignal([] {});
    exchange([this, soft] { soft ? commands().CMD_SOFT_STOP() : commands().CMD_FAST_STOP(); },
             ExchangeLock::Kind::Stop);
    if (const int status = outcome(); status != Done)
        return status;
    const QString kind = QLatin1String(soft ? "soft" : "fast");
    print({{QStringLiteral("stop"), kind}}, {{QStringLiteral("stop"), kind}});
    if (m_signals.caught()) {
        printError(QStringLiteral("Interrupted by %1: the %2 stop was sent and the CBOX answered it.")
                       .arg(m_signals.name(), kind));
        return BoxFailed;
    }
    return Done;
}

QString Run::fastStopText() const
{
    if (!m_fastStop)
        return QStringLiteral("the fast stop was not sent");
    switch (m_fastStop->outcome) {
    case ExchangeOutcome::Answered: return QStringLiteral("the fast stop was sent and the CBOX answered it");
    case ExchangeOutcome::NoReply: return QStringLiteral("the fast stop was sent; the CBOX did not answer it");
    case ExchangeOutcome::PortFailed: return QStringLiteral("the fast stop could not be sent: the port failed");
    default: return QStringLiteral("the fast stop was sent; the CBOX's answer was faulty");
    }
}

int Run::goTo(const QString& angle, int timeoutS, bool wait)
{
    m_view.setText(Field::go_to_angle, angle);
    const int target = angle.trimmed().toInt();
    QEventLoop loop;
    enum { Ready, Failed, TimedOut, Interrupted };
    m_signals.onSignal([this, &loop] {
        // A safety action, sent at once whatever exchange runs, as STOP! is.
        exchange([this] { commands().CMD_FAST_STOP(); }, ExchangeLock::Kind::Stop);
        loop.exit(Interrupted);
    });

    exchange([this] { commands().CMD_GOTO(); });
    int ending = Ready;
    if (m_signals.caught()) {
        ending = Interrupted;
    } else if (m_goTo && m_goTo->kind == GoToAnswer::Refused) {
        printError(QStringLiteral("The CBOX refused the angle %1: WRONG.").arg(angle));
        return BoxFailed;
    } else if (m_goTo && m_goTo->kind == GoToAnswer::Other) {
        printError(QStringLiteral("The go-to to %1° did not go: the CBOX answered %2.")
                       .arg(target)
                       .arg(printable(m_goTo->letter)));
        return BoxFailed;
    } else if (const int status = outcome(); status != Done || !m_goTo) {
        return status == Done ? BoxFailed : status;
    } else if (!wait) {
        print({{fieldName(Field::go_to_angle), QString::number(target)},
               {QStringLiteral("accepted"), QStringLiteral("yes")}},
              {{QStringLiteral("target_deg"), target}, {QStringLiteral("accepted"), true}});
        return Done;
    } else {
        QTimer poll;
        poll.setSingleShot(true);
        poll.setInterval(pollPeriodMs);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            m_status.reset();
            exchange([this] { commands().CMD_STATUS(); });
            if (m_signals.caught())
                return;
            if (outcome() != Done || !m_status || !m_status->angle)
                loop.exit(Failed);
            else if (m_status->state == RotorState::Ready)
                loop.exit(Ready);
            else
                poll.start();
        });
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, [&] {
            if (!m_signals.caught())
                loop.exit(TimedOut);
        });
        poll.start();
        deadline.start(timeoutS * 1000);
        ending = loop.exec();
    }
    switch (ending) {
    case Interrupted:
        // Let the exchange the stop interrupted end before the run does.
        while (m_session.lock().busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        printError(QStringLiteral("Interrupted by %1: %2.").arg(m_signals.name(), fastStopText()));
        return outcome() == PortUnusable ? PortUnusable : BoxFailed;
    case TimedOut:
        printError(QStringLiteral("The rotor did not report READY within %1 s. %2").arg(timeoutS).arg(mayBeTurning));
        return BoxFailed;
    case Failed:
        // The box accepted the go-to: whatever failed since, the rotor may be on its way.
        printError(mayBeTurning);
        return outcome() == Done ? BoxFailed : outcome();
    default: break;
    }
    const int position = *m_status->angle;
    const bool there = reached(target, position);
    QJsonObject json = statusJson(*m_status);
    json.insert(QStringLiteral("target_deg"), target);
    json.insert(QStringLiteral("reached"), there);
    print(QList<std::pair<QString, QString>>{{fieldName(Field::go_to_angle), QString::number(target)},
                                             {fieldName(Field::goto_replay), m_view.text(Field::goto_replay)}}
              + statusRows(*m_status)
              + QList<std::pair<QString, QString>>{{QStringLiteral("reached"), QLatin1String(there ? "yes" : "no")}},
          json);
    if (!there) {
        printError(QStringLiteral("The rotor %1.").arg(stopText(target, position)));
        return BoxFailed;
    }
    return Done;
}

// rotor find and rotor ports look at every port, not the one configured: the options that choose a
// port are mistakes there. Nothing when `name` is another subcommand.
std::optional<int> runPortSearch(const QString& name, const QStringList& devices, const QCommandLineParser& parser)
{
    if (name != QLatin1String("find") && name != QLatin1String("ports"))
        return std::nullopt;
    for (const char* option : {"port", "device", "json"})
        if (parser.isSet(QLatin1String(option)))
            return usageError(QStringLiteral("--%1 is not for '%2'").arg(QLatin1String(option), name));
    return name == QLatin1String("find") ? runFind(devices) : runPorts();
}

// A word that stands for a negative number ("-1", "-12.5") is a value, not an option: it is
// hidden from the parser behind a mark and put back among the positional arguments.
const QRegularExpression negativeNumber(QStringLiteral("^-[0-9]"));
const QString negativeMark = QStringLiteral("\x01");

QStringList arguments(int argc, char* argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i) {
        const QString word = QString::fromLocal8Bit(argv[i]);
        // The value of -o, --port ... stays as it is.
        const bool value = i > 1
                           && QRegularExpression(QStringLiteral("^--?(o|port|device|timeout)$"))
                                  .match(QString::fromLocal8Bit(argv[i - 1]))
                                  .hasMatch();
        list << (!value && negativeNumber.match(word).hasMatch() ? negativeMark + word : word);
    }
    return list;
}

}  // namespace

bool isSubcommand(const QString& word) { return subcommandNamed(word) != nullptr; }

QString subcommandHelp()
{
    QString text = QStringLiteral("Subcommands (no window, no display needed):\n");
    for (const Subcommand& sub : Subcommands) {
        text += QStringLiteral("  ")
                + QStringLiteral("%1 %2 %3")
                      .arg(QLatin1String(ProgramName), QLatin1String(sub.name), QLatin1String(sub.arguments))
                      .trimmed()
                + QLatin1Char('\n');
        // Wrapped to fit a terminal of 100 columns.
        QString line = QStringLiteral("     ");
        for (const QString& word : QString::fromLatin1(sub.description).split(QLatin1Char(' '))) {
            if (line.size() + 1 + word.size() > 98) {
                text += line + QLatin1Char('\n');
                line = QStringLiteral("     ");
            }
            line += QLatin1Char(' ') + word;
        }
        text += line + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "Options of the subcommands:\n"
        "  --port N         Port N as the settings file numbers it (its port link included); not stored.\n"
        "  --device PATH    Opens PATH for this run only; nothing is stored.\n"
        "                   Without either: the port of the settings file.\n"
        "  --json           One JSON object per command, keys named as in the parameter file.\n"
        "A first argument that names a subcommand is one; to open a file of that name, give a path (./read).\n"
        "\n"
        "Exit status:\n"
        "  0  done\n"
        "  1  the box refused, did not answer, or read back different, or the file of read -o could not be\n"
        "     written (the message on standard error)\n"
        "  2  usage, a file that loading refuses, a write that the panel check refuses, or a confirmation\n"
        "     refused or that cannot be asked (no terminal and no --yes)\n"
        "  3  the port: none configured, cannot be opened, or in use\n"
        "  find: 0 when a CBOX answered, 1 when none did, 2 usage\n");
    return text;
}

int runSubcommand(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(ProgramName));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show the help."));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port N."), QStringLiteral("N"));
    const QCommandLineOption device(QStringLiteral("device"), QStringLiteral("Device PATH."), QStringLiteral("PATH"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("JSON output."));
    const QCommandLineOption output(QStringLiteral("o"), QStringLiteral("Parameter file to write."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption yes(QStringLiteral("yes"), QStringLiteral("Answer the confirmation yes."));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QStringLiteral("Seconds to wait."),
                                     QStringLiteral("S"));
    const QCommandLineOption soft(QStringLiteral("soft"), QStringLiteral("The soft stop."));
    const QCommandLineOption listen(QStringLiteral("listen"), QStringLiteral("Address and port to serve on."),
                                    QStringLiteral("ADDR:PORT"));
    const QCommandLineOption noWait(QStringLiteral("no-wait"), QStringLiteral("Do not wait for READY."));
    parser.addOptions({help, port, device, json, output, yes, timeout, soft, listen, noWait});

    SignalWatch watch;
    watch.onSignal([&watch] { endAtOnce(watch, QStringLiteral("nothing more was sent")); });
    if (!parser.parse(arguments(argc, argv)))
        return usageError(parser.errorText());
    QStringList positional = parser.positionalArguments();
    for (QString& word : positional)
        if (word.startsWith(negativeMark))
            word.remove(0, negativeMark.size());
    const Subcommand* sub = subcommandNamed(positional.value(0));
    if (!sub)
        return usageError(QStringLiteral("'%1' is not a subcommand").arg(positional.value(0)));
    positional.removeFirst();
    if (parser.isSet(help)) {
        printOut(QStringLiteral("Usage: %1 [--port N | --device PATH] [--json]\n\n")
                     .arg(QStringLiteral("%1 %2 %3")
                              .arg(QLatin1String(ProgramName), QLatin1String(sub->name), QLatin1String(sub->arguments))
                              .simplified())
                 + subcommandHelp());
        return checkedOutput(Done);
    }
    const QString name = QLatin1String(sub->name);
    // Each option belongs to one subcommand; elsewhere it is a mistake, not silently ignored.
    const std::pair<const QCommandLineOption*, const char*> owned[] = {
        {&output, "read"}, {&yes, "write"}, {&timeout, "goto"}, {&noWait, "goto"}, {&soft, "stop"}, {&listen, "serve"}};
    for (const auto& [option, owner] : owned)
        if (parser.isSet(*option) && name != QLatin1String(owner))
            return usageError(QStringLiteral("-%1%2 is for '%3' only")
                                  .arg(option->names().first().size() > 1 ? QStringLiteral("-") : QString(),
                                       option->names().first(), QLatin1String(owner)));
    if (sub->positional >= 0 && positional.size() != sub->positional)
        return usageError(sub->positional == 0
                              ? QStringLiteral("'%1' takes no argument").arg(name)
                              : QStringLiteral("'%1' takes one argument: %2").arg(name, QLatin1String(sub->arguments)));

    int timeoutS = defaultTimeoutS;
    if (parser.isSet(timeout)) {
        bool ok = false;
        timeoutS = parser.value(timeout).toInt(&ok);
        if (!ok || timeoutS < 1 || timeoutS > 24 * 3600)
            return usageError(QStringLiteral("--timeout takes whole seconds from 1 to 86400"));
    }
    if (name == QLatin1String("goto") && !goToAngleValid(positional.first()))
        return usageError(goToAngleRefusal(positional.first()));
    if (parser.isSet(timeout) && parser.isSet(noWait))
        return usageError(QStringLiteral("--timeout and --no-wait do not go together"));
    if (parser.isSet(output) && parser.value(output).isEmpty())
        return usageError(QStringLiteral("-o takes a file name, or - for standard output"));
    if (parser.value(output) == QLatin1String("-") && parser.isSet(json))
        return usageError(QStringLiteral("-o - writes the parameter file to standard output: no --json with it"));

    if (const std::optional<int> status = runPortSearch(name, positional, parser))
        return checkedOutput(*status);

    Run run(parser, parser.isSet(yes), watch);
    // A file is judged before the port is tried: a refused file is the operator's to mend.
    if (name != QLatin1String("write"))
        if (const int status = run.selectPort(); status != Done)
            return run.finish(status);
    if (name == QLatin1String("read"))
        return run.finish(run.read(parser.value(output)));
    if (name == QLatin1String("write"))
        return run.finish(run.write(positional.first()));
    if (name == QLatin1String("status") || name == QLatin1String("position"))
        return run.finish(run.status(name == QLatin1String("position")));
    if (name == QLatin1String("firmware"))
        return run.finish(run.firmware());
    if (name == QLatin1String("goto"))
        return run.finish(run.goTo(positional.first(), timeoutS, !parser.isSet(noWait)));
    if (name == QLatin1String("serve"))
        return run.finish(run.serve(parser.value(listen)));
    if (name == QLatin1String("monitor"))
        return run.finish(run.monitor());
    return run.finish(run.stop(parser.isSet(soft)));
}
