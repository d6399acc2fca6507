#include "cli/TrafficLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

std::string LocalTimeWithMilliseconds(char separator) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char date[16];
    char time[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    char text[48];
    std::snprintf(text, sizeof text, "%s%c%s.%03d", date, separator, time, static_cast<int>(ms));
    return text;
}

namespace {

std::string Now() {
    return LocalTimeWithMilliseconds(' ');
}

std::string Visible(const std::string& bytes) {
    static const char* kHex = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (b < 0x20 || b >= 0x7F) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string Kind(mode_t mode) {
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

}  // namespace

TrafficLog::~TrafficLog() {
    Finish();
    if (fd_ >= 0)
        ::close(fd_);
}

bool TrafficLog::Open(const std::string& path, std::string& problem) {
    path_ = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        problem = "the log " + path + " is " + Kind(st.st_mode) + "; --log needs a regular file";
        return false;
    }
    // O_NONBLOCK: should a FIFO appear between the check and the open, the open fails rather
    // than waits for a reader.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        problem = "cannot write the log " + path + ": " + std::strerror(errno);
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = "the log " + path + " is " + Kind(st.st_mode) + "; --log needs a regular file";
        ::close(fd);
        return false;
    }
    if (::ftruncate(fd, 0) != 0) {
        problem = "cannot write the log " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void TrafficLog::Traffic(char direction, const std::string& bytes) {
    if (fd_ < 0 || bytes.empty())
        return;
    if (direction != direction_)
        Flush();
    if (pending_.empty())
        stamp_ = Now();
    direction_ = direction;
    pending_ += bytes;
}

void TrafficLog::Note(const std::string& text) {
    if (fd_ < 0)
        return;
    Flush();
    WriteLine(Now() + " " + text);
}

void TrafficLog::Flush() {
    if (pending_.empty())
        return;
    WriteLine(stamp_ + (direction_ == 'w' ? " > " : " < ") + Visible(pending_));
    pending_.clear();
    direction_ = 0;
}

void TrafficLog::WriteLine(const std::string& text) {
    if (fd_ < 0 || !problem_.empty())
        return;
    const std::string line = text + "\n";
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            problem_ = "the log " + path_ + " could not be written: " +
                       (n < 0 ? std::strerror(errno) : std::string("no space"));
            return;
        }
        done += static_cast<size_t>(n);
    }
}

bool TrafficLog::Finish() {
    Flush();
    return problem_.empty();
}
