#include "link/VVCOMM2.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/NetworkLine.h"
#include "platform/PortNames.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBaudRates[] = {1200,  2400,  4800,  9600,  14400, 19200,
                                   28800, 31250, 38400, 57600, 76800, 115200};

Clock::time_point After(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

}  // namespace

uint32_t BaudRateValue(TBaudRate rate) {
    return kBaudRates[static_cast<int>(rate)];
}

// ---------------------------------------------------------------------------------------------
// TCommsDebugger

TCommsDebugger::TCommsDebugger(const std::string& path, const FormatSettings& fs)
    : path_(path), fs_(fs) {
    if (path_.empty())
        return;
    file_ = std::fopen(path_.c_str(), "w");
    if (file_ == nullptr)
        throw EOpeningLogFileError("Unable to open log file " + path_);
    enabled_ = true;
}

TCommsDebugger::~TCommsDebugger() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void TCommsDebugger::LogLine(const std::string& text) {
    if (!enabled_)
        return;
    auto now = std::chrono::system_clock::now();
    std::string line = fs_.FormatShortDate(now) + "  " + fs_.FormatLongTime(now) + " - " + text;
    std::fprintf(file_, "%s\n", line.c_str());
    // A log is read after something went wrong: each line reaches the file at once.
    std::fflush(file_);
}

void TCommsDebugger::LogError(uint32_t code, const std::string& text) {
    LogLine(text + " GetLastError returned: \"" + std::to_string(code) + "\"");
}

// ---------------------------------------------------------------------------------------------
// TVVComm2

TVVComm2::TVVComm2() {
    storedTimeouts_ = {0, 100, 200, 0, 0};
    SetHandshakeBits(hsCtsOutput | hsDsrOutput, false);
}

TVVComm2::~TVVComm2() {
    // The owner closes the port first; this only makes sure nothing leaks if it did not.
    device_.Close();
}

LineTransport* TVVComm2::Line() const {
    if (otherOpen_)
        return other_.get();
    return const_cast<SerialDevice*>(&device_);
}

bool TVVComm2::IsOpen() const {
    return (otherOpen_ ? other_ != nullptr && other_->IsOpen() : device_.IsOpen()) &&
           log_ != nullptr;
}

std::string TVVComm2::PortName() const {
    return NetworkAddress.empty() ? ComPortName(CommPort) : NetworkAddress;
}

bool TVVComm2::ConnectionHeld() const {
    return HoldConnection && other_ != nullptr && other_->IsRemote() && other_->IsOpen() &&
           static_cast<const RemoteLine&>(*other_).Failure().empty();
}

std::string TVVComm2::LineLost() const {
    if (otherOpen_ && other_->IsRemote())
        return static_cast<const RemoteLine&>(*other_).Failure();
    return lineLost_;
}

void TVVComm2::Log(const std::string& text) {
    if (log_)
        log_->LogLine(text);
    if (OnLogLine)
        OnLogLine(text);
}

