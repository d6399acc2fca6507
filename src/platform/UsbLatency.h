#pragma once
// USB serial adapters hand received bytes to the tty layer only when their buffer fills or their
// latency timer runs out (16 ms by default on FTDI chips). A protocol that waits for the echo of
// every typed character pays that on each one, so at open the link asks the driver for low
// latency (ASYNC_LOW_LATENCY; ftdi_sio then uses 1 ms) and gives the old flags back at close.

#include <linux/serial.h>

#include <functional>
#include <string>

// The driver's TIOCGSERIAL / TIOCSSERIAL: the seam tests replace. Each returns 0 or an errno.
struct SerialFlagsIo {
    std::function<int(int fd, serial_struct& s)> Get;
    std::function<int(int fd, const serial_struct& s)> Set;
    std::function<bool(const std::string& path)> IsAdapter;  // IsUsbSerialAdapter
};
SerialFlagsIo DriverSerialFlagsIo();

enum class LowLatency { NotUsb, Set, AlreadyLow, Refused };

struct LowLatencyState {
    LowLatency Result = LowLatency::NotUsb;
    int Errno = 0;            // why the driver refused
    bool Changed = false;     // flags to give back at close
    serial_struct Old{};      // what the driver had
    int LatencyTimerMs = -1;  // the adapter's latency_timer while open; -1 where it has none
};

// Whether the device (a path, or a link to it) is a USB serial adapter (ttyUSB).
bool IsUsbSerialAdapter(const std::string& path);
// The adapter's latency_timer in ms as sysfs shows it; -1 where there is none.
int ReadLatencyTimer(const std::string& path, const std::string& sysRoot = "/sys");

LowLatencyState RequestLowLatency(int fd, bool usbAdapter, const SerialFlagsIo& io);
// Gives the flags RequestLowLatency changed back; nothing when it changed nothing.
void RestoreLatency(int fd, LowLatencyState& state, const SerialFlagsIo& io);

// "USB latency: low latency set, latency timer 1 ms"; "" for a device that is no USB adapter.
std::string DescribeLatency(const LowLatencyState& state);
