#pragma once
// Waiting on and writing to a file descriptor with a deadline: what the serial device and a TCP
// connection share.

#include <chrono>
#include <cstddef>

namespace fdio {

using Clock = std::chrono::steady_clock;

// Waits until the descriptor is ready or the deadline passes. Returns the poll events, 0 on
// time-out. No deadline (nullptr) waits as long as it takes.
short WaitReady(int fd, short events, const Clock::time_point* deadline);

// Writes every byte of a non-blocking descriptor (a socket with send and no SIGPIPE); false on a
// real error, or when the other end takes nothing at all for `stall`: a stuck line can never
// hang the program. `err` receives the reason.
bool WriteAll(int fd, const char* data, size_t n, bool socket, int& err,
              std::chrono::milliseconds stall = std::chrono::seconds(5));

}  // namespace fdio
