// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/communication_monitor.h"

#include "protocol/commands.h"
#include "protocol/exchange_lock.h"
#include "protocol/monitor_frame.h"
#include "protocol/session_observer.h"
#include "serial/serial_link.h"

#include <utility>

namespace {

const QString STX = QStringLiteral("\x02");
const QString idleCaption = QStringLiteral("START...");
const QString runningCaption = QStringLiteral("STOP");

}  // namespace

CommunicationMonitor::CommunicationMonitor(SerialLink& link, ExchangeLock& lock, Commands& commands, View& view)
    : m_link(link),
      m_lock(lock),
      m_commands(commands),
      m_view(view)
{
}

void CommunicationMonitor::setState(MonitorState state)
{
    m_state = state;
    const QString& caption = state == MonitorState::Running ? runningCaption : idleCaption;
    if (m_view.text(Field::cmd_monitor) != caption)
        m_view.setText(Field::cmd_monitor, caption);
}

bool CommunicationMonitor::run()
{
    View& view = m_view;
    // The opening exchanges read their replies themselves: no click may run an exchange between
    // them. While another exchange runs, the start is refused and nothing changes.
    const bool started = m_lock.run([&] {
        view.DISABLE_MONITOR_BUTTON();
        view.setEnabled(Field::goto_replay, false);
        view.DISABLE_WRITE_BUTTON();
        m_commands.CMD_S();
        m_commands.CMD_STATUS();
        m_commands.CMD_M();
    });
    if (!started)
        return false;

    setState(MonitorState::Running);
    view.DISABLE_WRITE_BUTTON();
    view.ENABLE_MONITOR_BUTTON();

    m_frameCounter = 1;
    m_closingAnswered.reset();
    m_link.OPEN_PORT();
    if (SessionObserver* observer = view.sessionObserver())
        observer->monitorFrames(0, true);
    if (m_listing)
        m_listing->listingStarts();

    // While the monitor waits for a header, the exchange lock is free: a command clicked then only
    // sends its frame (the caption reads "STOP") and its reply is listed here. While a frame is
    // being read, the lock is held, so that no exchange can lower the timeout flag or disarm
    // Timer1 under the frame's character waits; every click meanwhile is sent right after the
    // frame, in the order clicked, but a stop, which goes out at once and leaves the frame's
    // waits as they were.
    bool goOn = true;
    while (goOn && m_state == MonitorState::Running && awaitHeader())
        m_lock.run(
            [&] {
                goOn = readFrame();
                // A frame that ends monitoring, or one during which STOP was clicked: the clicks
                // queued behind it are no longer send-only frames: they run after the closing S,
                // which passes over the replies to the stops sent meanwhile.
                if (!goOn || m_state != MonitorState::Running) {
                    setState(MonitorState::Ending);
                    m_lock.holdQueuedUntilNextExchange();
                }
            },
            ExchangeLock::Kind::MonitorFrame);
    if (m_listing)
        m_listing->listingEnds();
    m_end = m_link.aborted()                   ? End::Quitting
            : !goOn                            ? End::Frame
            : m_state != MonitorState::Running ? End::Stopped
                                               : End::PortLost;

    // Monitoring ends. A start is refused while the lock is held, so nothing further up the stack
    // holds it here and the closing S runs at once.
    if (m_link.port().isOpen())
        m_link.port().close();
    setState(MonitorState::Idle);
    // An application that is quitting waits for nothing any more: no closing exchange then, and
    // no click held back for after it.
    if (!m_link.aborted())
        m_lock.run([&] { m_closingAnswered = !m_commands.CMD_S_AFTER_MONITOR(std::exchange(m_stopReplies, 0)); });
    else
        m_lock.dropHeld();
    m_stopReplies = 0;
    view.setEnabled(Field::goto_replay, true);
    view.ENABLE_BUTTONS();
    if (SessionObserver* observer = view.sessionObserver())
        observer->monitorFrames(framesRead(), false);
    return true;
}

void CommunicationMonitor::stop()
{
    setState(MonitorState::Ending);
    m_view.ENABLE_MONITOR_BUTTON();
    m_view.setEnabled(Field::goto_replay, true);
    m_view.ENABLE_WRITE_BUTTON();
    // The listening loop may be asleep waiting for a header: let it see the new state.
    m_link.wake();
}

bool CommunicationMonitor::awaitHeader()
{
    // No time limit: the wait sleeps until a character arrives, the stop wakes it, the port is
    // lost or the application quits.
    m_link.yieldToEvents();
    for (;;) {
        m_link.yieldToEvents();
        if (m_state != MonitorState::Running || m_link.aborted() || !m_link.port().isOpen())
            return false;
        const QString c = m_link.readWaiting();
        if (c == STX)
            return true;
        if (c.isEmpty())
            m_link.sleep();
    }
}

bool CommunicationMonitor::readFrame()
{
    const int number = m_frameCounter++;
    if (SessionObserver* observer = m_view.sessionObserver())
        observer->monitorFrames(number, true);
    MonitorFrameReader reader(m_link, m_view);
    const MonitorFrame frame = reader.read(number);
    if (!frame.line.isEmpty() && m_listing)
        m_listing->list(frame);
    return !frame.endsMonitoring;
}
