// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_log.h"

#include "wire_text.h"

#include <chrono>
#include <ctime>

namespace cbox {

SimLog::~SimLog()
{
    if (file_)
        std::fclose(file_);
}

bool SimLog::open_file(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "a");
    if (!f)
        return false;
    if (file_)
        std::fclose(file_);
    file_ = f;
    return true;
}

void SimLog::received(std::string_view bytes, std::string_view note) { line("rx", readable(bytes), note); }

void SimLog::sent(std::string_view bytes, std::string_view note) { line("tx", readable(bytes), note); }

void SimLog::note(std::string_view text) { line("--", text, {}); }

void SimLog::line(std::string_view tag, std::string_view text, std::string_view note)
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);

    std::FILE* out = file_ ? file_ : stderr;
    std::fprintf(out, "%s.%03d %.*s %.*s", stamp, static_cast<int>(millis), static_cast<int>(tag.size()), tag.data(),
                 static_cast<int>(text.size()), text.data());
    if (!note.empty())
        std::fprintf(out, "  (%.*s)", static_cast<int>(note.size()), note.data());
    std::fputc('\n', out);
    std::fflush(out);
}

}  // namespace cbox
