// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/exchange_lock.h"

#include "serial/serial_link.h"

#include <algorithm>
#include <utility>

bool ExchangeLock::run(const std::function<void()>& exchange, Kind kind)
{
    if (kind == Kind::Stop && m_state != State::Idle) {
        if (m_stopsHeld) {
            m_heldStops.append(exchange);
            if (onStopHeld)
                onStopHeld(true);
        } else {
            interruptWith(exchange);
        }
        return true;
    }
    switch (m_state) {
    case State::Running:
        if (kind != Kind::Background)
            return false;
        m_queued.append({exchange, kind});
        return true;
    case State::RunningBackground:
        // A click runs right after the network's exchange that runs, ahead of those waiting: the
        // operator at the window never waits for more than one.
        if (kind != Kind::Background) {
            auto firstBackground = std::find_if(m_queued.begin(), m_queued.end(),
                                                [](const Queued& q) { return q.kind == Kind::Background; });
            m_queued.insert(firstBackground, {exchange, kind});
            return true;
        }
        m_queued.append({exchange, kind});
        return true;
    case State::ReadingFrame:
    case State::EndingMonitoring: m_queued.append({exchange, kind}); return true;
    case State::Idle: break;
    }
    m_state = kind == Kind::MonitorFrame || kind == Kind::Poll ? State::ReadingFrame
              : kind == Kind::Background                       ? State::RunningBackground
                                                               : State::Running;
    exchange();
    // What was queued runs now, in order; what is clicked while it runs is refused or queued by
    // the ordinary rule (while the monitor runs, a queued exchange only sends its frame). After a
    // frame that ended monitoring, it waits for the exchange that closes monitoring.
    const bool holdQueued = m_state == State::EndingMonitoring;
    while (!holdQueued && !m_queued.isEmpty()) {
        const Queued next = m_queued.takeFirst();
        m_state = next.kind == Kind::Background ? State::RunningBackground : State::Running;
        next.run();
    }
    m_state = State::Idle;
    if (m_whenIdle)
        std::exchange(m_whenIdle, nullptr)();
    return true;
}

void ExchangeLock::interruptWith(const std::function<void()>& stop)
{
    if (beforeStop)
        std::exchange(beforeStop, nullptr)();
    SerialLink::Interruption interruption(m_link);
    stop();
}

void ExchangeLock::whenIdle(std::function<void()> request)
{
    if (busy())
        m_whenIdle = std::move(request);
    else
        request();
}

ExchangeLock::StopHold::StopHold(ExchangeLock& lock) : m_lock(lock) { m_lock.m_stopsHeld = true; }

bool ExchangeLock::StopHold::release()
{
    if (!m_holding)
        return false;
    m_holding = false;
    m_lock.m_stopsHeld = false;
    const bool any = !m_lock.m_heldStops.isEmpty();
    if (any && m_lock.onStopHeld)
        m_lock.onStopHeld(false);
    while (!m_lock.m_heldStops.isEmpty())
        m_lock.interruptWith(m_lock.m_heldStops.takeFirst());
    return any;
}
