// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "wire_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace cbox {

bool FaultSet::damages_frames() const
{
    return noise || identifier || separator1 || separator2 || echo || terminator || drop_at || silent || cut_after
           || delay_ms || hangup_after || busy || !prompts.empty();
}

namespace {

enum class Arg { None, Required, Optional };

struct OptionInfo {
    const char* name;
    Arg arg;
    // Applies the option; returns an error text, empty when fine. `value` is empty for Arg::None and for
    // an Arg::Optional option given without "=".
    std::function<std::string(Options&, const std::optional<std::string>& value)> apply;
};

std::string as_int(const std::optional<std::string>& value, long min, long max, int& out)
{
    const auto v = value ? parse_whole(*value) : std::nullopt;
    if (!v || *v < min || *v > max)
        return "needs a whole number from " + std::to_string(min) + " to " + std::to_string(max);
    out = static_cast<int>(*v);
    return {};
}

std::string as_opt_int(const std::optional<std::string>& value, long min, long max, std::optional<int>& out)
{
    int v = 0;
    std::string error = as_int(value, min, max, v);
    if (error.empty())
        out = v;
    return error;
}

std::string as_char(const std::optional<std::string>& value, char fallback, std::optional<char>& out)
{
    if (!value) {
        out = fallback;
        return {};
    }
    const auto text = unescape(*value);
    if (!text || text->size() != 1)
        return "needs exactly one character (escapes \\r \\n \\t \\0 \\\\ \\xHH)";
    out = (*text)[0];
    return {};
}

const std::vector<OptionInfo>& option_table()
{
    static const std::vector<OptionInfo> table = {
        {"help", Arg::None,
         [](Options& o, auto&) {
             o.help = true;
             return std::string();
         }},
        {"fast", Arg::None,
         [](Options& o, auto&) {
             o.fast = true;
             return std::string();
         }},
        {"baud", Arg::Required, [](Options& o, auto& v) { return as_int(v, 50, 4000000, o.baud); }},
        {"status-interval", Arg::Required,
         [](Options& o, auto& v) { return as_int(v, 0, 3600000, o.status_interval_ms); }},
        {"speed", Arg::Required,
         [](Options& o, auto& v) {
             char* end = nullptr;
             errno = 0;
             const double speed = v ? std::strtod(v->c_str(), &end) : 0.0;
             if (!v || v->empty() || *end != '\0' || errno != 0 || !std::isfinite(speed) || speed <= 0.0 || speed > 1e6)
                 return std::string("needs a positive number of degrees per second");
             o.speed = speed;
             return std::string();
         }},
        {"version-number", Arg::Required, [](Options& o, auto& v) { return as_int(v, 0, 99999, o.version_number); }},
        {"position", Arg::Required, [](Options& o, auto& v) { return as_int(v, 0, 999, o.position); }},
        {"go-to-error", Arg::Required, [](Options& o, auto& v) { return as_int(v, -999, 999, o.go_to_error); }},
        {"absolute", Arg::None,
         [](Options& o, auto&) {
             o.absolute = true;
             return std::string();
         }},
        {"plug", Arg::Required, [](Options& o, auto& v) { return as_opt_int(v, 1, 255, o.plug); }},
        {"config-dir", Arg::Required,
         [](Options& o, auto& v) {
             if (v->empty())
                 return std::string("needs a folder");
             o.config_dir = *v;
             return std::string();
         }},
        {"log", Arg::Required,
         [](Options& o, auto& v) {
             if (v->empty())
                 return std::string("needs a file name");
             o.log_file = *v;
             return std::string();
         }},
        {"fault-noise", Arg::Optional,
         [](Options& o, auto& v) {
             if (!v) {
                 o.faults.noise = std::string("\xFF~#A,\x00", 6);
                 return std::string();
             }
             const auto text = unescape(*v);
             if (!text || text->empty())
                 return std::string("needs some bytes (escapes \\r \\n \\t \\0 \\\\ \\xHH)");
             if (text->find(STX) != std::string::npos)
                 return std::string("noise must not hold STX");
             o.faults.noise = *text;
             return std::string();
         }},
        {"fault-identifier", Arg::Optional, [](Options& o, auto& v) { return as_char(v, 'B', o.faults.identifier); }},
        {"fault-separator", Arg::Optional, [](Options& o, auto& v) { return as_char(v, ';', o.faults.separator1); }},
        {"fault-separator2", Arg::Optional, [](Options& o, auto& v) { return as_char(v, ';', o.faults.separator2); }},
        {"fault-echo", Arg::Optional, [](Options& o, auto& v) { return as_char(v, 'X', o.faults.echo); }},
        {"fault-terminator", Arg::Optional, [](Options& o, auto& v) { return as_char(v, LF, o.faults.terminator); }},
        {"fault-drop", Arg::Required, [](Options& o, auto& v) { return as_opt_int(v, 1, 100000, o.faults.drop_at); }},
        {"fault-silent", Arg::None,
         [](Options& o, auto&) {
             o.faults.silent = true;
             return std::string();
         }},
        {"fault-cut", Arg::Required, [](Options& o, auto& v) { return as_opt_int(v, 0, 100000, o.faults.cut_after); }},
        {"fault-delay", Arg::Required,
         [](Options& o, auto& v) { return as_opt_int(v, 1, 3600000, o.faults.delay_ms); }},
        {"fault-hangup", Arg::Required,
         [](Options& o, auto& v) { return as_opt_int(v, 0, 100000, o.faults.hangup_after); }},
        {"fault-busy", Arg::None,
         [](Options& o, auto&) {
             o.faults.busy = true;
             return std::string();
         }},
        {"fault-prompt", Arg::Required,
         [](Options& o, auto& v) {
             const std::string error = "needs LINE:CHAR, LINE from 0 to 15";
             const auto colon = v->find(':');
             if (colon == std::string::npos)
                 return error;
             const auto line = parse_whole(std::string_view(*v).substr(0, colon));
             const auto text = unescape(std::string_view(*v).substr(colon + 1));
             if (!line || *line < 0 || *line > 15 || !text || text->size() != 1)
                 return error;
             o.faults.prompts[static_cast<int>(*line)] = (*text)[0];
             return std::string();
         }},
        {"fault-on", Arg::Required,
         [](Options& o, auto& v) {
             if (v->empty())
                 return std::string("needs one or more command letters");
             o.faults.on_letters = *v;
             return std::string();
         }},
        {"fault-count", Arg::Required, [](Options& o, auto& v) { return as_opt_int(v, 1, 1000000, o.faults.count); }},
    };
    return table;
}

}  // namespace

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error)
{
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument '" + arg + "'";
            return std::nullopt;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const OptionInfo* info = nullptr;
        for (const auto& s : option_table())
            if (name == s.name)
                info = &s;
        if (!info) {
            error = "unknown option '--" + name + "'";
            return std::nullopt;
        }
        if (info->arg == Arg::None && value) {
            error = "--" + name + " takes no value";
            return std::nullopt;
        }
        if (info->arg == Arg::Required && !value) {
            if (i + 1 >= args.size()) {
                error = "--" + name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (const std::string problem = info->apply(options, value); !problem.empty()) {
            error = "--" + name + " " + problem;
            return std::nullopt;
        }
    }
    return options;
}

std::string help_text(const std::string& program)
{
    return "Usage: " + program + R"( [OPTION]...
A simulated CBOX (antenna-rotator control box) on a pseudo-terminal.

The first line on standard output is the device of the line to open (for example /dev/pts/5).
After a hang-up fault the simulator opens a fresh line and prints its device as a new line.
It runs until SIGINT, SIGTERM or SIGHUP.

The box answers the command frames STX "A" letter data CR with reply frames STX "A" "," letter "," data CR:
  ?        angle (3 digits) "," and B (busy, turning) or R
  S        R; stops the periodic status frames
  M        R, then a status frame (as the reply to ?) every --status-interval ms until S;
           B in absolute mode (stop mode 2), and then no status frames
  V        the version number, 5 digits
  G<angle> R and the rotor turns there at --speed; E for an angle outside the lower/upper
           limits or data that is not a whole number; G999 fast stop, G977 soft stop: R
  C c F K  B when busy or not in absolute mode, else R; F<factor> stores the calibration factor
           (0..99999), K<angle> sets the current angle (0..999); E when their data is not such a number.
           c restores the default calibration factor (1000)
  L        the parameter block: 19 fields, 5 digits or "-" and 5 digits, field 2 B or R,
           the offset (field 14) as 16-bit two's complement
  W        R CR and the prompt N (B CR when busy); then 15 value lines, each ended by CR, each
           answered by N, the last by CR; the values are stored when line 15 has arrived.
           A line without a number keeps its field. A new frame (STX) abandons the dialogue.
  other letters are logged and not answered; bytes before STX are ignored.

Options:
  --help                  show this text and exit
  --fast                  no output pacing (for tests)
  --baud N                line rate for pacing, 10 bits per character (default 9600)
  --status-interval MS    pace of the status frames after M (default 250; 0 = back to back)
  --speed DEG_PER_S       turning speed (default 6)
  --version-number N      version sent in reply to V (default 322, sent as 00322)
  --position DEG          angle at start (default 123)
  --go-to-error DEG       after G<angle> the rotor ends DEG degrees beyond the angle (negative:
                          short of it; 360: in the overlap), kept within 0..999 (default 0)
  --absolute              start in absolute mode (stop mode 2)
  --plug N                plug in as port N: create the link <config>/rotor/ports/comN to the
                          line's device; it is removed on exit if it is still the one made.
                          Whatever is already there is left alone and the simulator stops
                          (it may be the link to a real CBOX), unless --config-dir is given
  --config-dir DIR        <config> for --plug (default $XDG_CONFIG_HOME, else ~/.config): a
                          private folder, in which an existing link is replaced and put
                          back on exit; DIR naming the default folder changes nothing
  --log FILE              append the log to FILE instead of standard error

Faults (values of [=X] options must be attached with "="; characters accept the escapes
\r \n \t \0 \\ \xHH):
  --fault-noise[=BYTES]   send BYTES before the header (default \xFF~#A,\0)
  --fault-identifier[=C]  C in place of the identifier A (default B)
  --fault-separator[=C]   C in place of the first separator (default ;)
  --fault-separator2[=C]  C in place of the second separator (default ;)
  --fault-echo[=C]        C in place of the command letter echoed (default X)
  --fault-terminator[=C]  C in place of the frame's final CR (default LF)
  --fault-drop N          leave out the reply's N-th character (1 = STX)
  --fault-cut N           send only the first N characters of the reply
  --fault-silent          ignore the command: no reply, no effect
  --fault-delay MS        send the reply MS milliseconds late (the tool gives up after 3300)
  --fault-hangup N        after N characters of the reply, hang the line up: once the other end
                          has read them (at most 1 s later) the device is closed (the tool's end
                          sees a hang-up), a fresh line is opened, its device
                          printed on standard output and the --plug link pointed at it. The box
                          itself keeps its state.
  --fault-busy            the box says it is busy: ? and L show B; C c F K W are refused with B
  --fault-prompt K:C      in the W dialogue answer C in place of the prompt after value line K
                          (0 = the prompt after the reply, 15 = the final CR); repeatable
  --fault-on LETTERS      apply the faults only to replies to these command letters
                          (the periodic status frames count as ?)
  --fault-count K         apply the faults only to the first K replies chosen
Positions for --fault-drop, --fault-cut and --fault-hangup count from the STX; noise is not counted.
The W reply "STX A , W , R CR" is followed by the prompt N, which counts as its 8th character.
)";
}

}  // namespace cbox
