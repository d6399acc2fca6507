#include "platform/FdIo.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace fdio {

short WaitReady(int fd, short events, const Clock::time_point* deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        timespec ts{};
        timespec* tsp = nullptr;
        if (deadline != nullptr) {
            auto left = *deadline - Clock::now();
            if (left <= Clock::duration::zero())
                return 0;
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            ts.tv_sec = static_cast<time_t>(ns / 1000000000);
            ts.tv_nsec = static_cast<long>(ns % 1000000000);
            tsp = &ts;
        }
        int r = ppoll(&p, 1, tsp, nullptr);
        if (r > 0)
            return p.revents;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return POLLERR;
    }
}

bool WriteAll(int fd, const char* data, size_t n, bool socket, int& err,
              std::chrono::milliseconds stall) {
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < n) {
        ssize_t r = socket ? ::send(fd, data + done, n - done, MSG_NOSIGNAL)
                           : ::write(fd, data + done, n - done);
        if (r > 0) {
            done += static_cast<size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno == EAGAIN) {
            Clock::time_point deadline = Clock::now() + stall;
            short ev = WaitReady(fd, POLLOUT, &deadline);
            if (ev & POLLOUT)
                continue;
            err = ev == 0 ? ETIMEDOUT : EIO;
            return false;
        }
        err = r < 0 ? errno : EIO;
        return false;
    }
    return true;
}

}  // namespace fdio
