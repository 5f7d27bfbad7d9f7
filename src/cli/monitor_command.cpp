// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/monitor_command.h"

#include "cli/cli_report.h"
#include "cli/console_messages.h"
#include "cli/signal_watch.h"
#include "protocol/session.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Each frame as soon as it is read: a status frame as its position and state in JSON, every other
// frame as the line the window lists.
class ConsoleListing : public MonitorListing {
public:
    explicit ConsoleListing(bool json) : m_json(json) {}

    void list(const MonitorFrame& frame) override
    {
        if (!m_json) {
            printOut(printable(frame.line) + QLatin1Char('\n'));
            return;
        }
        QJsonObject object = frame.reading ? statusJson(*frame.reading) : QJsonObject();
        object.insert(QStringLiteral("frame"), frame.number);
        object.insert(QStringLiteral("line"), frame.line);
        printOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
    }

private:
    bool m_json;
};

QString endText(CommunicationMonitor::End end)
{
    switch (end) {
    case CommunicationMonitor::End::Frame: return QStringLiteral("a frame that is not the CBOX's ended monitoring");
    case CommunicationMonitor::End::PortLost: return QStringLiteral("the port was lost");
    default: return {};
    }
}

}  // namespace

int monitorOnConsole(Session& session, SignalWatch& watch, bool json)
{
    CommunicationMonitor& monitor = session.monitor();
    ConsoleListing listing(json);
    monitor.setListing(&listing);
    // The first signal ends monitoring as STOP does: the closing S still goes out. A second one
    // ends the program at once.
    watch.onSignal([&monitor] {
        if (monitor.state() == MonitorState::Running)
            monitor.stop();
    });
    monitor.run();
    monitor.setListing(nullptr);

    const std::optional<bool> answered = monitor.closingAnswered();
    const QString closing = !answered ? QStringLiteral("the closing S was not sent")
                            : *answered
                                ? QStringLiteral("the closing S was sent and the CBOX answered it")
                                : QStringLiteral("the closing S was sent; the CBOX's answer was missing or faulty");
    const int read = monitor.framesRead();
    const QString frames = QStringLiteral("%1 frame%2").arg(read).arg(read == 1 ? "" : "s");
    if (monitor.end() == CommunicationMonitor::End::Stopped && watch.caught()) {
        printError(QStringLiteral("Interrupted by %1 after %2: %3.").arg(watch.name(), frames, closing));
        return answered.value_or(false) ? 0 : 1;
    }
    printError(QStringLiteral("Monitoring ended after %1: %2; %3.").arg(frames, endText(monitor.end()), closing));
    return 1;
}
