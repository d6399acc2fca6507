#pragma once
// A serial device on Linux with the semantics the link was built against: exclusive open that
// fails when the device is absent, line settings, RTS/DTR, reads that never block, complete
// writes, purge and close.

#include <cstdint>
#include <string>
#include <utility>

#include "platform/LineTransport.h"
#include "platform/UsbLatency.h"

enum class SerialOpenError { None, NoSuchDevice, PermissionDenied, Busy, Other };

class SerialDevice : public LineTransport {
  public:
    SerialDevice() = default;
    ~SerialDevice() override;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens an existing device for reading and writing, exclusively. False when it cannot be
    // had; LastOpenError() and LastErrno() tell why.
    bool Open(const std::string& path);
    bool IsOpen() const override { return fd_ >= 0; }
    // Whether what was opened is a terminal device at all.
    bool IsCharacterDevice() const;
    void Close() override;

    bool GetLineSettings(LineSettings& settings) const override;
    // Applies the settings in raw mode. A value the driver refuses is left as it was.
    bool SetLineSettings(const LineSettings& settings) override;

    long ReadNow(char* buffer, size_t n) override;
    LineReady WaitReadable(Clock::time_point deadline) override;
    bool Write(const char* data, size_t n) override;
    bool Purge(bool output, bool input) override;
    int LastErrno() const override { return lastErrno_; }

    SerialOpenError LastOpenError() const { return openError_; }

    // What the USB adapter's driver did about low latency at the last open (kept after close).
    const LowLatencyState& Latency() const { return latency_; }
    // Tests put a recording driver here.
    void SetSerialFlagsIo(SerialFlagsIo io) { flagsIo_ = std::move(io); }

  private:
    int fd_ = -1;
    SerialOpenError openError_ = SerialOpenError::None;
    int lastErrno_ = 0;
    SerialFlagsIo flagsIo_ = DriverSerialFlagsIo();
    LowLatencyState latency_;
};

// The speed, data bits, parity, stop bits and hardware flow control a terminal device's
// settings say (what a pseudo-terminal's other side was set to, say). False when it has none.
bool TerminalLine(int fd, LineSettings& settings);

// Sets a speed that has no B-constant (14400, 28800, 31250, 76800) through the kernel's
// arbitrary-rate interface. False when the driver refuses it.
bool SetArbitrarySpeed(int fd, uint32_t baud);