bool TVVComm2::Open() {
    if (IsOpen())
        return true;
    const std::string name = PortName();
    // A new log every time, replacing the last one.
    log_.reset();
    log_ = std::make_unique<TCommsDebugger>(CommsLogFileName, LogFormat);
    Log("Preparing to open port : " + name);
    if (device_.IsOpen() || otherOpen_) {
        Log(name + " : Port is already open.");
        throw EPortAlreadyOpen(name + "- The port is already open.");
    }
    lineLost_.clear();
    lastOpenProblem_.clear();
    remoteAddress_.clear();
    // A device server's address: given, or written in the ports folder's COMn file.
    std::string address = NetworkAddress;
    if (address.empty() && DevicePath.empty())
        address = ComPortAddress(CommPort);
    if (!address.empty()) {
        OpenRemote(name, address);
        return true;
    }
    DropRemote();
    roundTripMs_ = 0;
    Log(name + " : Creating comms file handle.");
    lastOpenPath_ = DevicePath.empty() ? ResolveComPort(name) : DevicePath;
    if (OpenLine) {
        std::string problem;
        other_ = OpenLine(lastOpenPath_, problem);
        if (other_ == nullptr) {
            lastOpenError_ = SerialOpenError::NoSuchDevice;
            Log(name + " : Invalid handle returned. Port could already be in use.");
            throw EOpeningPortError(name + "- This port may be already in use or not present.");
        }
        otherOpen_ = true;
        lastOpenError_ = SerialOpenError::None;
        LineSettings line;
        other_->GetLineSettings(line);
        activeTimeouts_ = storedTimeouts_;
        currentLine_ = ComposeLine(name, line);
        other_->SetLineSettings(currentLine_);
        other_->GetLineSettings(currentLine_);
        Log(name + " : Opening Port");
        return true;
    }
    if (!device_.Open(lastOpenPath_)) {
        lastOpenError_ = device_.LastOpenError();
        lastOpenErrno_ = device_.LastErrno();
        Log(name + " : Invalid handle returned. Port could already be in use.");
        throw EOpeningPortError(name + "- This port may be already in use or not present.");
    }
    lastOpenError_ = SerialOpenError::None;
    lastOpenErrno_ = 0;
    if (!device_.IsCharacterDevice()) {
        Log(name + " : Handle returned does not point a a comms file.");
        // Not a port: let go of it rather than leave it held and locked.
        device_.Close();
        throw ECommsError(name + "- Handle is not a communications port handle.");
    }

    LineSettings line;
    Log(name + " : Getting comm state.");
    device_.GetLineSettings(line);
    Log(name + " : Getting comm properties.");
    Log(name + " : Getting comm mask.");
    Log(name + " : Getting comm timeouts.");
    Log(name + " : Setting comm timeouts.");
    activeTimeouts_ = storedTimeouts_;
    line = ComposeLine(name, line);
    // A setting the driver refuses leaves the port open with what it had.
    device_.SetLineSettings(line);
    currentLine_ = line;
    device_.GetLineSettings(currentLine_);
    if (const std::string latency = DescribeLatency(device_.Latency()); !latency.empty())
        Log(name + " : " + latency);
    Log(name + " : Opening Port");
    return true;
}

LineSettings TVVComm2::ComposeLine(const std::string& name, const LineSettings& read) {
    LineSettings line = read;
    const int dataBits = 4 + static_cast<int>(DataBits);
    Log(name + " : Setting data bits = " + std::to_string(dataBits));
    line.BaudRate = BaudRateValue(BaudRate);
    Log(name + " : Setting baud rate = " + std::to_string(line.BaudRate));
    line.Parity = static_cast<int>(Parity);
    Log(name + " : Setting parity = " + std::to_string(line.Parity) +
        " (0=none, 1=odd, 2=even, 3=mark, 4=space).");
    line.DataBits = dataBits;
    line.StopBits = static_cast<int>(StopBits);
    Log(name + " : Setting stop bits = " + std::to_string(line.StopBits) +
        " (0=1sb, 1=1.5sb, 2=2sb).");

    Log(name + " : Setting com state");
    line.OutxCtsFlow = lineTemplate_.OutxCtsFlow;
    line.OutxDsrFlow = lineTemplate_.OutxDsrFlow;
    line.DtrControl = lineTemplate_.DtrControl;
    line.DsrSensitivity = lineTemplate_.DsrSensitivity;
    line.RtsControl = lineTemplate_.RtsControl;
    return line;
}

void TVVComm2::OpenRemote(const std::string& name, const std::string& address) {
    remoteAddress_ = address;
    lastOpenPath_.clear();
    if (ConnectionHeld() && static_cast<RemoteLine&>(*other_).Address() == address &&
        other_->Purge(true, true)) {
        // Nothing from before this exchange may pass for a reply, as at a local port's open.
        otherOpen_ = true;
        Log(name + " : Using the connection to " + address + " held since the last exchange.");
    } else {
        DropRemote();
        Log(name + " : Connecting to " + address + ".");
        std::string problem;
        std::unique_ptr<LineTransport> line =
            OpenLine ? OpenLine(address, problem) : ConnectRemoteLine(address, problem);
        if (line == nullptr || !line->IsRemote()) {
            lastOpenError_ = SerialOpenError::Other;
            lastOpenProblem_ = problem.empty() ? address + ": no connection" : problem;
            Log(name + " : " + lastOpenProblem_);
            throw EOpeningPortError(name + "- " + lastOpenProblem_);
        }
        other_ = std::move(line);
        otherOpen_ = true;
        auto& remote = static_cast<RemoteLine&>(*other_);
        roundTripMs_ = std::min(remote.ConnectRoundTripMs(), MaxRoundTripMs);
        firstSample_ = true;
        Log(name + " : Connected to " + address + "; round trip " + std::to_string(roundTripMs_) +
            " ms, added to every wait.");
        if (const std::string notes = remote.TakeNotes(); !notes.empty())
            Log(name + " : " + notes);
        if (remote.SetsLine()) {
            currentLine_ = ComposeLine(name, LineSettings{});
            remote.SetLineSettings(currentLine_);
            remote.GetLineSettings(currentLine_);
            if (const std::string notes = remote.TakeNotes(); !notes.empty())
                Log(name + " : " + notes);
            // A server that answers the negotiation and then finds its device in use says so
            // and closes instead of setting the line.
            if (!remote.Failure().empty()) {
                lastOpenError_ = SerialOpenError::Other;
                lastOpenProblem_ = remote.Failure();
                Log(name + " : " + lastOpenProblem_);
                DropRemote();
                throw EOpeningPortError(name + "- " + lastOpenProblem_);
            }
        } else {
            Log(name + " : Raw TCP: the line settings are the server's (the radio needs " +
                std::to_string(BaudRateValue(BaudRate)) + " baud, " +
                std::to_string(4 + static_cast<int>(DataBits)) + " data bits, parity " +
                std::to_string(static_cast<int>(Parity)) + ", stop bits " +
                std::to_string(static_cast<int>(StopBits)) + ").");
        }
    }
    lastOpenError_ = SerialOpenError::None;
    lastOpenErrno_ = 0;
    activeTimeouts_ = storedTimeouts_;
    measuring_ = true;
    firstWrite_ = {};
    Log(name + " : Opening Port");
}

