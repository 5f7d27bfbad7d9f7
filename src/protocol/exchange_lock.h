// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps exchanges apart. Every wait lets the window process its events, so the operator can
// click while an exchange waits for its reply. A second exchange must never interleave its bytes
// with the running one, read its reply or close the port under it: while one runs, a click is
// refused, except a stop, which is a safety action and is sent as soon as the running exchange
// has ended. While the monitor reads a frame no click is refused: every exchange then only sends
// its frame, so each is queued and sent right after the frame, in the order clicked.

#include <QList>
#include <functional>

class ExchangeLock {
public:
    enum class Kind {
        Ordinary,
        Stop,
        // The monitor reading one frame: every click meanwhile is queued behind it.
        MonitorFrame,
    };

    // Runs `exchange` now when no other exchange runs, then every exchange queued meanwhile, in
    // the order clicked. Returns false when the click was refused; a stop is never refused.
    bool run(const std::function<void()>& exchange, Kind kind = Kind::Ordinary);
    bool busy() const { return m_busy; }
    // Called each time the running exchange, and those queued behind it, have ended.
    std::function<void()> onIdle;

private:
    bool m_busy = false;
    bool m_queueEveryClick = false;
    QList<std::function<void()>> m_queued;
};
