#include "protocol/exchange_lock.h"

bool ExchangeLock::run(const std::function<void()>& exchange, Kind kind)
{
    if (m_busy) {
        if (kind != Kind::Stop)
            return false;
        m_queuedStops.append(exchange);
        return true;
    }
    m_busy = true;
    exchange();
    while (!m_queuedStops.isEmpty())
        m_queuedStops.takeFirst()();
    m_busy = false;
    if (onIdle)
        onIdle();
    return true;
}