void TVVComm2::DropRemote() {
    if (other_ != nullptr)
        other_->Close();
    other_.reset();
    otherOpen_ = false;
}

void TVVComm2::NoteRoundTrip(int sample) {
    // The connection's first reply refines the connect's estimate; later ones only raise it. A
    // wait is a bound, not a delay: too long costs nothing, too short fails an exchange. And a
    // reply of the last exchange still on its way can pass for a quick one.
    roundTripMs_ = std::min(firstSample_ ? sample : std::max(roundTripMs_, sample), MaxRoundTripMs);
    firstSample_ = false;
    Log(PortName() + " : Round trip " + std::to_string(sample) + " ms on the first reply; " +
        std::to_string(roundTripMs_) + " ms added to every wait.");
}

void TVVComm2::Close() {
    // A connection that died under an exchange is still this port's to close.
    if (!IsOpen() && !(otherOpen_ && log_ != nullptr))
        return;
    Log("Closing the communications port.");
    if (otherOpen_) {
        otherOpen_ = false;
        auto* remote = other_->IsRemote() ? static_cast<RemoteLine*>(other_.get()) : nullptr;
        if (remote != nullptr && !remote->Failure().empty())
            lineLost_ = remote->Failure();
        // Nothing came back all exchange: the server or the path to it may be dead without a
        // word (a cellular link gone), which TCP would take many minutes to tell. The next
        // exchange connects anew and finds out.
        const bool unanswered = measuring_ && firstWrite_ != Clock::time_point{};
        if (remote != nullptr && HoldConnection && lineLost_.empty() && !unanswered) {
            Log("The connection to " + remote->Address() + " is held for the next exchange.");
        } else {
            DropRemote();
        }
    } else {
        device_.Close();
    }
    log_.reset();
}

void TVVComm2::Release() {
    Close();
    DropRemote();
}

void TVVComm2::SetControlLines(int rtsMode, int dtrMode) {
    lineTemplate_.RtsControl = rtsMode & 3;
    lineTemplate_.DtrControl = dtrMode & 3;
}

void TVVComm2::SetHandshakeBits(unsigned options, bool on) {
    if (options & hsCtsOutput)
        lineTemplate_.OutxCtsFlow = on;
    if (options & hsDsrOutput)
        lineTemplate_.OutxDsrFlow = on;
    if (options & hsDsrSensitivity)
        lineTemplate_.DsrSensitivity = on;
}

void TVVComm2::SetTimeouts(uint32_t readInterval, uint32_t readMultiplier, uint32_t readConstant,
                           uint32_t writeMultiplier, uint32_t writeConstant) {
    storedTimeouts_ = {readInterval, readMultiplier, readConstant, writeMultiplier, writeConstant};
}

void TVVComm2::RestoreTimeouts() {
    activeTimeouts_ = storedTimeouts_;
}

void TVVComm2::ApplyTimeouts(uint32_t readInterval, uint32_t readMultiplier, uint32_t readConstant,
                             uint32_t writeMultiplier, uint32_t writeConstant) {
    activeTimeouts_ = {readInterval, readMultiplier, readConstant, writeMultiplier, writeConstant};
}

