#pragma once
// A serial device on Linux with the semantics the link was built against: exclusive open that
// fails when the device is absent, line settings, RTS/DTR, per-call read time-outs of two kinds,
// complete writes, purge and close.

#include <cstdint>
#include <string>
#include <utility>

#include "platform/UsbLatency.h"

// Five values in milliseconds, in the order the link's callers give them.
struct SerialTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const SerialTimeouts&) const = default;
    // Interval = largest 32-bit value, multiplier and constant 0: a read returns at once.
    bool IsImmediate() const {
        return ReadIntervalTimeout == UINT32_MAX && ReadTotalTimeoutMultiplier == 0 &&
               ReadTotalTimeoutConstant == 0;
    }
};

struct LineSettings {
    uint32_t BaudRate = 9600;
    int DataBits = 8;  // 5..8; 4 (no Linux size) leaves CS8 from raw mode: ask for 8
    int Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int StopBits = 0;  // 0 one, 1 one and a half (not on Linux), 2 two
    bool OutxCtsFlow = false;
    bool OutxDsrFlow = false;  // not on Linux; kept for the record
    int DtrControl = 0;        // 0 off, 1 on while open, 2 handshake
    bool DsrSensitivity = false;
    int RtsControl = 0;  // 0 off, 1 on while open, 2 handshake, 3 toggle
};

enum class SerialOpenError { None, NoSuchDevice, PermissionDenied, Busy, Other };

class SerialDevice {
  public:
    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens an existing device for reading and writing, exclusively. False when it cannot be
    // had; LastOpenError() and LastErrno() tell why.
    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    // Whether what was opened is a terminal device at all.
    bool IsCharacterDevice() const;
    void Close();

    bool GetLineSettings(LineSettings& settings) const;
    // Applies the settings in raw mode. A value the driver refuses is left as it was.
    bool SetLineSettings(const LineSettings& settings);

    SerialTimeouts GetTimeouts() const { return timeouts_; }
    void SetTimeouts(const SerialTimeouts& t) { timeouts_ = t; }

    // Up to n bytes under the current time-outs: -1 when the read fails (a hung-up device),
    // otherwise the count received, possibly 0.
    long Read(char* buffer, size_t n);
    // Every byte, or false on a real error (or when the device takes nothing for a long time).
    bool Write(const char* data, size_t n);
    bool Purge(bool output, bool input);
    // Waits up to ms milliseconds for input to arrive (or the device to fail); true when there is.
    bool WaitReadable(int ms);

    SerialOpenError LastOpenError() const { return openError_; }
    int LastErrno() const { return lastErrno_; }

    // What the USB adapter's driver did about low latency at the last open (kept after close).
    const LowLatencyState& Latency() const { return latency_; }
    // Tests put a recording driver here.
    void SetSerialFlagsIo(SerialFlagsIo io) { flagsIo_ = std::move(io); }

  private:
    int fd_ = -1;
    SerialTimeouts timeouts_;
    SerialOpenError openError_ = SerialOpenError::None;
    int lastErrno_ = 0;
    SerialFlagsIo flagsIo_ = DriverSerialFlagsIo();
    LowLatencyState latency_;
};

// Sets a speed that has no B-constant (14400, 28800, 31250, 76800) through the kernel's
// arbitrary-rate interface. False when the driver refuses it.
bool SetArbitrarySpeed(int fd, uint32_t baud);
