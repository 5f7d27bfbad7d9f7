// SPDX-License-Identifier: GPL-3.0-or-later
#include "control_box.h"

#include "sim_log.h"
#include "wire_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cbox {

namespace {

constexpr std::size_t MaxFrameLength = 64;
constexpr std::size_t MaxLineLength = 64;
constexpr long FastStop = 999;
constexpr long SoftStop = 977;

// A number field of the parameter block: five digits, or "-" and five digits.
std::string five_digits(long value)
{
    value = std::clamp(value, -99999L, 99999L);
    char buffer[32];
    if (value < 0)
        std::snprintf(buffer, sizeof buffer, "-%05ld", -value);
    else
        std::snprintf(buffer, sizeof buffer, "%05ld", value);
    return buffer;
}

std::string number_text(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    return buffer;
}

}  // namespace

ControlBox::ControlBox(const Options& options, SimLog& log, Transmitter& out, TimePoint now)
    : options_(options),
      faults_(options.faults),
      log_(log),
      out_(out),
      position_(options.position),
      target_(options.position),
      last_motion_(now),
      next_status_(now)
{
    // The block as the box leaves the factory: south-stop, limits 0..500, 3 s delays, PWM 30/0 ticks,
    // ramp 10, minimum 15 ticks, optimize on, offset 0, no rotation check, check angle 2, 5 s timeout.
    const std::array<long, FieldCount + 1> defaults = {0,  0,  0, 1,    0, 500, 1829, 1,    30, 0,
                                                       10, 15, 1, 1829, 0, 0,   2,    3049, 0,  DefaultCalFactor};
    field_ = defaults;
    if (options.absolute)
        field_[StopMode] = 2;
}

int ControlBox::angle() const { return static_cast<int>(std::lround(position_)); }

std::string ControlBox::status_data(bool busy) const
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%03d,%c", std::clamp(angle(), 0, 999), busy ? 'B' : 'R');
    return buffer;
}

std::string ControlBox::parameter_block(bool busy) const
{
    std::string block;
    for (int i = Position; i <= FieldCount; ++i) {
        if (i != Position)
            block += ',';
        if (i == Position)
            block += five_digits(angle());
        else if (i == State)
            block += busy ? 'B' : 'R';
        else if (i == Offset)
            block += five_digits(field_[i] & 0xFFFF);  // 16-bit two's complement: -5 goes as 65531
        else
            block += five_digits(field_[i]);
    }
    return block;
}

void ControlBox::receive(std::string_view bytes, TimePoint now)
{
    advance(now);
    for (char c : bytes)
        take_byte(c, now);
    if (!ignored_.empty()) {
        log_.received(ignored_, "ignored, no STX before it");
        ignored_.clear();
    }
}

void ControlBox::take_byte(char c, TimePoint now)
{
    switch (input_) {
    case Input::Idle:
        if (c == STX) {
            if (!ignored_.empty()) {
                log_.received(ignored_, "ignored, no STX before it");
                ignored_.clear();
            }
            input_ = Input::Frame;
            frame_.clear();
        } else {
            ignored_ += c;
        }
        break;
    case Input::Frame:
        if (c == STX) {
            log_.received(std::string(1, STX) + frame_, "incomplete frame dropped: a new STX came");
            frame_.clear();
        } else if (c == CR) {
            input_ = Input::Idle;
            handle_frame(frame_, now);
        } else if (frame_.size() >= MaxFrameLength) {
            log_.received(std::string(1, STX) + frame_, "frame too long, dropped");
            input_ = Input::Idle;
        } else {
            frame_ += c;
        }
        break;
    case Input::ValueLine:
        if (c == STX) {
            abandon_dialogue("a new frame came");
            input_ = Input::Frame;
            frame_.clear();
        } else if (c == CR) {
            handle_value_line(now);
        } else if (line_text_.size() < MaxLineLength) {
            line_text_ += c;
        }
        break;
    }
}

bool ControlBox::choose_for_faults(char letter)
{
    if (!faults_.damages_frames())
        return false;
    if (!faults_.on_letters.empty() && faults_.on_letters.find(letter) == std::string::npos)
        return false;
    if (faults_.count && frames_chosen_ >= *faults_.count)
        return false;
    ++frames_chosen_;
    return true;
}

