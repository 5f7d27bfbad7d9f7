// SPDX-License-Identifier: GPL-3.0-or-later
// How long a click on the window's `?` waits while two tracking programs poll `p` ten times a
// second. All in this process: the window on the simulated CBOX paced at 9600 baud, its network
// control on (network.ini), and two clients on loopback sending `p` together every 100 ms, as two
// trackers started with the same period do. Each click comes while a network "?" runs, 1 to 8 ms
// after its frame went out (a fixed seed): the worst moment, at which it is queued behind it.
//
// The wait of a click runs from the click to its "?" frame going out on the port; the yardstick is
// the longest network "?" exchange whole, from the port's opening to its closing (the queued click
// waits for the close, then opens the port itself). A "?" frame is the window's when its button is
// greyed as it goes out: the network's exchanges grey nothing.

#include "bench_support.h"

#include "network/network_settings.h"
#include "support/recording_messages.h"
#include "ui/main_window.h"
#include "ui/network_menu.h"

#include <QAbstractButton>
#include <QRandomGenerator>
#include <QTcpSocket>

#include <algorithm>

namespace {

constexpr quint16 clickPort = 45434;

const QByteArray statusFrame("\x02"
                             "A?\r");

// The counting port, timing each "?" exchange from its frame to its reply's CR, and telling
// whose it is.
class StatusTimingPort : public CountingPort {
public:
    // True while the window's own "?" runs; told the moment the window's frame goes out.
    std::function<bool()> windowRuns;
    std::function<void(double at)> windowFrameOut;
    std::function<void()> networkFrameOut;
    // Frames of the network's exchanges sent so far, and their times in ms (frame to CR).
    int networkFrames = 0;
    QList<double> networkMs;
    QList<double> windowMs;
    // The network's "?" exchanges whole, from the port's opening to its closing, in ms.
    QList<double> networkWholeMs;

    bool open(const PortChoice& choice) override
    {
        if (!isOpen())
            m_openedAt = wallSeconds();
        return CountingPort::open(choice);
    }

    void close() override
    {
        const bool wasOpen = isOpen();
        CountingPort::close();
        if (wasOpen && m_networkStatus)
            networkWholeMs << (wallSeconds() - m_openedAt) * 1000;
        m_networkStatus = false;
    }

    void write(const QByteArray& bytes) override
    {
        if (bytes == statusFrame) {
            m_sentAt = wallSeconds();
            m_window = windowRuns && windowRuns();
            if (m_window && windowFrameOut)
                windowFrameOut(m_sentAt);
            if (!m_window) {
                ++networkFrames;
                m_networkStatus = true;
                if (networkFrameOut)
                    networkFrameOut();
            }
        }
        CountingPort::write(bytes);
    }

    QByteArray readOne() override
    {
        QByteArray c = CountingPort::readOne();
        if (c == "\r" && m_sentAt > 0) {
            (m_window ? windowMs : networkMs) << (wallSeconds() - m_sentAt) * 1000;
            m_sentAt = 0;
        }
        return c;
    }

private:
    double m_sentAt = 0;
    bool m_window = false;
    double m_openedAt = 0;
    bool m_networkStatus = false;  // this opening of the port carries a network "?"
};

// A tracking program: answers counted as they come (two lines a position, one "RPRT n" a failure).
struct Client {
    QTcpSocket socket;
    int lines = 0;
    int failures = 0;
    QByteArray pending;

    void read()
    {
        pending += socket.readAll();
        while (pending.contains('\n')) {
            const QByteArray line = pending.left(pending.indexOf('\n'));
            pending.remove(0, line.size() + 1);
            if (line.startsWith("RPRT"))
                ++failures;
            else
                ++lines;
        }
    }
};

}  // namespace

