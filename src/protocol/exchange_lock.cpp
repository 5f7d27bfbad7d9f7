// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/exchange_lock.h"

bool ExchangeLock::run(const std::function<void()>& exchange, Kind kind)
{
    if (m_busy) {
        if (kind != Kind::Stop && !m_queueEveryClick)
            return false;
        m_queued.append(exchange);
        return true;
    }
    m_busy = true;
    m_queueEveryClick = kind == Kind::MonitorFrame;
    exchange();
    // What was queued runs now, in order; what is clicked while it runs is refused or queued by
    // the ordinary rule (while the monitor runs, a queued exchange only sends its frame).
    m_queueEveryClick = false;
    while (!m_queued.isEmpty())
        m_queued.takeFirst()();
    m_busy = false;
    if (onIdle)
        onIdle();
    return true;
}