void ControlBox::handle_frame(std::string_view body, TimePoint now)
{
    const std::string whole = std::string(1, STX) + std::string(body) + CR;
    if (body.empty() || body[0] != 'A') {
        log_.received(whole, "identifier is not A: not for this box");
        return;
    }
    if (body.size() < 2) {
        log_.received(whole, "no command letter");
        return;
    }
    const char letter = body[1];
    const std::string_view data = body.substr(2);
    if (std::string_view("?SMVGCcFKLW").find(letter) == std::string_view::npos) {
        log_.received(whole, "unknown command, no reply");
        return;
    }
    log_.received(whole);

    const bool faulted = choose_for_faults(letter);
    if (faulted && faults_.silent) {
        log_.note("fault: silent, command ignored");
        return;
    }
    const bool busy = moving_ || (faulted && faults_.busy);
    const std::string busy_note = faulted && faults_.busy ? "fault: busy" : (moving_ ? "busy: turning" : "");

    switch (letter) {
    case '?': send_frame('?', status_data(busy), faulted, now, {}, busy_note); break;
    case 'S':
        if (streaming_)
            log_.note("status frames stopped");
        streaming_ = false;
        send_frame('S', "R", faulted, now);
        break;
    case 'M':
        if (absolute_mode()) {
            send_frame('M', "B", faulted, now, {}, "absolute mode");
        } else {
            send_frame('M', "R", faulted, now);
            if (!streaming_)
                log_.note("status frames started, every " + std::to_string(options_.status_interval_ms) + " ms");
            streaming_ = true;
            next_status_ = now + std::chrono::milliseconds(options_.status_interval_ms);
        }
        break;
    case 'V': {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%05d", options_.version_number);
        send_frame('V', buffer, faulted, now);
        break;
    }
    case 'G': {
        const auto value = parse_whole(data);
        if (!value) {
            send_frame('G', "E", faulted, now, {}, "not a whole number");
        } else if (*value == FastStop || *value == SoftStop) {
            stop_rotor(*value == FastStop ? "fast stop" : "soft stop");
            send_frame('G', "R", faulted, now);
        } else if (*value < field_[LowerLimit] || *value > field_[UpperLimit]) {
            send_frame('G', "E", faulted, now, {},
                       "outside the limits " + std::to_string(field_[LowerLimit]) + ".."
                           + std::to_string(field_[UpperLimit]));
        } else {
            // A box that lands off the angle asked, by the amount --go-to-error says.
            const long end = std::clamp(*value + options_.go_to_error, 0L, 999L);
            target_ = static_cast<double>(end);
            moving_ = target_ != position_;
            last_motion_ = now;
            log_.note("turning from " + number_text(position_) + " to " + std::to_string(end));
            send_frame('G', "R", faulted, now);
        }
        break;
    }
    case 'C':
    case 'c':
    case 'F':
    case 'K': {
        if (busy) {
            send_frame(letter, "B", faulted, now, {}, busy_note);
            break;
        }
        if (!absolute_mode()) {
            send_frame(letter, "B", faulted, now, {}, "not in absolute mode");
            break;
        }
        const auto value = parse_whole(data);
        if (letter == 'C') {
            log_.note("calibration over 360 degrees");
        } else if (letter == 'c') {
            field_[CalFactor] = DefaultCalFactor;
            log_.note("default calibration: factor " + std::to_string(DefaultCalFactor));
        } else if (letter == 'F') {
            if (!value || *value < 0 || *value > 99999) {
                send_frame(letter, "E", faulted, now, {}, "factor is not a whole number 0..99999");
                break;
            }
            field_[CalFactor] = *value;
            log_.note("calibration factor " + std::to_string(*value));
        } else {
            if (!value || *value < 0 || *value > 999) {
                send_frame(letter, "E", faulted, now, {}, "angle is not a whole number 0..999");
                break;
            }
            position_ = target_ = static_cast<double>(*value);
            log_.note("calibrated: the rotor is at " + std::to_string(*value));
        }
        send_frame(letter, "R", faulted, now);
        break;
    }
    case 'L': send_frame('L', parameter_block(busy), faulted, now, {}, busy_note); break;
    case 'W':
        if (busy) {
            send_frame('W', "B", faulted, now, {}, busy_note);
            break;
        }
        dialogue_faulted_ = faulted;
        line_number_ = 1;
        line_text_.clear();
        lines_.fill(std::nullopt);
        input_ = Input::ValueLine;
        {
            char prompt = 'N';
            if (const auto it = faults_.prompts.find(0); faulted && it != faults_.prompts.end())
                prompt = it->second;
            send_frame('W', "R", faulted, now, std::string(1, prompt), "awaiting 15 value lines");
        }
        break;
    }
}

