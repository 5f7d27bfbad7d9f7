// SPDX-License-Identifier: GPL-3.0-or-later
// The network server against the simulated CBOX at 9600 baud, `rotor serve` in a process of its
// own: how long `p` takes from a fresh reading (one "?" exchange, the port opened and closed as
// the tool must) and from a cached one, and the processor time the server takes while two
// clients poll `p` ten times a second, and while no client is connected.

#include "bench_support.h"

#include <QFile>
#include <QProcess>
#include <QTcpSocket>

#include <unistd.h>

namespace {

constexpr quint16 benchPort = 45433;
// "?" on the line: STX "A?" CR out, STX "A,?,123,R" CR back, 10 bits a character at 9600 baud.
constexpr double statusLineMs = (4 + 11) * 10 * 1000.0 / 9600;

// User plus system seconds of process `pid` (from /proc/pid/stat).
double processSecondsOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).trimmed().split(' ');
    // After the command: state, ppid, ... utime is field 14 of the whole line, stime 15.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// One `p` on `socket`, answered by its two lines; the milliseconds it took, or -1.
double askPosition(QTcpSocket& socket)
{
    const double start = wallSeconds();
    socket.write("p\n");
    // Waiting on the socket itself: the answer is seen the moment it comes.
    QByteArray answer;
    while (answer.count('\n') < 2) {
        if (!socket.waitForReadyRead(5000))
            return -1;
        answer += socket.readAll();
    }
    if (answer.startsWith("RPRT"))
        return -1;
    return (wallSeconds() - start) * 1000;
}

bool connectTo(QTcpSocket& socket)
{
    socket.connectToHost(QStringLiteral("127.0.0.1"), benchPort);
    return socket.waitForConnected(3000);
}

double serverPercentOver(qint64 pid, double seconds, const std::function<void()>& during = {})
{
    const double cpu = processSecondsOf(pid);
    const double start = wallSeconds();
    if (during)
        during();
    runEvents(int(seconds * 1000 - (wallSeconds() - start) * 1000));
    return 100 * (processSecondsOf(pid) - cpu) / (wallSeconds() - start);
}

}  // namespace

int benchNetwork(const BenchOptions& options)
{
    const double seconds = options.seconds > 0 ? options.seconds : 60;
    ConfigFolder config;
    Simulator sim(config);
    if (!Simulator::available() || !sim.start({})) {
        note(QStringLiteral("network: the simulator did not start"));
        return 1;
    }
    QProcess server;
    server.setProgram(QStringLiteral(ROTOR_PROGRAM));
    server.setArguments({QStringLiteral("serve"), QStringLiteral("--device"), sim.device(), QStringLiteral("--listen"),
                         QStringLiteral("127.0.0.1:%1").arg(benchPort)});
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    QTcpSocket first;
    // It listens once its start-up exchanges have been queued: connections are tried until then.
    if (!server.waitForStarted(5000)
        || !runEventsUntil(
            [&] {
                if (connectTo(first))
                    return true;
                first.abort();
                runEvents(50);
                return false;
            },
            10000)) {
        note(QStringLiteral("network: rotor serve did not start"));
        return 1;
    }
    // Fresh: each `p` after the cached reading has gone stale; cached: a second `p` right after.
    QList<double> fresh;
    QList<double> cached;
    for (int i = 0; i < 100; ++i) {
        runEvents(260);
        fresh << askPosition(first);
        cached << askPosition(first);
    }
    const double freshMs = median(fresh);
    const double cachedMs = median(cached);
    printRow({QStringLiteral("network: `p` from a fresh reading"), QStringLiteral("%1 ms").arg(fixed(freshMs, 1)),
              QStringLiteral("≤ %1 ms (line time + 5)").arg(fixed(statusLineMs + 5, 1)),
              freshMs > 0 && freshMs <= statusLineMs + 5 ? QStringLiteral("ok") : QStringLiteral("FAIL")});
    printRow({QStringLiteral("network: `p` from a cached reading"), QStringLiteral("%1 ms").arg(fixed(cachedMs, 2)),
              QStringLiteral("≤ 1 ms"), cachedMs > 0 && cachedMs <= 1 ? QStringLiteral("ok") : QStringLiteral("FAIL")});

    // Two clients, each polling ten times a second.
    QTcpSocket second;
    connectTo(second);
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QTcpSocket* s : {&first, &second}) {
            s->readAll();
            s->write("p\n");
        }
    });
    const double polled = serverPercentOver(server.processId(), seconds, [&] { poll.start(); });
    poll.stop();
    printRow({QStringLiteral("network: two clients polling `p` 10/s, %1 s").arg(seconds),
              QStringLiteral("%1 % of a core").arg(fixed(polled, 2)), QStringLiteral("≤ 1 %"),
              polled <= 1 ? QStringLiteral("ok") : QStringLiteral("FAIL")});
    first.disconnectFromHost();
    second.disconnectFromHost();
    runEvents(200);
    const double idle = serverPercentOver(server.processId(), seconds);
    printRow({QStringLiteral("network: server with no client, %1 s").arg(seconds),
              QStringLiteral("%1 % of a core").arg(fixed(idle, 2)), QStringLiteral("0.0 %"),
              idle < 0.05 ? QStringLiteral("ok") : QStringLiteral("FAIL")});
    server.terminate();
    server.waitForFinished(5000);
    return 0;
}
