#include "platform/SerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FdIo.h"

namespace {

struct SpeedEntry {
    uint32_t Baud;
    speed_t Code;
};

constexpr SpeedEntry kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

void SetModemLine(int fd, int line, bool on) {
    ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

}  // namespace

SerialDevice::~SerialDevice() {
    Close();
}

bool SerialDevice::Open(const std::string& path) {
    Close();
    openError_ = SerialOpenError::None;
    lastErrno_ = 0;
    if (path.empty()) {
        openError_ = SerialOpenError::NoSuchDevice;
        lastErrno_ = ENOENT;
        return false;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastErrno_ = errno;
        openError_ = lastErrno_ == ENOENT || lastErrno_ == ENXIO || lastErrno_ == ENODEV
                         ? SerialOpenError::NoSuchDevice
                     : lastErrno_ == EACCES || lastErrno_ == EPERM
                         ? SerialOpenError::PermissionDenied
                     : lastErrno_ == EBUSY ? SerialOpenError::Busy
                                           : SerialOpenError::Other;
        return false;
    }
    // flock holds for root too, where TIOCEXCL does not.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        lastErrno_ = errno;
        openError_ = lastErrno_ == EWOULDBLOCK ? SerialOpenError::Busy : SerialOpenError::Other;
        ::close(fd);
        return false;
    }
    latency_ = LowLatencyState{};
    if (::isatty(fd)) {
        ioctl(fd, TIOCEXCL);
        latency_ = RequestLowLatency(fd, flagsIo_.IsAdapter(path), flagsIo_);
        if (latency_.Result != LowLatency::NotUsb)
            latency_.LatencyTimerMs = ReadLatencyTimer(path);
        // A closed port hears nothing: whatever arrived before this open is not for us.
        tcflush(fd, TCIOFLUSH);
    }
    fd_ = fd;
    return true;
}

bool SerialDevice::IsCharacterDevice() const {
    return fd_ >= 0 && ::isatty(fd_) == 1;
}

void SerialDevice::Close() {
    if (fd_ < 0)
        return;
    // The next program finds the adapter as we found it.
    RestoreLatency(fd_, latency_, flagsIo_);
    if (::isatty(fd_))
        ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

bool TerminalLine(int fd, LineSettings& s) {
    termios t{};
    if (fd < 0 || tcgetattr(fd, &t) != 0)
        return false;
    speed_t code = cfgetospeed(&t);
    for (const auto& e : kSpeeds) {
        if (e.Code == code)
            s.BaudRate = e.Baud;
    }
    switch (t.c_cflag & CSIZE) {
        case CS5:
            s.DataBits = 5;
            break;
        case CS6:
            s.DataBits = 6;
            break;
        case CS7:
            s.DataBits = 7;
            break;
        default:
            s.DataBits = 8;
            break;
    }
    if ((t.c_cflag & PARENB) == 0) {
        s.Parity = 0;
    } else if (t.c_cflag & CMSPAR) {
        s.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    } else {
        s.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    }
    s.StopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    s.OutxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    return true;
}

bool SerialDevice::GetLineSettings(LineSettings& s) const {
    if (!TerminalLine(fd_, s))
        return false;
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) == 0) {
        s.DtrControl = (lines & TIOCM_DTR) ? 1 : 0;
        if (!s.OutxCtsFlow)
            s.RtsControl = (lines & TIOCM_RTS) ? 1 : 0;
    }
    if (s.OutxCtsFlow)
        s.RtsControl = 2;
    return true;
}

bool SerialDevice::SetLineSettings(const LineSettings& s) {
    termios t{};
    if (fd_ < 0 || tcgetattr(fd_, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    // VMIN 1: a non-blocking read with nothing there says EAGAIN; with VMIN 0 it would return 0,
    // which cannot be told from a hung-up line.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    bool arbitrary = true;
    for (const auto& e : kSpeeds) {
        if (e.Baud == s.BaudRate) {
            cfsetspeed(&t, e.Code);
            arbitrary = false;
        }
    }
    if (s.DataBits >= 5 && s.DataBits <= 8) {
        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        t.c_cflag = (t.c_cflag & ~CSIZE) | kSizes[s.DataBits - 5];
    }
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (s.Parity) {
        case 1:
            t.c_cflag |= PARENB | PARODD;
            break;
        case 2:
            t.c_cflag |= PARENB;
            break;
        case 3:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 4:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    if (s.StopBits == 0)
        t.c_cflag &= ~CSTOPB;
    if (s.StopBits == 2)
        t.c_cflag |= CSTOPB;
    if (s.OutxCtsFlow || s.RtsControl == 2) {
        t.c_cflag |= CRTSCTS;
    } else {
        t.c_cflag &= ~CRTSCTS;
    }
    bool ok = tcsetattr(fd_, TCSANOW, &t) == 0;
    if (arbitrary)
        SetArbitrarySpeed(fd_, s.BaudRate);
    // Lines a pseudo-terminal does not have are simply not there to set.
    SetModemLine(fd_, TIOCM_DTR, s.DtrControl != 0);
    if (s.RtsControl != 2)
        SetModemLine(fd_, TIOCM_RTS, s.RtsControl != 0);
    return ok;
}

long SerialDevice::ReadNow(char* buffer, size_t n) {
    if (fd_ < 0)
        return -1;
    if (n == 0)
        return 0;
    ssize_t r = ::read(fd_, buffer, n);
    if (r > 0)
        return r;
    if (r < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    // Hung up (a read of 0 on a terminal) or broken.
    lastErrno_ = r < 0 ? errno : EIO;
    return -1;
}

LineReady SerialDevice::WaitReadable(Clock::time_point deadline) {
    if (fd_ < 0)
        return {false, true};
    const short ev =
        fdio::WaitReady(fd_, POLLIN, deadline == Clock::time_point::max() ? nullptr : &deadline);
    const LineReady ready{(ev & POLLIN) != 0, (ev & (POLLHUP | POLLERR | POLLNVAL)) != 0};
    if (ready.Failed && !ready.Input)
        lastErrno_ = EIO;
    return ready;
}

bool SerialDevice::Write(const char* data, size_t n) {
    // Writes have no time-out of their own; a device that takes nothing at all for 5 s is
    // treated as gone.
    return fdio::WriteAll(fd_, data, n, false, lastErrno_);
}

bool SerialDevice::Purge(bool output, bool input) {
    if (fd_ < 0)
        return false;
    int which = output && input ? TCIOFLUSH : output ? TCOFLUSH : TCIFLUSH;
    if (!output && !input)
        return true;
    return tcflush(fd_, which) == 0;
}
