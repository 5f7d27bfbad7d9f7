// SPDX-License-Identifier: GPL-3.0-or-later
// The serial line as the box sees it: the master side of a pseudo-terminal, with output paced
// at the line rate and the hang-up fault.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace cbox {

class SimLog;

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// A piece of output: a reply frame (with what follows it), a prompt, a status frame.
struct Transmission {
    std::string bytes;
    TimePoint not_before{};                   // not started before this moment (delayed reply)
    std::optional<std::size_t> hangup_after;  // hang up once this many bytes of it have gone out
    std::string note;                         // for the log
};

class PtyLine {
public:
    PtyLine(SimLog& log, bool fast, int baud);
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Opens a fresh pseudo-terminal; the previous one, if any, is closed first.
    bool open(std::string& error);
    void close();
    const std::string& device() const { return device_; }
    int fd() const { return master_; }

    void send(Transmission t, TimePoint now);
    // Nothing queued and nothing on its way.
    bool idle() const { return queue_.empty(); }
    std::size_t queued_bytes() const { return queued_bytes_; }
    // The pty would not take more: wait until it is writable.
    bool blocked() const { return blocked_; }
    // When pump() has something to do next, if it is waiting on time.
    std::optional<TimePoint> next_due() const;

    enum class Pump { Ok, HungUp, Failed };
    // Writes what is due by `now`.
    Pump pump(TimePoint now);

    // Reads what the tool has sent; 0 when nothing is there (or nobody is connected).
    std::size_t read(char* buffer, std::size_t size);

private:
    SimLog& log_;
    bool fast_;
    Clock::duration char_time_;
    int master_ = -1;
    int own_slave_ = -1;
    std::string device_;

    std::deque<Transmission> queue_;
    std::size_t queued_bytes_ = 0;
    std::size_t front_sent_ = 0;  // bytes of the front transmission already written
    TimePoint last_char_done_{};  // when the last character finished on the line
    TimePoint next_char_done_{};  // when the next character of the front transmission finishes
    bool front_started_ = false;
    bool blocked_ = false;
    // Set once the characters before a hang-up are out: the line lingers until the other end has taken
    // them, because a hang-up throws away whatever it has not read yet.
    std::optional<TimePoint> hangup_since_;
};

}  // namespace cbox
