#pragma once
// TVVComm2: the serial port component. It opens one port by number, sets its line, and offers
// blocking byte-level reads and writes with time-outs chosen per call. There is no background
// reader: every byte is fetched by one of the read operations, on the caller's thread.
// The port may also be a serial device server on the network (an address, or a COMn address
// file in the ports folder): the same operations, every wait extended by the round trip, and the
// connection held between exchanges while the owner asks for it.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "common/Exception.h"
#include "common/FormatSettings.h"
#include "platform/LineTransport.h"
#include "platform/SerialDevice.h"

enum class TBaudRate {
    ___1200,
    ___2400,
    ___4800,
    ___9600,
    __14400,
    __19200,
    __28800,
    __31250,
    __38400,
    __57600,
    __76800,
    _115200
};
enum class TParity { None, Odd, Even, Mark, Space };
enum class TDataBits { _4, _5, _6, _7, _8 };
enum class TStopBits { _1, _1_5, _2 };

// Handshake options of the line template, for SetHandshakeBits.
enum THandshakeOption : unsigned {
    hsCtsOutput = 1u << 0,
    hsDsrOutput = 1u << 1,
    hsDsrSensitivity = 1u << 2,
};

using TReceiveDataEvent = std::function<void(const std::string& Buffer, uint16_t BufferLength)>;
// Five values in milliseconds, in the order the link's callers give them.
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const TCommTimeouts&) const = default;
    // Interval = largest 32-bit value, multiplier and constant 0: a read returns at once.
    bool IsImmediate() const {
        return ReadIntervalTimeout == UINT32_MAX && ReadTotalTimeoutMultiplier == 0 &&
               ReadTotalTimeoutConstant == 0;
    }
};

uint32_t BaudRateValue(TBaudRate rate);

class EOpeningLogFileError : public Exception {
  public:
    using Exception::Exception;
};
class EPortAlreadyOpen : public Exception {
  public:
    using Exception::Exception;
};
class EOpeningPortError : public Exception {
  public:
    using Exception::Exception;
};
class ECommsError : public Exception {
  public:
    using Exception::Exception;
};

// A time-stamped text log of the port's traffic; silent when created with an empty path.
class TCommsDebugger {
  public:
    // Creates (replacing) the file; raises EOpeningLogFileError when it cannot.
    explicit TCommsDebugger(const std::string& path,
                            const FormatSettings& fs = DefaultFormatSettings());
    ~TCommsDebugger();
    TCommsDebugger(const TCommsDebugger&) = delete;
    TCommsDebugger& operator=(const TCommsDebugger&) = delete;

    void LogLine(const std::string& text);
    void LogError(uint32_t code, const std::string& text);
    bool Enabled() const { return enabled_; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    FormatSettings fs_;
    std::FILE* file_ = nullptr;
    bool enabled_ = false;
};

class TVVComm2 {
  public:
    TVVComm2();
    ~TVVComm2();
    TVVComm2(const TVVComm2&) = delete;
    TVVComm2& operator=(const TVVComm2&) = delete;

    // Published properties.
    uint32_t CommPort = 1;
    TBaudRate BaudRate = TBaudRate::___1200;
    TParity Parity = TParity::None;
    TDataBits DataBits = TDataBits::_4;
    TStopBits StopBits = TStopBits::_1;
    TReceiveDataEvent OnReceiveData;
    std::string CommsLogFileName;
    // Opens this device instead of the one "COM" + CommPort names (the command line's --device);
    // messages and log lines still say "COM" + CommPort.
    std::string DevicePath;
    // A serial device server's address (tcp://HOST:PORT, rfc2217://HOST:PORT) instead of a COM
    // port (the command line's --port ADDRESS); messages and log lines then say the address.
    std::string NetworkAddress;
    // While true, a connection to a device server outlives Close: the next Open to the same
    // address takes it up again instead of connecting anew (a connect and negotiation per
    // exchange costs more than a refresh tick). The window holds it while Connect is ticked,
    // the command line for one command. A local port is opened afresh every time regardless.
    bool HoldConnection = false;
    // Opens the line to a device path or address instead of the real device or connection:
    // tests give an in-memory line here. nullptr, with the reason in `problem`, when it cannot.
    std::function<std::unique_ptr<LineTransport>(const std::string& target, std::string& problem)>
        OpenLine;
    bool AllowAppProcessMessages = true;
    // Lets the window handle its pending events while ReadReply waits.
    std::function<void()> ProcessMessages;
    // Log lines' date and time formats.
    FormatSettings LogFormat = DefaultFormatSettings();
    // Every byte as it passes: 'w' for sent, 'r' for received. Lets a caller keep one log over
    // many opens (the command line's --log).
    std::function<void(char direction, const std::string& bytes)> OnTraffic;
    // Every line of the link's own log (port settings, adapter latency), with or without a log
    // file, for a caller that keeps its own log.
    std::function<void(const std::string& text)> OnLogLine;

    bool Open();
    void Close();
    bool IsOpen() const;
    // Ends a held connection (and closes the port, when open).
    void Release();

