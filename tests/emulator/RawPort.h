#pragma once
// The port side of the emulator's pty, driven byte by byte from a test: raw line, writes, and
// reads that end on a deadline. It stands in for the program's own link, which the emulator
// must not depend on; the command sequences below follow what the command functions send.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>

class RawPort {
  public:
    using ms = std::chrono::milliseconds;

    explicit RawPort(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ >= 0) {
            termios t{};
            tcgetattr(fd_, &t);
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~RawPort() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RawPort(const RawPort&) = delete;
    RawPort& operator=(const RawPort&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // The device side went away: reads end in an error or end of file.
    bool HungUp() const { return hungUp_; }

    bool Write(std::string_view s) { return ::write(fd_, s.data(), s.size()) == ssize_t(s.size()); }

    // Up to n bytes, or fewer when the deadline passes or the line fails.
    std::string Read(size_t n, ms timeout = ms(2000)) {
        std::string got;
        auto end = std::chrono::steady_clock::now() + timeout;
        while (got.size() < n && WaitReadable(end)) {
            char c;
            ssize_t r = ::read(fd_, &c, 1);
            if (r == 1) {
                got += c;
            } else if (r == 0 || errno != EAGAIN) {
                hungUp_ = true;
                break;
            }
        }
        return got;
    }

    // Everything up to and including the first occurrence of `until`.
    std::string ReadUntil(std::string_view until, ms timeout = ms(2000)) {
        std::string got;
        auto end = std::chrono::steady_clock::now() + timeout;
        while (got.find(until) == std::string::npos) {
            std::string c =
                Read(1, std::chrono::duration_cast<ms>(end - std::chrono::steady_clock::now()));
            if (c.empty())
                break;
            got += c;
        }
        return got;
    }

    // A reply of unknown length: ends `gap` after the last byte (the modem's replies).
    std::string ReadReply(ms first, ms gap) {
        std::string got = Read(1, first);
        if (got.empty())
            return got;
        for (;;) {
            std::string c = Read(1, gap);
            if (c.empty())
                return got;
            got += c;
        }
    }

    // Command framing: one character at a time, each echoed (letter case ignored).
    bool WriteEchoed(std::string_view s) {
        for (char c : s) {
            if (!Write(std::string_view(&c, 1)))
                return false;
            std::string e = Read(1, ms(300));
            if (e.size() != 1 || std::tolower(e[0]) != std::tolower(c))
                return false;
        }
        return true;
    }
    // Discards characters until `c`; false after 300 ms of silence.
    bool WaitForChar(char c) {
        for (int i = 0; i < 200; ++i) {
            std::string got = Read(1, ms(300));
            if (got.empty())
                return false;
            if (got[0] == c)
                return true;
        }
        return false;
    }
    bool WaitForPrompt() { return WaitForChar('>'); }

  private:
    bool WaitReadable(std::chrono::steady_clock::time_point end) {
        auto left = std::chrono::duration_cast<ms>(end - std::chrono::steady_clock::now());
        if (left.count() < 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left.count()) + 1);
        if (r > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLIN)) {
            hungUp_ = true;
            return false;
        }
        return r > 0;
    }

    int fd_ = -1;
    bool hungUp_ = false;
};