TCommTimeouts TVVComm2::GetPortTimeouts() const {
    return activeTimeouts_;
}

void TVVComm2::SetPortTimeouts(const TCommTimeouts& t) {
    activeTimeouts_ = t;
}

void TVVComm2::SetImmediateTimeouts() {
    ApplyTimeouts(UINT32_MAX, 0, 0, 0, 0);
}

void TVVComm2::PurgeAll() {
    Line()->Purge(true, false);
    Line()->Purge(false, true);
}

void TVVComm2::PurgeInput() {
    Line()->Purge(false, true);
}

bool TVVComm2::Send(const char* data, size_t n) {
    if (measuring_ && firstWrite_ == Clock::time_point{})
        firstWrite_ = Clock::now();
    return Line()->Write(data, n);
}

long TVVComm2::ReadNow(char* buffer, size_t n) {
    const long got = Line()->ReadNow(buffer, n);
    if (got > 0 && measuring_ && firstWrite_ != Clock::time_point{}) {
        // The exchange's first reply (the echo of its first byte) came one round trip after
        // that byte left: the estimate every later wait is extended by.
        measuring_ = false;
        NoteRoundTrip(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - firstWrite_)
                .count()));
    }
    return got;
}

long TVVComm2::ReadLine(char* buffer, size_t n) {
    if (n == 0)
        return Line()->IsOpen() ? 0 : -1;
    const TCommTimeouts t = activeTimeouts_;
    if (t.IsImmediate())
        return ReadNow(buffer, n);
    // Total time-out: C + M x N from the call; with both 0 the read waits for all N bytes. A
    // device server's port waits one round trip more.
    uint64_t totalMs =
        uint64_t{t.ReadTotalTimeoutConstant} + uint64_t{t.ReadTotalTimeoutMultiplier} * n;
    const bool hasTotal = totalMs > 0;
    if (hasTotal)
        totalMs += static_cast<uint64_t>(roundTripMs_);
    const Clock::time_point totalDeadline = Clock::now() + std::chrono::milliseconds(totalMs);
    size_t got = 0;
    while (got < n) {
        const long r = ReadNow(buffer + got, n - got);
        if (r > 0) {
            got += static_cast<size_t>(r);
            continue;
        }
        if (r < 0) {
            // Hung up or broken: what arrived counts, otherwise the read failed.
            return got > 0 ? static_cast<long>(got) : -1;
        }
        Clock::time_point deadline = totalDeadline;
        bool hasDeadline = hasTotal;
        if (t.ReadIntervalTimeout > 0 && got > 0) {
            auto gapDeadline = Clock::now() + std::chrono::milliseconds(t.ReadIntervalTimeout);
            if (!hasDeadline || gapDeadline < deadline)
                deadline = gapDeadline;
            hasDeadline = true;
        }
        const LineReady ready =
            Line()->WaitReadable(hasDeadline ? deadline : Clock::time_point::max());
        if (!ready.Input && !ready.Failed)
            break;
        if (!ready.Input)
            return got > 0 ? static_cast<long>(got) : -1;
    }
    return static_cast<long>(got);
}

void TVVComm2::WaitReadable(int ms) {
    const Clock::time_point deadline = After(ms);
    if (Line()->WaitReadable(deadline).Failed) {
        // A hung-up line is "ready" at once, forever: let the time pass instead of spinning.
        std::this_thread::sleep_until(deadline);
    }
}

bool TVVComm2::WriteChar(char b) {
    if (!Send(&b, 1))
        return false;
    if (OnTraffic)
        OnTraffic('w', std::string(1, b));
    return true;
}

bool TVVComm2::WriteText(const std::string& s) {
    if (log_)
        Log("Writing to communications port - " + s);
    // Every byte or a failure: a short write would silently lose the end of a command.
    if (!Send(s.data(), s.size())) {
        if (log_)
            log_->LogError(static_cast<uint32_t>(Line()->LastErrno()),
                           "Error to writing to CommFile");
        return false;
    }
    if (OnTraffic)
        OnTraffic('w', s);
    return true;
}

bool TVVComm2::WriteEchoed(const std::string& s) {
    bool result = true;
    for (size_t i = 0; i < s.size() && result; ++i) {
        if (!WriteChar(s[i])) {
            result = false;
            break;
        }
        std::string echo;
        int n = ReadCount(echo, 1);
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        result = n == 1 && echo.size() == 1 && lower(echo[0]) == lower(s[i]);
    }
    return result;
}

