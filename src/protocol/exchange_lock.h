// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps exchanges apart. Every wait lets the window process its events, so the operator can
// click while an exchange waits for its reply. A second exchange must never interleave its bytes
// with the running one, read its reply or close the port under it: while one runs, a click is
// refused, except a stop, which is a safety action and is sent as soon as the running exchange
// has ended. While the monitor reads a frame no click is refused: every exchange then only sends
// its frame, so each is queued and sent right after the frame, in the order clicked.
//
// A frame may also end monitoring (a bad frame, a lost port, STOP of the monitor clicked while it
// was read). What was queued behind it is then no longer a send-only frame: the stops still go out
// at once, and everything else waits for the exchange that closes monitoring, after which it runs
// whole, in the order clicked.

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
    bool busy() const { return m_state != State::Idle; }
    // Called from inside a monitor frame that ends monitoring: when the frame has ended only the
    // stops queued behind it run; the other clicks wait, in order, behind the next exchange run.
    void holdQueuedUntilNextExchange()
    {
        if (m_state == State::ReadingFrame)
            m_state = State::EndingMonitoring;
    }
    // Forgets the clicks held back (the application is quitting and no closing exchange comes).
    void dropHeld() { m_queued.clear(); }
    // Runs `request` once the running exchange, and those queued behind it, have ended (a close
    // asked for while an exchange waits); at once when none runs. One request waits at a time: a
    // later one takes the place of the earlier.
    void whenIdle(std::function<void()> request);

private:
    enum class State {
        Idle,              // nothing runs: the next click runs at once
        Running,           // an exchange runs: a stop is queued, any other click refused
        ReadingFrame,      // the monitor reads a frame: every click is queued behind it
        EndingMonitoring,  // the frame read ends monitoring: every click is queued; after it
                           // only the stops run, the rest waits for the next exchange
    };
    struct Queued {
        std::function<void()> exchange;
        Kind kind;
    };

    State m_state = State::Idle;
    std::function<void()> m_whenIdle;
    // What waits: clicked while something ran, or held back for the exchange after monitoring.
    QList<Queued> m_queued;
};