void ControlBox::handle_value_line(TimePoint now)
{
    const int k = line_number_;
    log_.received(line_text_ + CR, "W value line " + std::to_string(k));
    lines_[k] = parse_leading_whole(line_text_);
    line_text_.clear();
    if (k < ValueLines) {
        ++line_number_;
        send_prompt(k, now);
        return;
    }

    for (int i = 1; i <= ValueLines; ++i) {
        const int f = FirstWritable + i - 1;
        if (!lines_[i]) {
            log_.note("value line " + std::to_string(i) + " holds no number: field " + std::to_string(f) + " kept");
            continue;
        }
        const long low = f == Offset ? -32768 : -99999;
        const long high = f == Offset ? 65535 : 99999;
        const long value = std::clamp(*lines_[i], low, high);
        if (value != *lines_[i])
            log_.note("value line " + std::to_string(i) + " out of range, stored as " + std::to_string(value));
        field_[f] = value;
    }
    log_.note("parameters written: " + parameter_block(moving_));
    input_ = Input::Idle;
    line_number_ = 0;
    send_prompt(k, now);
}

void ControlBox::send_prompt(int after_line, TimePoint now)
{
    char c = after_line < ValueLines ? 'N' : CR;
    std::string note =
        after_line < ValueLines ? "prompt for value line " + std::to_string(after_line + 1) : "end of the value lines";
    if (const auto it = faults_.prompts.find(after_line); dialogue_faulted_ && it != faults_.prompts.end()) {
        c = it->second;
        note += ", fault: damaged prompt";
    }
    out_.send(Transmission{std::string(1, c), now, std::nullopt, note}, now);
}

void ControlBox::abandon_dialogue(const char* why)
{
    log_.note("W dialogue abandoned after " + std::to_string(line_number_ - 1) + " value lines (" + why
              + "); nothing stored");
    input_ = Input::Idle;
    line_number_ = 0;
    line_text_.clear();
}

void ControlBox::send_frame(char letter, std::string_view data, bool faulted, TimePoint now, std::string_view after,
                            std::string note)
{
    std::string bytes;
    bytes += STX;
    bytes += 'A';
    bytes += ',';
    bytes += letter;
    bytes += ',';
    bytes += data;
    bytes += CR;
    const std::size_t frame_length = bytes.size();
    bytes += after;

    Transmission t{};
    t.not_before = now;
    std::string faults;
    auto add = [&faults](const std::string& text) { faults += (faults.empty() ? "fault: " : ", ") + text; };
    if (faulted) {
        if (faults_.identifier) {
            bytes[1] = *faults_.identifier;
            add("identifier");
        }
        if (faults_.separator1) {
            bytes[2] = *faults_.separator1;
            add("separator 1");
        }
        if (faults_.echo) {
            bytes[3] = *faults_.echo;
            add("echo");
        }
        if (faults_.separator2) {
            bytes[4] = *faults_.separator2;
            add("separator 2");
        }
        if (faults_.terminator) {
            bytes[frame_length - 1] = *faults_.terminator;
            add("terminator");
        }
        if (faults_.drop_at && static_cast<std::size_t>(*faults_.drop_at) <= bytes.size()) {
            bytes.erase(static_cast<std::size_t>(*faults_.drop_at) - 1, 1);
            add("character " + std::to_string(*faults_.drop_at) + " dropped");
        }
        if (faults_.cut_after && static_cast<std::size_t>(*faults_.cut_after) < bytes.size()) {
            bytes.resize(static_cast<std::size_t>(*faults_.cut_after));
            add("cut after " + std::to_string(*faults_.cut_after) + " characters");
        }
        if (faults_.hangup_after) {
            t.hangup_after = std::min(static_cast<std::size_t>(*faults_.hangup_after), bytes.size());
            add("hang-up after " + std::to_string(*t.hangup_after) + " characters");
        }
        if (faults_.noise) {
            bytes.insert(0, *faults_.noise);
            if (t.hangup_after)
                *t.hangup_after += faults_.noise->size();
            add("noise");
        }
        if (faults_.delay_ms) {
            t.not_before = now + std::chrono::milliseconds(*faults_.delay_ms);
            add("delayed " + std::to_string(*faults_.delay_ms) + " ms");
        }
        if (faults_.busy)
            add("busy");
    }
    if (!faults.empty())
        note = note.empty() ? faults : note + ", " + faults;
    t.bytes = std::move(bytes);
    t.note = std::move(note);
    out_.send(std::move(t), now);
}

