// SPDX-License-Identifier: GPL-3.0-or-later
// cbox-sim: a simulated CBOX on a pseudo-terminal. See --help.
#include "control_box.h"
#include "options.h"
#include "port_link.h"
#include "pty_line.h"
#include "sim_log.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

namespace {

int signal_pipe[2] = {-1, -1};

extern "C" void on_signal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signal_pipe[1], &byte, 1);
    errno = saved;
}

bool install_signals(std::string& error)
{
    if (::pipe(signal_pipe) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    for (int fd : signal_pipe) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

class LineOutput : public cbox::Transmitter {
public:
    explicit LineOutput(cbox::PtyLine& line) : line_(line) {}
    void send(cbox::Transmission t, cbox::TimePoint now) override { line_.send(std::move(t), now); }
    bool idle() const override { return line_.idle(); }
    std::size_t backlog() const override { return line_.queued_bytes(); }

private:
    cbox::PtyLine& line_;
};

void announce(const std::string& device)
{
    std::printf("%s\n", device.c_str());
    std::fflush(stdout);
}

std::string program_name(const char* argv0)
{
    const std::string path = argv0 && *argv0 ? argv0 : "cbox-sim";
    return path.substr(path.rfind('/') + 1);
}

int poll_timeout_ms(std::optional<cbox::TimePoint> wake, cbox::TimePoint now)
{
    constexpr int Longest = 1000;
    if (!wake)
        return Longest;
    if (*wake <= now)
        return 0;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
    return static_cast<int>(std::min<long long>(wait, Longest));
}

}  // namespace

int main(int argc, char** argv)
{
    // Built as cbox-sim, installed as rotor-cbox-sim: messages use the name it was started by.
    const std::string program = program_name(argc > 0 ? argv[0] : nullptr);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto parsed = cbox::parse_options(args, error);
    if (!parsed) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), error.c_str(), program.c_str());
        return 2;
    }
    const cbox::Options& options = *parsed;
    if (options.help) {
        std::fputs(cbox::help_text(program).c_str(), stdout);
        return 0;
    }

    cbox::SimLog log;
    if (!options.log_file.empty() && !log.open_file(options.log_file)) {
        std::fprintf(stderr, "%s: cannot open the log %s: %s\n", program.c_str(), options.log_file.c_str(),
                     std::strerror(errno));
        return 1;
    }
    if (!install_signals(error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }

    cbox::PtyLine line(log, options.fast, options.baud);
    if (!line.open(error)) {
        std::fprintf(stderr, "%s: cannot open a pseudo-terminal: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    cbox::PortLink link(log);
    if (options.plug && !link.plug(options.config_dir, *options.plug, line.device(), error)) {
        std::fprintf(stderr, "%s: cannot plug in as port %d: %s\n", program.c_str(), *options.plug, error.c_str());
        return 1;
    }
    log.note("serving on " + line.device()
             + (options.fast ? " (not paced)" : ", paced at " + std::to_string(options.baud) + " baud"));
    announce(line.device());

    LineOutput output(line);
    cbox::ControlBox box(options, log, output, cbox::Clock::now());

    int exit_code = 0;
    bool quit = false;
    cbox::TimePoint no_input_until{};
    while (!quit) {
        auto now = cbox::Clock::now();
        box.advance(now);
        const auto pumped = line.pump(now);
        if (pumped == cbox::PtyLine::Pump::Failed) {
            exit_code = 1;
            break;
        }
        if (pumped == cbox::PtyLine::Pump::HungUp) {
            log.note("hang-up: " + line.device() + " closed");
            box.line_replaced();
            if (!line.open(error)) {
                std::fprintf(stderr, "%s: cannot open a fresh pseudo-terminal: %s\n", program.c_str(), error.c_str());
                exit_code = 1;
                break;
            }
            if (!link.repoint(line.device(), error))
                log.note("cannot point the link at the fresh line: " + error);
            log.note("serving on " + line.device());
            announce(line.device());
            continue;
        }

        now = cbox::Clock::now();
        std::optional<cbox::TimePoint> wake = line.next_due();
        if (const auto box_wake = box.next_wake(now); box_wake && (!wake || *box_wake < *wake))
            wake = box_wake;
        const bool listen = now >= no_input_until;
        if (!listen && (!wake || no_input_until < *wake))
            wake = no_input_until;

        pollfd fds[2] = {};
        fds[0].fd = line.fd();
        fds[0].events = static_cast<short>((listen ? POLLIN : 0) | (line.blocked() ? POLLOUT : 0));
        fds[1].fd = signal_pipe[0];
        fds[1].events = POLLIN;
        const int ready = ::poll(fds, 2, poll_timeout_ms(wake, now));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            log.note(std::string("poll failed: ") + std::strerror(errno));
            exit_code = 1;
            break;
        }
        if (fds[1].revents & POLLIN) {
            log.note("signal received: shutting down");
            quit = true;
        }
        if (fds[0].revents & POLLIN) {
            char buffer[512];
            std::size_t n = 0;
            while ((n = line.read(buffer, sizeof buffer)) > 0)
                box.receive(std::string_view(buffer, n), cbox::Clock::now());
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // No slave open on the other side: nobody connected. Look again a little later.
            no_input_until = cbox::Clock::now() + std::chrono::milliseconds(50);
        }
    }

    link.remove();
    line.close();
    log.note("stopped");
    return exit_code;
}
