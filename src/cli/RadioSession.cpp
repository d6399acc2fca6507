#include "cli/RadioSession.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "cli/TerminalText.h"
#include "cli/TrafficLog.h"
#include "common/StrUtils.h"
#include "config/Unit_Registry.h"
#include "history/ChangeHistory.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "platform/Interruption.h"
#include "platform/PortDiagnosis.h"
#include "platform/PortNames.h"

namespace {

// A device given by path still has a COM number for the link's messages: one that names no
// device of its own.
constexpr uint32_t kDevicePort = 256;
// A signal ends the run soon: the history gets a short last chance.
constexpr int kHistoryWaitOnSignalMs = 500;

}  // namespace

std::string CliPortLabel(const CliContext& ctx) {
    if (!ctx.Port.Address.empty())
        return ctx.Port.Address;
    if (!ctx.Device.empty())
        return ctx.Device;
    if (ctx.ComPort)
        return ComPortName(*ctx.ComPort);
    TRadioConfigRegistry registry;
    registry.ReadSettings();
    return ComPortName(registry.CommPort);
}

RadioSession::RadioSession(const CliContext& ctx) : ctx_(ctx) {
    if (!ctx.Port.Address.empty()) {
        link_.NetworkAddress = ctx.Port.Address;
    } else if (!ctx.Device.empty()) {
        link_.CommPort = kDevicePort;
        link_.DevicePath = ctx.Device;
    } else if (ctx.ComPort) {
        link_.CommPort = *ctx.ComPort;
    } else {
        TRadioConfigRegistry registry;
        registry.ReadSettings();
        link_.CommPort = registry.CommPort;
    }
    // The command keeps one log of every exchange (--log); a log per open would keep only the
    // last.
    link_.OnTraffic = [this, log = ctx.Log](char direction, const std::string& bytes) {
        if (log != nullptr)
            log->Traffic(direction, bytes);
        Follow(direction, bytes);
    };
    // The link's own lines (line settings, adapter latency) beside the traffic; the bytes it
    // would also describe are there already.
    if (ctx.Log != nullptr) {
        link_.OnLogLine = [log = ctx.Log](const std::string& text) {
            if (text.rfind("Writing to communications port", 0) != 0 &&
                text.rfind("Data received", 0) != 0)
                log->Note(text);
        };
    }
    // As the window sets up its link: 8N1, RTS off, DTR on, the working time-outs.
    link_.Parity = TParity::None;
    link_.DataBits = TDataBits::_8;
    link_.StopBits = TStopBits::_1;
    link_.SetControlLines(0, 1);
    link_.SetTimeouts(0, 100, 200, 0, 0);
    link_.AllowAppProcessMessages = false;
    // A device server's connection lasts the whole command: one connect and negotiation, not
    // one per exchange. A local port is still opened for each.
    link_.HoldConnection = true;
    RegisterRM7UXComms(
        &link_,
        [this](uint8_t code) {
            // Every exchange's open and close, whoever makes it (the record's own exchanges
            // included), so the log shows where each session starts.
            if (code == csPortOpen)
                Note("port " + PortLabel() + " open");
            else if (code == csIdle && state_ != csIdle)
                Note("port closed");
            else if (code >= csPortNotAvailable && code <= csInvalidDevice)
                Note("state: " + CommsStateText(code));
            state_ = code;
            if (code == csPortOpen)
                failure_ = 0;
            else if (code >= csPortNotAvailable && code <= csInvalidDevice)
                failure_ = code;
        },
        [this] { return state_; });
    // A signal waits for the exchange in progress; then the radio is left safe and the run ends.
    SetInterruptionDelivery([this](int signal) { EndOnSignal(signal); });
    InstallInterruptionHandlers(true);
}

RadioSession::~RadioSession() {
    // A signal kept waiting by a cleanup (no exchange followed it) still ends the run.
    DeliverPendingInterruption();
    SayIfTransmitterMayBeOn();
    link_.Release();
    RegisterRM7UXComms(nullptr, nullptr, nullptr);
    RemoveInterruptionHandlers();
    SetInterruptionDelivery(nullptr);
}

void RadioSession::EndOnSignal(int signal) {
    // A transmitter that a failed exchange left unconfirmed gets one more "O4", on this session's
    // link, before a cleanup (leaving the modem's configuration mode) opens a session of its own.
    if (TransmitterMayBeOn() && OpenRadioPort()) {
        TransmitterOff();
        CloseRadioPort();
    }
    const bool mayBeOn = TransmitterMayBeOn();
    link_.Close();
    const std::vector<std::string> outcome = InterruptionOutcome();
    std::ostream& err = ctx_.Err();
    err << "rm7ux: interrupted by " << SignalName(signal) << "\n";
    for (const std::string& line : outcome)
        err << "rm7ux: " << line << "\n";
    if (mayBeOn)
        err << "rm7ux: " << kTransmitterMayBeOnText << "\n";
    err.flush();
    RunInterruptionCleanups();
    // What waited for a busy history goes in now if it can; the journal keeps it otherwise.
    if (ctx_.History != nullptr)
        ctx_.History->FlushPending(kHistoryWaitOnSignalMs);
    ctx_.Out().flush();
    err.flush();
    std::fflush(nullptr);
    // Nothing else is left to undo, and the stack holds exchanges that must not go on.
    std::_Exit(128 + signal);
}

