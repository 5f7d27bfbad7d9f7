// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up sequence (S, V, L) and a full parameter write (S, then W and its 15 value lines)
// against the simulated CBOX paced at 9600 baud, compared with the time the same bytes take on
// the line. Every byte is counted at the port seam, both ways.
//
// On a pseudo-terminal only the box's side is paced: the tool's own frames arrive at once. So the
// wall time is compared twice: with the line time of every byte both ways (what a real line
// costs), and with the paced part alone (the box's bytes), whose difference is the tool's own
// overhead plus the simulator's reaction time.

#include "bench_support.h"

#include "support/recording_messages.h"
#include "ui/main_window.h"

#include <QByteArrayList>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString startUpPrompt =
    QStringLiteral("Connect the PC to the CBOX, power-on it and click on OK when the CBOX is ready");

struct Sample {
    double wall = 0;
    qint64 out = 0;
    qint64 in = 0;
    double openClose = 0;  // of the wall time, inside the port's open and close
};

// The least any client can do over the same simulated line: the line opened raw for each exchange
// and closed after it, as the tool releases the port between exchanges; each frame written whole
// and the reply read with poll() as soon as it arrives. Its time is the line time of the box's
// bytes, the simulator's own reaction to each frame, and the least an open and a close cost.
class MinimalClient {
public:
    explicit MinimalClient(const QString& device)
    {
        m_fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios tio{};
        tcgetattr(m_fd, &tio);
        cfmakeraw(&tio);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tcsetattr(m_fd, TCSANOW, &tio);
        tcflush(m_fd, TCIOFLUSH);
    }
    ~MinimalClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    MinimalClient(const MinimalClient&) = delete;
    MinimalClient& operator=(const MinimalClient&) = delete;
    bool ok() const { return m_fd >= 0; }

    // Writes `out`, then reads until the reply ends with `end`; false after a second without it.
    bool exchange(const QByteArray& out, const QByteArray& end)
    {
        if (::write(m_fd, out.constData(), size_t(out.size())) != out.size())
            return false;
        QByteArray in;
        while (!in.endsWith(end)) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                return false;
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EAGAIN))
                return false;
            if (n > 0)
                in.append(buffer, n);
        }
        return true;
    }

private:
    int m_fd = -1;
};

QByteArray commandFrame(char letter)
{
    return QByteArray("\x02"
                      "A")
           + letter + '\r';
}

// One exchange on its own opening of the line.
bool exchangeOnce(const QString& device, const QByteArray& out, const QByteArray& end)
{
    MinimalClient client(device);
    return client.ok() && client.exchange(out, end);
}

// The start-up's three exchanges.
bool minimalStartUp(const QString& device)
{
    return exchangeOnce(device, commandFrame('S'), "\r") && exchangeOnce(device, commandFrame('V'), "\r")
           && exchangeOnce(device, commandFrame('L'), "\r");
}

// S, then W, its reply with the first prompt, and the 15 value lines (the panel's default set),
// each answered by a prompt, the last by CR.
bool minimalWrite(const QString& device)
{
    static const QByteArrayList lines = {"1",  "0", "500",  "1829", "1", "30", "0",   "10",
                                         "15", "1", "1829", "0",    "0", "2",  "3049"};
    if (!exchangeOnce(device, commandFrame('S'), "\r"))
        return false;
    MinimalClient client(device);
    if (!client.ok() || !client.exchange(commandFrame('W'), "\rN"))
        return false;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        if (!client.exchange(lines.at(k) + '\r', k + 1 < lines.size() ? "N" : "\r"))
            return false;
    }
    return true;
}

// One run of the sequence by the minimal client, its opens and closes included; its time in
// seconds, or a negative number when a reply did not come.
double timeMinimal(const QString& device, bool (*sequence)(const QString&))
{
    const double t0 = wallSeconds();
    if (!sequence(device))
        return -1;
    return wallSeconds() - t0;
}

Row lineRow(const QString& name, const QList<Sample>& samples, const QList<double>& minimal, int replies, bool clean)
{
    QList<double> walls, openCloses;
    for (const Sample& s : samples) {
        walls << s.wall * 1000;
        openCloses << s.openClose * 1000;
    }
    QList<double> minimalMs;
    for (double m : minimal)
        minimalMs << m * 1000;
    const Sample& first = samples.first();
    const double tool = median(walls);
    const double both = lineSeconds(double(first.out + first.in)) * 1000;
    const double paced = lineSeconds(double(first.in)) * 1000;
    const double least = median(minimalMs);
    // The simulator's reaction: what the minimal client needs beyond the paced bytes.
    const double reaction = minimal.isEmpty() ? 0 : least - paced;
    const double reference = both + reaction;
    const double ratio = tool / reference;
    Row row;
    row.benchmark = name;
    row.measured = QStringLiteral("%1 ms (runs: %2); line time %3 ms (%4 bytes out + %5 in) + simulator reaction %6 ms "
                                  "(%7 ms × %8 replies) = %9 ms: **ratio %10**. Same exchanges by a minimal raw client "
                                  "on the same line, opening and closing it for each exchange as the tool does: %11 ms "
                                  "(tool/minimal %12, +%13 ms; the tool spent %14 ms inside the port's open and close)")
                       .arg(fixed(tool, 1), listOf(walls, 1), fixed(both, 1))
                       .arg(first.out)
                       .arg(first.in)
                       .arg(fixed(reaction, 1), fixed(reaction / replies, 2))
                       .arg(replies)
                       .arg(fixed(reference, 1), fixed(ratio, 3), fixed(least, 1), fixed(tool / least, 2),
                            fixed(tool - least, 1), fixed(median(openCloses), 1));
    row.goal = QStringLiteral("≤ 1.05 × (line time + simulator reaction); tool/minimal ≤ 1.05");
    row.verdict = !clean || minimal.isEmpty()
                      ? QStringLiteral("FAIL (unexpected messages, byte counts or no baseline)")
                      : (ratio <= 1.05 && tool / least <= 1.05 ? QStringLiteral("pass") : QStringLiteral("FAIL"));
    return row;
}

}  // namespace

