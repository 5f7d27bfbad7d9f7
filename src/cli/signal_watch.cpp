// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/signal_watch.h"

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Watched[] = {SIGINT, SIGTERM, SIGHUP};
int pipeEnds[2] = {-1, -1};
std::atomic<int> signalsCaught{0};

void onSignal(int number)
{
    if (signalsCaught.fetch_add(1) > 0) {
        // The second: no more waiting for anything.
        static const char text[] = "rotor: ended at once by a second signal\n";
        [[maybe_unused]] const auto said = ::write(STDERR_FILENO, text, sizeof text - 1);
        ::_exit(1);
    }
    const char c = char(number);
    [[maybe_unused]] const auto written = ::write(pipeEnds[1], &c, 1);
}

}  // namespace

SignalWatch::SignalWatch()
{
    ::signal(SIGPIPE, SIG_IGN);
    if (::pipe(pipeEnds) != 0)
        return;
    ::fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { deliver(); });
    struct sigaction action = {};
    action.sa_handler = ::onSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : Watched)
        ::sigaction(number, &action, nullptr);
}

SignalWatch::~SignalWatch()
{
    if (!m_notifier)
        return;
    for (const int number : Watched)
        ::signal(number, SIG_DFL);
    m_notifier.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

void SignalWatch::deliver()
{
    char c = 0;
    if (::read(pipeEnds[0], &c, 1) != 1 || caught())
        return;
    m_name = c == SIGTERM  ? QStringLiteral("SIGTERM")
             : c == SIGHUP ? QStringLiteral("SIGHUP")
                           : QStringLiteral("SIGINT");
    if (m_action)
        m_action();
}

#else

SignalWatch::SignalWatch() = default;
SignalWatch::~SignalWatch() = default;
void SignalWatch::deliver() {}

#endif
