// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/exchange_lock.h"

bool ExchangeLock::run(const std::function<void()>& exchange, Kind kind)
{
    if (m_busy) {
        if (kind != Kind::Stop && !m_queueEveryClick)
            return false;
        m_queued.append({exchange, kind});
        return true;
    }
    m_busy = true;
    m_queueEveryClick = kind == Kind::MonitorFrame;
    exchange();
    // What was queued runs now, in order; what is clicked while it runs is refused or queued by
    // the ordinary rule (while the monitor runs, a queued exchange only sends its frame).
    m_queueEveryClick = false;
    if (m_hold) {
        m_hold = false;
        for (qsizetype i = 0; i < m_queued.size();) {
            if (m_queued.at(i).kind == Kind::Stop)
                m_queued.takeAt(i).exchange();
            else
                ++i;
        }
    } else {
        while (!m_queued.isEmpty())
            m_queued.takeFirst().exchange();
    }
    m_busy = false;
    if (onIdle)
        onIdle();
    return true;
}
