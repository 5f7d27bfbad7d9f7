// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line options of cbox-sim.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cbox {

// Faults that damage the box's frames. A frame is chosen for them when its letter is in `on_letters`
// (all letters when empty) and, with a `count`, only while fewer than `count` frames have been chosen.
// The periodic status frames count as "?" frames. The W dialogue that follows a chosen W reply is
// chosen with it (prompt faults).
struct FaultSet {
    std::optional<std::string> noise;  // bytes sent before the header
    std::optional<char> identifier;    // in place of "A"
    std::optional<char> separator1;    // in place of the first ","
    std::optional<char> separator2;    // in place of the second ","
    std::optional<char> echo;          // in place of the command letter
    std::optional<char> terminator;    // in place of the frame's final CR
    std::optional<int> drop_at;        // drop the character at this position (1 = STX)
    bool silent = false;               // command ignored, no reply
    std::optional<int> cut_after;      // send only this many characters of the reply
    std::optional<int> delay_ms;       // hold the reply back this long
    std::optional<int> hangup_after;   // hang the line up after this many characters
    bool busy = false;                 // the box says it is busy
    std::map<int, char> prompts;       // W dialogue: answer after value line k (0 = the first prompt)
    std::string on_letters;            // restrict to these command letters
    std::optional<int> count;          // restrict to the first `count` chosen frames

    bool damages_frames() const;
};

struct Options {
    bool help = false;
    bool fast = false;
    int baud = 9600;
    int status_interval_ms = 250;
    double speed = 6.0;
    int version_number = 322;
    int position = 123;
    int go_to_error = 0;  // the rotor ends this many degrees beyond each go-to's angle
    bool absolute = false;
    std::optional<int> plug;
    std::string config_dir;
    std::string log_file;
    FaultSet faults;
};

// Parses argv. On a usage error returns nothing and fills `error`.
std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error);

// The text printed by --help; `program` is the name it was started by.
std::string help_text(const std::string& program);

}  // namespace cbox
