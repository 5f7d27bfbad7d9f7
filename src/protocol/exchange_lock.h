// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps exchanges apart. Every wait lets the window process its events, so the operator can
// click while an exchange waits for its reply. A second exchange must never interleave its bytes
// with the running one, read its reply or close the port under it: while one runs, a click is
// refused. While the monitor reads a frame no click is refused: every exchange then only sends
// its frame, so each is queued and sent right after the frame, in the order clicked.
//
// A stop is the rotor's one safety control and is never held back behind another exchange: it
// runs at once, inside the wait of whatever runs. Its frame goes out, the link hands it its own
// reply, and the interrupted exchange then goes on with its own wait and reply as before. The one
// place a stop waits is the parameter write's dialogue, in which the box takes any line it gets
// as a value: there it is held until the dialogue ends (see StopHold).
//
// A frame may also end monitoring (a bad frame, a lost port, STOP of the monitor clicked while it
// was read). What was queued behind it is then no longer a send-only frame: it waits for the
// exchange that closes monitoring, after which it runs whole, in the order clicked.

#include <QList>
#include <functional>

class SerialLink;

class ExchangeLock {
public:
    enum class Kind {
        Ordinary,
        Stop,
        // The monitor reading one frame: every click meanwhile is queued behind it.
        MonitorFrame,
        // A status query nobody clicked (the dial following a turn): every click meanwhile is
        // queued behind it, as behind a frame, so that the query never costs a refused click.
        Poll,
        // An exchange no one clicked (a tracking program's request over the network): it waits
        // behind whatever runs instead of being refused, and a click while it runs is queued
        // behind it, never refused.
        Background,
    };

    explicit ExchangeLock(SerialLink& link) : m_link(link) {}

    // Runs `exchange` now when no other exchange runs, then every exchange queued meanwhile, in
    // the order clicked. A stop runs now whatever runs, unless stops are held. Returns false when
    // the click was refused; a stop and a background exchange are never refused.
    bool run(const std::function<void()>& exchange, Kind kind = Kind::Ordinary);
    bool busy() const { return m_state != State::Idle; }
    // Called from inside a monitor frame that ends monitoring: the clicks queued behind it wait,
    // in order, behind the next exchange run.
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

    // Holds the stops clicked from its making until release(): the parameter write's dialogue.
    class StopHold {
    public:
        explicit StopHold(ExchangeLock& lock);
        ~StopHold() { release(); }
        StopHold(const StopHold&) = delete;
        StopHold& operator=(const StopHold&) = delete;
        // The held stops go out now, in the order clicked; true when any did.
        bool release();

    private:
        ExchangeLock& m_lock;
        bool m_holding = true;
    };
    // Runs, once, before a stop that interrupts the exchange running now: an exchange that holds
    // lines a stop may need (the search for the box, with ports open) lets go of them and ends.
    // The exchange sets it and clears it when it ends.
    std::function<void()> beforeStop;
    // Told true when a stop is held, false when the held stops have gone.
    std::function<void(bool held)> onStopHeld;

private:
    enum class State {
        Idle,               // nothing runs: the next click runs at once
        Running,            // an exchange runs: a click is refused, a stop runs inside it
        RunningBackground,  // a background exchange runs: a click is queued behind it
        ReadingFrame,       // the monitor reads a frame or the dial polls: every click is
                            // queued behind it
        EndingMonitoring,   // the frame read ends monitoring: every click is queued and waits for
                            // the next exchange
    };

    // Runs a stop inside the exchange that runs now, leaving that exchange's wait as it was.
    void interruptWith(const std::function<void()>& stop);

    SerialLink& m_link;
    State m_state = State::Idle;
    std::function<void()> m_whenIdle;
    // What waits: clicked while the monitor read a frame, or held back for the exchange after monitoring.
    struct Queued {
        std::function<void()> run;
        Kind kind;
    };
    QList<Queued> m_queued;
    bool m_stopsHeld = false;
    QList<std::function<void()>> m_heldStops;
};
