#include "platform/UsbLatency.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

SerialFlagsIo DriverSerialFlagsIo() {
    return {[](int fd, serial_struct& s) { return ::ioctl(fd, TIOCGSERIAL, &s) == 0 ? 0 : errno; },
            [](int fd, const serial_struct& s) {
                serial_struct copy = s;
                return ::ioctl(fd, TIOCSSERIAL, &copy) == 0 ? 0 : errno;
            },
            IsUsbSerialAdapter};
}

bool IsUsbSerialAdapter(const std::string& path) {
    std::error_code ec;
    const std::string name = fs::canonical(path, ec).filename().string();
    return !ec && name.rfind("ttyUSB", 0) == 0;
}

int ReadLatencyTimer(const std::string& path, const std::string& sysRoot) {
    std::error_code ec;
    const std::string name = fs::canonical(path, ec).filename().string();
    if (ec)
        return -1;
    std::ifstream in(sysRoot + "/class/tty/" + name + "/device/latency_timer");
    int ms = -1;
    return in >> ms ? ms : -1;
}

LowLatencyState RequestLowLatency(int fd, bool usbAdapter, const SerialFlagsIo& io) {
    LowLatencyState state;
    if (!usbAdapter)
        return state;
    if (int e = io.Get(fd, state.Old); e != 0) {
        state.Result = LowLatency::Refused;
        state.Errno = e;
        return state;
    }
    if ((state.Old.flags & ASYNC_LOW_LATENCY) != 0) {
        state.Result = LowLatency::AlreadyLow;
        return state;
    }
    serial_struct low = state.Old;
    low.flags |= ASYNC_LOW_LATENCY;
    if (int e = io.Set(fd, low); e != 0) {
        state.Result = LowLatency::Refused;
        state.Errno = e;
        return state;
    }
    state.Result = LowLatency::Set;
    state.Changed = true;
    return state;
}

void RestoreLatency(int fd, LowLatencyState& state, const SerialFlagsIo& io) {
    if (!state.Changed)
        return;
    io.Set(fd, state.Old);
    state.Changed = false;
}

std::string DescribeLatency(const LowLatencyState& state) {
    std::string timer = state.LatencyTimerMs >= 0
                            ? ", latency timer " + std::to_string(state.LatencyTimerMs) + " ms"
                            : ", latency timer unknown";
    switch (state.Result) {
        case LowLatency::NotUsb:
            return "";
        case LowLatency::Set:
            return "USB latency: low latency set" + timer;
        case LowLatency::AlreadyLow:
            return "USB latency: low latency already on" + timer;
        case LowLatency::Refused:
            return "USB latency: the driver refused low latency (" +
                   std::string(std::strerror(state.Errno)) + ")" + timer +
                   ": every echo and reply may wait that long";
    }
    return "";
}
