#include "cli/RadioSession.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "config/Unit_Registry.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "platform/Interruption.h"
#include "platform/PortDiagnosis.h"
#include "platform/PortNames.h"

namespace {

// A device given by path still has a COM number for the link's messages: one that names no
// device of its own.
constexpr uint32_t kDevicePort = 256;

}  // namespace

RadioSession::RadioSession(const CliContext& ctx) : ctx_(ctx) {
    if (!ctx.Device.empty()) {
        link_.CommPort = kDevicePort;
        link_.DevicePath = ctx.Device;
    } else if (ctx.ComPort) {
        link_.CommPort = *ctx.ComPort;
    } else {
        TRadioConfigRegistry registry;
        registry.ReadSettings();
        link_.CommPort = registry.CommPort;
    }
    link_.CommsLogFileName = ctx.LogFile;
    // As the window sets up its link: 8N1, RTS off, DTR on, the working time-outs.
    link_.Parity = TParity::None;
    link_.DataBits = TDataBits::_8;
    link_.StopBits = TStopBits::_1;
    link_.SetControlLines(0, 1);
    link_.SetTimeouts(0, 100, 200, 0, 0);
    link_.AllowAppProcessMessages = false;
    RegisterRM7UXComms(
        &link_,
        [this](uint8_t code) {
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
    link_.Close();
    RegisterRM7UXComms(nullptr, nullptr, nullptr);
    RemoveInterruptionHandlers();
    SetInterruptionDelivery(nullptr);
}

void RadioSession::EndOnSignal(int signal) {
    RunInterruptionCleanups();
    // A transmitter that a failed exchange left unconfirmed gets one more "O4".
    if (TransmitterMayBeOn() && OpenRadioPort()) {
        TransmitterOff();
        CloseRadioPort();
    }
    link_.Close();
    std::ostream& err = ctx_.Err();
    err << "rm7ux: interrupted by " << SignalName(signal) << "\n";
    for (const std::string& line : InterruptionOutcome())
        err << "rm7ux: " << line << "\n";
    if (TransmitterMayBeOn())
        err << "rm7ux: " << kTransmitterMayBeOnText << "\n";
    ctx_.Out().flush();
    err.flush();
    std::fflush(nullptr);
    // Nothing else is left to undo, and the stack holds exchanges that must not go on.
    std::_Exit(128 + signal);
}

bool RadioSession::Connect() {
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
    CloseRadioPort();
}

std::string RadioSession::PortLabel() const {
    return ctx_.Device.empty() ? ComPortName(link_.CommPort) : ctx_.Device;
}

int RadioSession::RadioModel() const {
    return RM7UXIsRM7UX() ? 1 : 0;
}

int RadioSession::Fail(const std::string& what) {
    CloseRadioPort();
    std::ostream& err = ctx_.Err();
    err << "rm7ux: " << PortLabel() << ": " << what;
    if (failure_ != 0)
        err << ": " << CommsStateText(failure_);
    err << "\n";
    if (failure_ == csPortNotAvailable) {
        const bool byPath = !ctx_.Device.empty();
        err << DescribePortOpenFailure(PortLabel(), byPath ? ctx_.Device : link_.LastOpenPath(),
                                       link_.LastOpenError(), link_.LastOpenErrno())
            << "\n";
    }
    err.flush();
    return kExitFailed;
}