int benchClickWait(const BenchOptions& options)
{
    const double seconds = options.seconds > 0 ? options.seconds : 20;
    const QString name = QStringLiteral("network: window `?` click while two clients poll `p` 10/s, %1 s").arg(seconds);
    const QString goal =
        QStringLiteral("max wait ≤ one exchange (the longest network \"?\", the port's opening to its closing)");
    if (!Simulator::available()) {
        printRow({name, QStringLiteral("not run"), goal, QStringLiteral("simulator not built")});
        return 1;
    }
    ConfigFolder config;
    config.writePortChoice(1);
    QString error;
    if (!saveNetworkSettings(networkSettingsPath(config.path() + QStringLiteral("/rotor/rotor.ini")),
                             {true, QStringLiteral("127.0.0.1"), clickPort}, &error)) {
        note(QStringLiteral("click-wait: ") + error);
        return 1;
    }
    Simulator sim(config);
    if (!sim.start({})) {  // paced at 9600 baud
        note(QStringLiteral("click-wait: the simulator did not start"));
        return 1;
    }

    StatusTimingPort port;
    RecordingMessages messages;
    MainWindow window(port, messages);
    auto* button = window.findChild<QAbstractButton*>(QStringLiteral("command_qm"));
    window.show();
    runEvents(300);
    window.startUp();
    if (!button || !window.networkMenu().server().isListening()) {
        note(QStringLiteral("click-wait: the window does not serve the network: ")
             + messages.shown.join(QStringLiteral(" / ")));
        return 1;
    }

    Client clients[2];
    for (Client& client : clients) {
        QObject::connect(&client.socket, &QTcpSocket::readyRead, [&client] { client.read(); });
        client.socket.connectToHost(QStringLiteral("127.0.0.1"), clickPort);
    }
    if (!runEventsUntil(
            [&] {
                return clients[0].socket.state() == QAbstractSocket::ConnectedState
                       && clients[1].socket.state() == QAbstractSocket::ConnectedState;
            },
            3000)) {
        note(QStringLiteral("click-wait: the clients did not connect"));
        return 1;
    }
    int asked = 0;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (Client& client : clients)
            client.socket.write("p\n");
        ++asked;
    });

    // The click waiting for its frame: when it was clicked, and the network frames sent by then.
    double clickedAt = 0;
    int networkFramesAtClick = 0;
    bool clickQueued = false;
    QList<double> waits;
    QList<double> queuedWaits;  // of the clicks that found a network exchange running
    int behindMore = 0;         // clicks whose frame also waited for a network exchange begun after the click
    int skipped = 0;            // moments at which the previous click had not yet gone out
    port.windowRuns = [button] { return !button->isEnabled(); };
    port.windowFrameOut = [&](double at) {
        if (clickedAt <= 0)
            return;
        waits << (at - clickedAt) * 1000;
        if (clickQueued)
            queuedWaits << waits.last();
        if (port.networkFrames > networkFramesAtClick)
            ++behindMore;
        clickedAt = 0;
    };

    QRandomGenerator random(31);
    QTimer clicker;
    clicker.setSingleShot(true);
    clicker.setTimerType(Qt::PreciseTimer);
    port.networkFrameOut = [&] {
        if (!clicker.isActive() && clickedAt <= 0)
            clicker.start(1 + int(random.bounded(8)));
    };
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (clickedAt > 0 || !button->isEnabled()) {
            ++skipped;
        } else {
            networkFramesAtClick = port.networkFrames;
            clickQueued = false;
            clickedAt = wallSeconds();
            // Runs the exchange at once (returning when it has ended), or queues it and returns.
            button->click();
            clickQueued = clickedAt > 0;
        }
    });

    const int networkBefore = int(port.networkMs.size());
    const int wholeBefore = int(port.networkWholeMs.size());
    poll.start();
    runEvents(int(seconds * 1000));
    clicker.stop();
    poll.stop();
    runEvents(300);

    const QList<double> network = port.networkMs.mid(networkBefore);
    const QList<double> whole = port.networkWholeMs.mid(wholeBefore);
    const int failures = clients[0].failures + clients[1].failures;
    const int answered = (clients[0].lines + clients[1].lines) / 2;
    note(QStringLiteral("click-wait: %1 clicks (%2 moments skipped); waits %3 ms")
             .arg(waits.size())
             .arg(skipped)
             .arg(listOf(waits, 1)));
    note(QStringLiteral("click-wait: %1 `p` asked, %2 answered, %3 failed; %4 network \"?\" exchanges (median %5 ms), "
                        "%6 window ones (median %7 ms); messages: %8")
             .arg(2 * asked)
             .arg(answered)
             .arg(failures)
             .arg(network.size())
             .arg(fixed(median(network), 1))
             .arg(port.windowMs.size())
             .arg(fixed(median(port.windowMs), 1))
             .arg(messages.shown.join(QStringLiteral(" / "))));
    if (!sim.running())
        note(QStringLiteral("click-wait: ") + sim.endText());

    const double longest = network.isEmpty() ? 0 : *std::max_element(network.begin(), network.end());
    const double worst = waits.isEmpty() ? 0 : *std::max_element(waits.begin(), waits.end());
    const double longestWhole = whole.isEmpty() ? 0 : *std::max_element(whole.begin(), whole.end());
    const bool clean = sim.running() && failures == 0 && !waits.isEmpty() && !network.isEmpty();
    printRow({name,
              QStringLiteral(
                  "wait median %1 ms, max %2 ms over %3 clicks; the %4 that found a network exchange running "
                  "waited at most %5 ms (%6 of them also behind a second one queued before them); longest network "
                  "\"?\" exchange %7 ms (median %8 ms, %9 exchanges); whole, from the port's opening to its closing, "
                  "%10 ms (median %11 ms)")
                  .arg(fixed(median(waits), 1), fixed(worst, 1))
                  .arg(waits.size())
                  .arg(queuedWaits.size())
                  .arg(fixed(queuedWaits.isEmpty() ? 0 : *std::max_element(queuedWaits.begin(), queuedWaits.end()), 1))
                  .arg(behindMore)
                  .arg(fixed(longest, 1), fixed(median(network), 1))
                  .arg(network.size())
                  .arg(fixed(longestWhole, 1), fixed(median(whole), 1)),
              goal,
              !clean                  ? QStringLiteral("FAIL (failed requests, no clicks or the simulator ended)")
              : worst <= longestWhole ? QStringLiteral("pass")
                                      : QStringLiteral("FAIL")});
    for (Client& client : clients)
        client.socket.disconnectFromHost();
    runEvents(100);
    return 0;
}