    void SetControlLines(int rtsMode, int dtrMode);
    void SetHandshakeBits(unsigned options, bool on);
    void SetTimeouts(uint32_t readInterval, uint32_t readMultiplier, uint32_t readConstant,
                     uint32_t writeMultiplier, uint32_t writeConstant);
    void RestoreTimeouts();
    void ApplyTimeouts(uint32_t readInterval, uint32_t readMultiplier, uint32_t readConstant,
                       uint32_t writeMultiplier, uint32_t writeConstant);
    TCommTimeouts GetPortTimeouts() const;
    void SetPortTimeouts(const TCommTimeouts& t);
    void SetImmediateTimeouts();
    const TCommTimeouts& StoredTimeouts() const { return storedTimeouts_; }
    const LineSettings& LineControlTemplate() const { return lineTemplate_; }
    // The line settings as last read back from the driver.
    const LineSettings& CurrentLineSettings() const { return currentLine_; }

    void PurgeAll();
    void PurgeInput();

    bool WriteChar(char b);
    bool WriteText(const std::string& s);
    bool WriteEchoed(const std::string& s);
    int ReadCount(std::string& s, int n);
    int ReadByteNow(char& b);
    int ReadReply(std::string& s, int maxLen, int firstCharTimeout, int gapTimeout);
    bool ReadUntil(std::string& s, const std::string& terminator, int maxLen, int timeout);
    bool WaitForChar(const std::string& target, int timeout, int maxChars);
    // Reads until the line falls silent; false when it still sends after the bound below.
    bool DrainInput();
    // A line that sends without pause (a noisy cable, a device in a loop) is given up on after
    // this long or this many bytes, whichever comes first: 2 s at 9600 baud is ~1900 bytes.
    static constexpr int DrainLimitMs = 2000;
    static constexpr int DrainLimitBytes = 4096;

    // Why the last Open could not have the device, and the path it tried.
    SerialOpenError LastOpenError() const { return lastOpenError_; }
    int LastOpenErrno() const { return lastOpenErrno_; }
    const std::string& LastOpenPath() const { return lastOpenPath_; }
    // What the USB adapter's driver did about low latency at the last open.
    const LowLatencyState& Latency() const { return device_.Latency(); }

    // The name messages and log lines use: "COM7", or the address given in NetworkAddress.
    std::string PortName() const;
    // Whether the last Open (or the one that failed) went to a device server, and its address.
    bool IsRemote() const { return !remoteAddress_.empty(); }
    const std::string& RemoteAddress() const { return remoteAddress_; }
    // Why a device server could not be reached at the last Open, in plain words naming the
    // address; "" when it was, or the port is local.
    const std::string& LastOpenProblem() const { return lastOpenProblem_; }
    // Why the connection to a device server was lost ("...: the server closed the
    // connection"), until the next Open; "" while it stands, and for a local port.
    std::string LineLost() const;
    // A connection to a device server that stays between exchanges (HoldConnection) and stands.
    bool ConnectionHeld() const;
    // The round trip the link adds to every wait of a device server's port, in milliseconds:
    // first from the connect, then measured on the connection's first reply and raised by any
    // slower first reply of a later exchange. 0 for a local port.
    int RoundTripMs() const { return roundTripMs_; }
    // Round trips up to this are waited for; a longer one shows as time-outs.
    static constexpr int MaxRoundTripMs = 1000;

  private:
    void DataReceived(const std::string& t);
    void Log(const std::string& text);
    void LetWindowWork();
    void WaitReadable(int ms);
    // Reads up to n bytes under the time-outs in force: -1 when the line failed and nothing came.
    long ReadLine(char* buffer, size_t n);
    // One non-blocking read through the open line, noting a first reply's round trip.
    long ReadNow(char* buffer, size_t n);
    bool Send(const char* data, size_t n);
    LineTransport* Line() const;
    LineSettings ComposeLine(const std::string& name, const LineSettings& read);
    void OpenRemote(const std::string& name, const std::string& address);
    void DropRemote();
    void NoteRoundTrip(int sample);
    // The round trip added to a wait of `ms` (only a wait at all gets it).
    int Extended(int ms) const { return ms > 0 ? ms + roundTripMs_ : ms; }

    SerialDevice device_;
    std::unique_ptr<LineTransport> other_;  // a device server's connection, or a test's line
    bool otherOpen_ = false;                // the port is open on other_
    std::unique_ptr<TCommsDebugger> log_;
    TCommTimeouts storedTimeouts_;
    TCommTimeouts activeTimeouts_;
    LineSettings lineTemplate_;
    LineSettings currentLine_;
    SerialOpenError lastOpenError_ = SerialOpenError::None;
    int lastOpenErrno_ = 0;
    std::string lastOpenPath_;
    std::string remoteAddress_;
    std::string lastOpenProblem_;
    std::string lineLost_;
    int roundTripMs_ = 0;
    bool measuring_ = false;    // the exchange's first reply is still to be timed
    bool firstSample_ = false;  // no reply timed yet on this connection
    std::chrono::steady_clock::time_point firstWrite_{};
};