void ControlBox::stop_rotor(const char* how)
{
    if (moving_)
        log_.note(std::string(how) + ": stopped at " + number_text(position_));
    else
        log_.note(std::string(how) + ": not turning");
    moving_ = false;
    target_ = position_;
}

void ControlBox::advance(TimePoint now)
{
    if (moving_) {
        const double elapsed = std::chrono::duration<double>(now - last_motion_).count();
        const double step = options_.speed * std::max(elapsed, 0.0);
        const double distance = target_ - position_;
        if (std::fabs(distance) <= step) {
            position_ = target_;
            moving_ = false;
            log_.note("arrived at " + std::to_string(angle()));
        } else {
            position_ += std::copysign(step, distance);
        }
    }
    last_motion_ = now;

    if (!streaming_)
        return;
    const bool due = options_.status_interval_ms == 0 ? (out_.idle() && now >= next_status_) : now >= next_status_;
    if (!due)
        return;
    constexpr std::size_t MaxBacklog = 16384;
    if (out_.backlog() > MaxBacklog) {
        // Nobody is reading: the frames would only pile up here.
        if (!backlog_reported_)
            log_.note("nobody is reading the line: status frames left out until it drains");
        backlog_reported_ = true;
        next_status_ = now + std::chrono::milliseconds(std::max(options_.status_interval_ms, 10));
        return;
    }
    backlog_reported_ = false;
    const bool faulted = choose_for_faults('?');
    if (faulted && faults_.silent) {
        log_.note("fault: silent, status frame left out");
    } else {
        const bool busy = moving_ || (faulted && faults_.busy);
        send_frame('?', status_data(busy), faulted, now, {}, "status");
    }
    if (options_.status_interval_ms == 0) {
        // Back to back: the next one goes when this one is out; a frame left out costs its own length.
        next_status_ = faulted && faults_.silent ? now + std::chrono::milliseconds(10) : now;
    } else {
        const auto interval = std::chrono::milliseconds(options_.status_interval_ms);
        next_status_ += interval;
        if (next_status_ <= now)
            next_status_ = now + interval;
    }
}

std::optional<TimePoint> ControlBox::next_wake(TimePoint now) const
{
    std::optional<TimePoint> wake;
    auto earliest = [&wake](TimePoint t) {
        if (!wake || t < *wake)
            wake = t;
    };
    if (moving_) {
        const double seconds = std::fabs(target_ - position_) / options_.speed;
        earliest(now
                 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(std::min(seconds, 0.1))));
    }
    if (streaming_) {
        if (options_.status_interval_ms > 0 || out_.idle())
            earliest(std::max(next_status_, now));
    }
    return wake;
}

void ControlBox::line_replaced()
{
    if (input_ == Input::ValueLine)
        abandon_dialogue("the line was hung up");
    input_ = Input::Idle;
    frame_.clear();
    ignored_.clear();
}

}  // namespace cbox
