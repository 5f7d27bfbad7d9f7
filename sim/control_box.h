// SPDX-License-Identifier: GPL-3.0-or-later
// The CBOX itself: reads command frames, keeps the parameter block, turns the rotor, answers.
#pragma once

#include "options.h"
#include "pty_line.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace cbox {

class SimLog;

// Where the box's output goes.
class Transmitter {
public:
    virtual ~Transmitter() = default;
    virtual void send(Transmission t, TimePoint now) = 0;
    virtual bool idle() const = 0;
    // Bytes waiting to go out (the other end may not be reading).
    virtual std::size_t backlog() const = 0;
};

class ControlBox {
public:
    ControlBox(const Options& options, SimLog& log, Transmitter& out, TimePoint now);

    // Bytes from the tool.
    void receive(std::string_view bytes, TimePoint now);
    // Turns the rotor and sends the periodic status frames that are due.
    void advance(TimePoint now);
    // When advance() has something to do next.
    std::optional<TimePoint> next_wake(TimePoint now) const;
    // The line was hung up and replaced: what was being received is lost.
    void line_replaced();

private:
    // The parameter block, fields 1 to 19 in wire order. Field 1 (the angle) and 2 (busy or ready) are
    // taken from the rotor when the block is sent.
    enum Field {
        Position = 1,
        State,
        StopMode,
        LowerLimit,
        UpperLimit,
        InvDelay,
        PwmOn,
        PwmOnTicks,
        PwmOffTicks,
        Ramp,
        PwmMinTicks,
        Optimize,
        PresDelay,
        Offset,
        MotCheck,
        CheckAngle,
        RotTimeout,
        DipSwitch,
        CalFactor,
        FieldCount = CalFactor
    };
    static constexpr int FirstWritable = StopMode;
    static constexpr int LastWritable = RotTimeout;
    static constexpr int ValueLines = LastWritable - FirstWritable + 1;
    static constexpr long DefaultCalFactor = 1000;

    void take_byte(char c, TimePoint now);
    void handle_frame(std::string_view body, TimePoint now);
    void handle_value_line(TimePoint now);
    void abandon_dialogue(const char* why);

    // Chooses whether the faults apply to the next frame of this letter, and counts it.
    bool choose_for_faults(char letter);
    // Queues a frame "STX A , letter , data CR" (followed by `after`, the W prompt), damaged as the faults say
    // when `faulted`.
    void send_frame(char letter, std::string_view data, bool faulted, TimePoint now, std::string_view after = {},
                    std::string note = {});
    void send_prompt(int after_line, TimePoint now);

    bool moving() const { return moving_; }
    bool absolute_mode() const { return field_[StopMode] == 2; }
    int angle() const;
    std::string status_data(bool busy) const;
    std::string parameter_block(bool busy) const;
    void stop_rotor(const char* how);

    const Options& options_;
    const FaultSet& faults_;
    SimLog& log_;
    Transmitter& out_;

    std::array<long, FieldCount + 1> field_{};
    double position_;
    double target_;
    bool moving_ = false;
    TimePoint last_motion_;

    bool streaming_ = false;
    TimePoint next_status_;

    enum class Input { Idle, Frame, ValueLine };
    Input input_ = Input::Idle;
    std::string frame_;
    std::string ignored_;

    // The W dialogue.
    int line_number_ = 0;  // the value line being received, 1 to 15
    std::string line_text_;
    std::array<std::optional<long>, ValueLines + 1> lines_{};
    bool dialogue_faulted_ = false;

    int frames_chosen_ = 0;
    bool backlog_reported_ = false;
};

}  // namespace cbox