void RadioSession::Follow(char direction, const std::string& bytes) {
    // An exchange ends with the prompt, and the next begins with the next byte sent. A value is
    // judged only after its prompt, so the exchange to blame is the last one begun.
    for (char c : bytes) {
        if (direction == 'w') {
            if (replied_) {
                last_ = {sent_, received_};
                sent_.clear();
                received_.clear();
                replied_ = false;
            }
            sent_ += c;
        } else {
            received_ += c;
            replied_ = replied_ || c == '>';
        }
    }
}

std::string RadioSession::LastCommand() const {
    // The command is what was typed before its value or carriage return: "PT", "PL2". A lone
    // carriage return (a prompt asked for) is no field's exchange: the one before it is meant.
    const bool current = !sent_.empty() && std::isalnum(static_cast<unsigned char>(sent_[0]));
    const std::string& sent = current ? sent_ : last_.first;
    const std::string& reply = current ? received_ : last_.second;
    std::string command;
    for (char c : sent) {
        if (!std::isalnum(static_cast<unsigned char>(c)) || command.size() == 3)
            break;
        command += c;
    }
    if (command.empty())
        return "";
    std::string answer = Trim(reply.substr(0, reply.find('\r')));
    return command + (answer.empty() ? "" : " (the radio answered '" + answer + "')");
}

void RadioSession::Note(const std::string& text) {
    if (ctx_.Log != nullptr)
        ctx_.Log->Note(text);
}

bool RadioSession::PortHeld() {
    // A device server lets one client in at a time, itself.
    if (IsNetworkPort())
        return false;
    // The lock keeps out only programs that lock too: a terminal program with the cable open
    // would share the line and each would read the other's replies.
    holders_ = FindPortHolders(link_.DevicePath.empty() ? ResolveComPort(link_.CommPort)
                                                        : link_.DevicePath);
    if (holders_.empty())
        return false;
    state_ = failure_ = csPortNotAvailable;
    return true;
}

bool RadioSession::Connect() {
    if (PortHeld())
        return false;
    if (!OpenRadioPort())
        return false;
    // As the window's refresh does: nothing from an earlier exchange may pass for a reply.
    link_.PurgeAll();
    if (EnsureRadioIdentified())
        return true;
    CloseRadioPort();
    return false;
}

void RadioSession::Close() {
    CloseRadioPort();
}

void RadioSession::Settle() {
    if (!OpenRadioPort())
        return;
    FlushRadioLink();
    Close();
}

std::string RadioSession::PortLabel() const {
    if (!ctx_.Port.Address.empty())
        return ctx_.Port.Address;
    return ctx_.Device.empty() ? ComPortName(link_.CommPort) : ctx_.Device;
}

bool RadioSession::IsNetworkPort() const {
    return !link_.NetworkAddress.empty() ||
           (ctx_.Device.empty() && !ComPortAddress(link_.CommPort).empty());
}

bool RadioSession::LineLost() const {
    return !link_.LineLost().empty();
}

void RadioSession::SayIfTransmitterMayBeOn() {
    if (!TransmitterMayBeOn() || keyedSaid_)
        return;
    keyedSaid_ = true;
    ctx_.Err() << "rm7ux: " << kTransmitterMayBeOnText << "\n";
    ctx_.Err().flush();
}

int RadioSession::RadioModel() const {
    return RM7UXIsRM7UX() ? 1 : 0;
}

int RadioSession::FailWith(const std::string& account) {
    Note("failed: " + account);
    Close();
    std::ostream& err = ctx_.Err();
    err << "rm7ux: " << TerminalSafe(PortLabel()) << ": " << TerminalSafeLines(account) << "\n";
    err.flush();
    return kExitFailed;
}

int RadioSession::Fail(const std::string& what) {
    Note("failed: " + what);
    Close();
    std::ostream& err = ctx_.Err();
    err << "rm7ux: " << TerminalSafe(PortLabel()) << ": " << what;
    if (failure_ != 0)
        err << ": " << CommsStateText(failure_);
    err << "\n";
    const bool byPath = !ctx_.Device.empty();
    // The diagnosis names devices, links and programs, any of which may carry control
    // characters: it is escaped line by line like everything else from outside.
    std::string diagnosis;
    if (!link_.LastOpenProblem().empty()) {
        // A device server that could not be reached: which, and why, in its own words.
        diagnosis = link_.LastOpenProblem();
    } else if (!link_.LineLost().empty()) {
        // Like a cable pulled out: the exchange under way did not complete.
        diagnosis = link_.LineLost();
    } else if (failure_ == csPortNotAvailable && !holders_.empty()) {
        diagnosis = DescribePortHeld(
            PortLabel(), byPath ? ctx_.Device : ResolveComPort(link_.CommPort), holders_);
    } else if (failure_ == csPortNotAvailable) {
        diagnosis =
            DescribePortOpenFailure(PortLabel(), byPath ? ctx_.Device : link_.LastOpenPath(),
                                    link_.LastOpenError(), link_.LastOpenErrno());
    }
    if (!diagnosis.empty())
        err << TerminalSafeLines(diagnosis) << "\n";
    // An adapter that keeps its 16 ms latency can make echoes late enough to fail an exchange.
    if (link_.Latency().Result == LowLatency::Refused && !link_.IsRemote())
        err << DescribeLatency(link_.Latency()) << "\n";
    err.flush();
    SayIfTransmitterMayBeOn();
    return kExitFailed;
}
