// SPDX-License-Identifier: GPL-3.0-or-later
#include "pty_line.h"

#include "sim_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace cbox {

PtyLine::PtyLine(SimLog& log, bool fast, int baud)
    : log_(log),
      fast_(fast)
      // 1 start bit, 8 data bits, 1 stop bit: 10 bits per character.
      ,
      char_time_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(10.0 / baud)))
{
}

PtyLine::~PtyLine() { close(); }

bool PtyLine::open(std::string& error)
{
    close();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        error = std::string("grantpt/unlockpt: ") + std::strerror(errno);
        ::close(master);
        return false;
    }
    const char* name = ptsname(master);
    if (!name) {
        error = std::string("ptsname: ") + std::strerror(errno);
        ::close(master);
        return false;
    }
    std::string device = name;
    // Our own slave stays open for the life of the line: without it the master reads EIO and polls HUP
    // whenever the tool has the port closed, and the tty would be reset at each close.
    const int slave = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = "open " + device + ": " + std::strerror(errno);
        ::close(master);
        return false;
    }
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
        // Raw, so that CR and every other byte pass untouched; the tool sets its own settings on open and
        // restores these on close.
        cfmakeraw(&tio);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tcsetattr(slave, TCSANOW, &tio);
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    master_ = master;
    own_slave_ = slave;
    device_ = std::move(device);
    return true;
}

void PtyLine::close()
{
    if (master_ >= 0)
        ::close(master_);
    if (own_slave_ >= 0)
        ::close(own_slave_);
    master_ = own_slave_ = -1;
    queue_.clear();
    hangup_since_.reset();
    queued_bytes_ = 0;
    front_sent_ = 0;
    front_started_ = false;
    blocked_ = false;
}

void PtyLine::send(Transmission t, TimePoint now)
{
    if (t.bytes.empty() && !t.hangup_after)
        return;
    if (t.not_before < now)
        t.not_before = now;
    queued_bytes_ += t.bytes.size();
    queue_.push_back(std::move(t));
}

namespace {
constexpr auto HangupLingerMin = std::chrono::milliseconds(20);
constexpr auto HangupLingerMax = std::chrono::milliseconds(1000);
constexpr auto HangupPoll = std::chrono::milliseconds(5);
}  // namespace

std::optional<TimePoint> PtyLine::next_due() const
{
    if (hangup_since_)
        return Clock::now() + HangupPoll;
    if (queue_.empty() || blocked_)
        return std::nullopt;
    const Transmission& front = queue_.front();
    if (!front_started_)
        return fast_ ? front.not_before : std::max(front.not_before, last_char_done_) + char_time_;
    return fast_ ? TimePoint{} : next_char_done_;
}

PtyLine::Pump PtyLine::pump(TimePoint now)
{
    if (hangup_since_) {
        int unread = 0;
        if (::ioctl(own_slave_, TIOCINQ, &unread) != 0)
            unread = 0;
        const auto lingered = now - *hangup_since_;
        if (lingered < HangupLingerMin || (unread > 0 && lingered < HangupLingerMax))
            return Pump::Ok;
        hangup_since_.reset();
        return Pump::HungUp;
    }
    blocked_ = false;
    while (!queue_.empty() && master_ >= 0) {
        Transmission& front = queue_.front();
        if (!front_started_) {
            if (now < front.not_before)
                return Pump::Ok;
            front_started_ = true;
            front_sent_ = 0;
            // A character reaches the other end when its stop bit is done.
            next_char_done_ = std::max(front.not_before, last_char_done_) + char_time_;
        }

        std::size_t end = front.bytes.size();
        if (front.hangup_after && *front.hangup_after < end)
            end = *front.hangup_after;
        std::size_t want = end - front_sent_;
        if (!fast_ && want > 0) {
            if (now < next_char_done_)
                return Pump::Ok;
            const auto due = static_cast<std::size_t>((now - next_char_done_) / char_time_) + 1;
            want = std::min(want, due);
        }
        if (want > 0) {
            const ssize_t n = ::write(master_, front.bytes.data() + front_sent_, want);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    blocked_ = true;
                    return Pump::Ok;
                }
                if (errno == EINTR)
                    continue;
                if (errno == EIO) {
                    // Nobody at the other end can take it; the bytes are lost as on an open line.
                    front_sent_ = end;
                } else {
                    log_.note(std::string("write failed: ") + std::strerror(errno));
                    return Pump::Failed;
                }
            } else {
                front_sent_ += static_cast<std::size_t>(n);
                if (!fast_) {
                    last_char_done_ = next_char_done_ + char_time_ * (n - 1);
                    next_char_done_ = last_char_done_ + char_time_;
                }
                if (static_cast<std::size_t>(n) < want) {
                    blocked_ = true;
                    return Pump::Ok;
                }
            }
        }
        if (front_sent_ < end)
            continue;

        // The transmission is out (or as much of it as goes out before the hang-up).
        const bool hang_up = front.hangup_after.has_value();
        std::string note = front.note;
        if (hang_up)
            note += note.empty() ? "then hang-up" : ", then hang-up";
        if (!front.bytes.empty() || hang_up)
            log_.sent(std::string_view(front.bytes).substr(0, end), note);
        queued_bytes_ -= front.bytes.size();
        queue_.pop_front();
        front_started_ = false;
        if (fast_)
            last_char_done_ = now;
        if (hang_up) {
            hangup_since_ = now;
            return Pump::Ok;
        }
    }
    return Pump::Ok;
}

std::size_t PtyLine::read(char* buffer, std::size_t size)
{
    if (master_ < 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(master_, buffer, size);
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: nothing there; EIO: no slave open, nobody connected.
        return 0;
    }
}

}  // namespace cbox
