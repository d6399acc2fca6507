#pragma once
// The line under the link: a local serial device, a raw TCP connection to a serial device server,
// or one speaking RFC 2217 (and, in tests, a scripted line in memory). It moves bytes and sets
// the line; how long to wait for them is the link's business, above it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

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

// What a wait for input found: bytes to read, a line that failed (hung up, closed), both, or
// neither when the deadline passed.
struct LineReady {
    bool Input = false;
    bool Failed = false;
};

class LineTransport {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~LineTransport() = default;

    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;

    virtual bool GetLineSettings(LineSettings& settings) const = 0;
    // A value the line refuses is left as it was.
    virtual bool SetLineSettings(const LineSettings& settings) = 0;

    // What has arrived, at most n bytes, without waiting: the count, 0 when nothing has, or -1
    // when the line failed (hung up, connection closed or reset).
    virtual long ReadNow(char* buffer, size_t n) = 0;
    // Waits until input is there, the line fails, or the deadline passes (Clock::time_point::max()
    // waits as long as it takes).
    virtual LineReady WaitReadable(Clock::time_point deadline) = 0;
    // Every byte, or false on a real error (or when the line takes nothing for a long time).
    virtual bool Write(const char* data, size_t n) = 0;
    // Discards what was not yet sent and/or what arrived and was not read.
    virtual bool Purge(bool output, bool input) = 0;
    virtual int LastErrno() const = 0;

    // A connection to a device server rather than a device of this machine.
    virtual bool IsRemote() const { return false; }
};

// A line to a serial device server: what the link tells the technician about it.
class RemoteLine : public LineTransport {
  public:
    bool IsRemote() const override { return true; }
    // "tcp://pump-station:4001"
    virtual const std::string& Address() const = 0;
    // Whether the server sets the line as asked (RFC 2217); a raw TCP line is as the server has it.
    virtual bool SetsLine() const = 0;
    // The round trip the connection took to set up (the TCP connect and, for RFC 2217, the
    // negotiation), in milliseconds: the first estimate of every turnaround's cost.
    virtual int ConnectRoundTripMs() const = 0;
    // Why the connection ended, in plain words ("the server closed the connection"), with what it
    // said last ("it said 'Port already in use'"); "" while it stands.
    virtual std::string Failure() const = 0;
    // Lines the connection has to say for the log (the negotiation's outcome), taken once.
    virtual std::string TakeNotes() { return ""; }
};