int benchLineTime(const BenchOptions& options)
{
    if (!Simulator::available()) {
        printRow({QStringLiteral("2. Start-up and parameter write at 9600 baud"), QStringLiteral("not run"),
                  QStringLiteral("≤ 1.05 × (line time + simulator reaction); tool/minimal ≤ 1.05"),
                  QStringLiteral("simulator not built")});
        return 1;
    }
    ConfigFolder config;
    config.writePortChoice(1);
    Simulator sim(config);
    if (!sim.start({})) {  // paced at 9600 baud
        note(QStringLiteral("line-time: the simulator did not start"));
        return 1;
    }

    CountingPort port;
    RecordingMessages messages;
    MainWindow window(port, messages);
    window.show();
    runEvents(300);

    // ROTOR_BENCH_TRACE=1: the timeline of the last run of each sequence, call by call at the port.
    const bool traceWanted = qEnvironmentVariableIsSet("ROTOR_BENCH_TRACE");

    // Each run of the tool is followed by one of the minimal client, so that both see the same
    // load of the machine.
    bool clean = true;
    QList<Sample> startUps;
    QList<double> minimalStartUps;
    for (int run = 0; run < options.runs; ++run) {
        messages.shown.clear();
        const qint64 out0 = port.written, in0 = port.read, dropped0 = port.discarded;
        const double openClose0 = port.openCloseSeconds;
        port.tracing = traceWanted && run + 1 == options.runs;
        const double t0 = wallSeconds();
        window.startUp();
        const double t1 = wallSeconds();
        port.tracing = false;
        port.printTrace();
        startUps << Sample{t1 - t0, port.written - out0, port.read - in0, port.openCloseSeconds - openClose0};
        if (messages.shown != QStringList{startUpPrompt} || port.discarded != dropped0) {
            clean = false;
            note(QStringLiteral("line-time start-up: messages: ") + messages.shown.join(QStringLiteral(" / ")));
        }
        if (startUps.last().out != startUps.first().out || startUps.last().in != startUps.first().in)
            clean = false;
        note(QStringLiteral("start-up run %1: %2 ms (%3 ms in open/close), %4 bytes out, %5 in")
                 .arg(run + 1)
                 .arg(fixed(1000 * (t1 - t0), 1), fixed(1000 * startUps.last().openClose, 1))
                 .arg(startUps.last().out)
                 .arg(startUps.last().in));
        runEvents(50);
        if (const double m = timeMinimal(sim.device(), minimalStartUp); m >= 0)
            minimalStartUps << m;
        runEvents(50);
    }
    note(QStringLiteral("start-up by the minimal client: %1 s").arg(listOf(minimalStartUps, 4)));
    if (!sim.running())
        note(QStringLiteral("line-time: ") + sim.endText());
    clean = clean && sim.running();
    printRow(lineRow(QStringLiteral("2a. Start-up (S, V, L), simulator paced at 9600 baud"), startUps, minimalStartUps,
                     3, clean));

    clean = true;
    QList<Sample> writes;
    QList<double> minimalWrites;
    int stored = 0;  // writes the box reports as stored, the tool's only
    for (int run = 0; run < options.runs; ++run) {
        messages.shown.clear();
        messages.questions.clear();
        messages.answers = {true};
        const qint64 out0 = port.written, in0 = port.read, dropped0 = port.discarded;
        const double openClose0 = port.openCloseSeconds;
        const int storedBefore = sim.logLinesWith(QStringLiteral("parameters written"));
        port.tracing = traceWanted && run + 1 == options.runs;
        const double t0 = wallSeconds();
        window.commands().CMD_WRITE_PARAMS();
        const double t1 = wallSeconds();
        port.tracing = false;
        port.printTrace();
        stored += sim.logLinesWith(QStringLiteral("parameters written")) - storedBefore;
        writes << Sample{t1 - t0, port.written - out0, port.read - in0, port.openCloseSeconds - openClose0};
        if (!messages.shown.isEmpty() || messages.questions.size() != 1 || port.discarded != dropped0) {
            clean = false;
            note(QStringLiteral("line-time write: messages: ") + messages.shown.join(QStringLiteral(" / ")));
        }
        if (writes.last().out != writes.first().out || writes.last().in != writes.first().in)
            clean = false;
        note(QStringLiteral("write run %1: %2 ms (%3 ms in open/close), %4 bytes out, %5 in")
                 .arg(run + 1)
                 .arg(fixed(1000 * (t1 - t0), 1), fixed(1000 * writes.last().openClose, 1))
                 .arg(writes.last().out)
                 .arg(writes.last().in));
        runEvents(50);
        if (const double m = timeMinimal(sim.device(), minimalWrite); m >= 0)
            minimalWrites << m;
        runEvents(50);
    }
    if (stored != options.runs) {
        clean = false;
        note(QStringLiteral("line-time write: the box stored %1 of %2 writes").arg(stored).arg(options.runs));
    }
    note(QStringLiteral("write by the minimal client: %1 s").arg(listOf(minimalWrites, 4)));
    if (!sim.running())
        note(QStringLiteral("line-time: ") + sim.endText());
    clean = clean && sim.running();
    printRow(lineRow(QStringLiteral("2b. Parameter write (S, W, 15 value lines, Yes answered), paced at 9600 baud"),
                     writes, minimalWrites, 17, clean));
    return 0;
}
