// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The communication monitor: keeps the port open and reads every frame the CBOX sends, decoding
// status frames live into `fast_pos` and `fast_status`, until it is stopped, a frame ends it, the
// port is lost or the application quits; then the closing S.
//
// It keeps its state (idle, running, ending) and the caption of `cmd_monitor` follows it: "STOP"
// while it runs, "START..." otherwise. While it runs, every other exchange only sends its frame and
// the reply comes to the monitor. Whoever shows the frames (the window's listing, the command
// line's output) is its listing.

#include "protocol/monitor_frame.h"
#include "protocol/view.h"

#include <QString>
#include <optional>

class Commands;
class ExchangeLock;
class SerialLink;

// Where the monitor's lines go: one line per frame ("1: <h|A,?,45,R|r>").
class MonitorListing {
public:
    virtual ~MonitorListing() = default;
    // Listening begins: lines follow.
    virtual void listingStarts() {}
    // One frame with a line to list (frame.line); a status frame's is subject to the listing's bound.
    virtual void list(const MonitorFrame& frame) = 0;
    // Listening is over; the closing S follows.
    virtual void listingEnds() {}
};

class CommunicationMonitor {
public:
    // Why the last run ended.
    enum class End {
        Stopped,   // stop(): the click on STOP, a signal
        Frame,     // a frame with a wrong identifier or first separator
        PortLost,  // the port closed or failed under it
        Quitting,  // the application quits: no closing S
    };

    CommunicationMonitor(SerialLink& link, ExchangeLock& lock, Commands& commands, View& view);

    // Who shows the lines; none until set (the frames are then read and decoded, not listed).
    void setListing(MonitorListing* listing) { m_listing = listing; }

    // Starts monitoring and returns once it has ended, the closing S included. False, with nothing
    // changed, when another exchange runs.
    bool run();
    // While it runs: ends monitoring once the frame being read (if any) is over.
    void stop();

    // Idle, running or ending. Only the monitor changes it, and a test that needs a running monitor
    // without a line.
    MonitorState state() const { return m_state; }
    void setState(MonitorState state);
    // The frames read in this run (or the last one), why the last run ended, and whether its
    // closing S was answered (nothing when it was not sent).
    int framesRead() const { return m_frameCounter - 1; }
    End end() const { return m_end; }
    std::optional<bool> closingAnswered() const { return m_closingAnswered; }

    // A stop sent while the monitor runs or ends: its reply may come before the closing S's and is
    // passed over by it. A stop goes out at once, also while a frame that ends monitoring is read.
    void stopSent() { ++m_stopReplies; }

private:
    // Sleeps until STX arrives; false when monitoring is to end (stop, port lost, quitting).
    bool awaitHeader();
    // Reads one frame after its STX and lists it; false when the frame ends monitoring.
    bool readFrame();

    SerialLink& m_link;
    ExchangeLock& m_lock;
    Commands& m_commands;
    View& m_view;
    MonitorListing* m_listing = nullptr;
    MonitorState m_state = MonitorState::Idle;
    int m_frameCounter = 1;
    int m_stopReplies = 0;
    End m_end = End::Stopped;
    std::optional<bool> m_closingAnswered;
};
