// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/serve_command.h"

#include "network/network_exchanges.h"
#include "network/rotator_server.h"

#include <QEventLoop>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

void printLine(const QString& text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

#ifdef Q_OS_UNIX
int signalPipe[2] = {-1, -1};
void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &c, 1);
}
#endif

}  // namespace

int serveOnNetwork(Session& session, View& view, const QString& listen)
{
    QHostAddress address(QHostAddress::LocalHost);
    quint16 port = RotatorServer::defaultPort;
    if (!listen.isEmpty() && !parseListenAddress(listen, address, port)) {
        printLine(QStringLiteral("rotor: --listen takes ADDR:PORT (127.0.0.1:4533), not '%1'").arg(listen));
        return 2;
    }
    NetworkExchanges exchanges(session, view);
    RotatorServer server(exchanges);
    if (!server.listen(address, port)) {
        printLine(QStringLiteral("rotor: cannot listen on %1: %2").arg(listen, server.errorString()));
        return 3;
    }
    printLine(server.statusText());
    QObject::connect(&exchanges, &NetworkExchanges::failed, printLine);
    QEventLoop loop;
#ifdef Q_OS_UNIX
    if (::pipe(signalPipe) != 0)
        return 3;
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
#endif
    // As the window starts: S, then V for `_`. A box that does not answer leaves the firmware
    // unknown and the server up.
    exchanges.startUp();
    loop.exec();
    server.close();
    return 0;
}
