// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/exchange_lock.h"

#include <utility>

bool ExchangeLock::run(const std::function<void()>& exchange, Kind kind)
{
    switch (m_state) {
    case State::Running:
        if (kind != Kind::Stop)
            return false;
        [[fallthrough]];
    case State::ReadingFrame:
    case State::EndingMonitoring: m_queued.append({exchange, kind}); return true;
    case State::Idle: break;
    }
    m_state = kind == Kind::MonitorFrame ? State::ReadingFrame : State::Running;
    exchange();
    // What was queued runs now, in order; what is clicked while it runs is refused or queued by
    // the ordinary rule (while the monitor runs, a queued exchange only sends its frame). After a
    // frame that ended monitoring, only the stops run now.
    const bool stopsOnly = m_state == State::EndingMonitoring;
    m_state = State::Running;
    for (qsizetype i = 0; i < m_queued.size();) {
        if (!stopsOnly || m_queued.at(i).kind == Kind::Stop)
            m_queued.takeAt(i).exchange();
        else
            ++i;
    }
    m_state = State::Idle;
    if (m_whenIdle)
        std::exchange(m_whenIdle, nullptr)();
    return true;
}

void ExchangeLock::whenIdle(std::function<void()> request)
{
    if (busy())
        m_whenIdle = std::move(request);
    else
        request();
}