int TVVComm2::ReadCount(std::string& s, int n) {
    if (n < 0)
        n = 0;
    std::string buffer(static_cast<size_t>(n), '\0');
    long got = ReadLine(buffer.data(), buffer.size());
    if (got < 0)
        return 0;
    buffer.resize(static_cast<size_t>(got));
    if (OnTraffic && got > 0)
        OnTraffic('r', buffer);
    s = buffer;
    DataReceived(s);
    return static_cast<int>(got);
}

int TVVComm2::ReadByteNow(char& b) {
    char c = 0;
    long got = ReadLine(&c, 1);
    if (got < 0)
        return 0;
    if (got == 0) {
        b = ' ';
        return 0;
    }
    b = c;
    if (OnTraffic)
        OnTraffic('r', std::string(1, c));
    return 1;
}

void TVVComm2::LetWindowWork() {
    if (AllowAppProcessMessages && ProcessMessages)
        ProcessMessages();
}

int TVVComm2::ReadReply(std::string& s, int maxLen, int firstCharTimeout, int gapTimeout) {
    struct RestoreOnExit {
        TVVComm2& c;
        TCommTimeouts kept;
        ~RestoreOnExit() { c.activeTimeouts_ = kept; }
    } restore{*this, activeTimeouts_};
    SetImmediateTimeouts();
    if (maxLen < 1)
        return 0;

    s.clear();
    int count = 0;
    // Waiting for the first character: the 1 ms pause is a wait for input, so a byte that
    // arrives during it is taken at once.
    Clock::time_point deadline = After(Extended(firstCharTimeout));
    for (;;) {
        WaitReadable(1);
        LetWindowWork();
        char b = 0;
        if (ReadByteNow(b) == 1) {
            s.assign(1, b);
            count = 1;
            break;
        }
        if (Clock::now() >= deadline)
            break;
    }
    std::string pending = s;
    if (s.empty())
        return 0;
    if (maxLen == 1) {
        DataReceived(pending);
        return 1;
    }
    deadline = After(Extended(gapTimeout));
    int polls = 0;
    while (Clock::now() < deadline && static_cast<int>(s.size()) < maxLen) {
        char b = 0;
        if (ReadByteNow(b) == 1) {
            s += b;
            pending += b;
            deadline = After(Extended(gapTimeout));
            count = static_cast<int>(s.size());
            polls = 0;
            continue;
        }
        ++polls;
        if (!pending.empty()) {
            DataReceived(pending);
            pending.clear();
        }
        if (polls > 5) {
            LetWindowWork();
            polls = 0;
        }
        // Instead of spinning until the gap runs out, wait (briefly) for the next byte.
        WaitReadable(1);
    }
    if (!pending.empty())
        DataReceived(pending);
    return count;
}

bool TVVComm2::ReadUntil(std::string& s, const std::string& terminator, int maxLen, int timeout) {
    s.clear();
    Clock::time_point deadline = After(Extended(timeout));
    for (;;) {
        std::string c;
        if (ReadCount(c, 1) != 1)
            return false;
        if (c == terminator)
            return true;
        s += c;
        if (maxLen > 0 && static_cast<int>(s.size()) >= maxLen)
            return false;
        if (timeout > 0 && Clock::now() >= deadline)
            return false;
    }
}

bool TVVComm2::WaitForChar(const std::string& target, int timeout, int maxChars) {
    if (target.empty())
        return false;
    Clock::time_point deadline = After(Extended(timeout));
    int count = 0;
    for (;;) {
        std::string c;
        if (ReadCount(c, 1) != 1)
            return false;
        ++count;
        if (c[0] == target[0])
            return true;
        if (maxChars > 0 && count >= maxChars)
            return false;
        if (timeout > 0 && Clock::now() >= deadline)
            return false;
    }
}

bool TVVComm2::DrainInput() {
    const Clock::time_point deadline = After(DrainLimitMs);
    std::string c;
    for (int n = 0; n < DrainLimitBytes && Clock::now() < deadline; ++n) {
        if (ReadCount(c, 1) != 1)
            return true;
    }
    Log("The line keeps sending: input not drained.");
    return false;
}

void TVVComm2::DataReceived(const std::string& t) {
    if (!OnReceiveData)
        return;
    OnReceiveData(t, static_cast<uint16_t>(t.size()));
    Log("Data received from read thread : " + t);
}
