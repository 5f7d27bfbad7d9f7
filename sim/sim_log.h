// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's log: one timestamped line per frame received or sent and per notable event.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace cbox {

class SimLog {
public:
    SimLog() = default;
    ~SimLog();
    SimLog(const SimLog&) = delete;
    SimLog& operator=(const SimLog&) = delete;

    // Appends to the file; without a call the log goes to standard error.
    bool open_file(const std::string& path);

    // What the box received; bytes are rendered readable (<STX>A?<CR>).
    void received(std::string_view bytes, std::string_view note = {});
    // What the box sent, once it has gone out on the line.
    void sent(std::string_view bytes, std::string_view note = {});
    // Anything else worth knowing: faults applied, motion, link changes.
    void note(std::string_view text);

private:
    void line(std::string_view tag, std::string_view text, std::string_view note);

    std::FILE* file_ = nullptr;
};

}  // namespace cbox
