#include "cli/InsideModem.h"

#include <optional>

#include "cli/RadioSession.h"
#include "cli/TerminalText.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"
#include "platform/Interruption.h"

namespace {

// The modem's reply on one line: line ends and other control characters shown as escapes.
std::string Visible(const std::string& reply) {
    std::string text;
    for (char c : reply) {
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            text += "\\x" + std::string(1, "0123456789abcdef"[(c >> 4) & 15]) +
                    "0123456789abcdef"[c & 15];
        } else {
            text += c;
        }
    }
    return text;
}

// Switches the modem back to AT mode; false (and why on standard error) when it does not go.
// The one step that must follow entering configuration mode, whatever ends the command.
bool LeaveConfigMode(const CliContext& ctx) {
    RadioSession session(ctx);
    bool loaded = false;
    if (!LeaveModemConfiguration(loaded)) {
        ctx.Err() << "rm7ux: " << TerminalSafe(session.PortLabel())
                  << ": the M82KD modem did not return to AT mode\n";
        return false;
    }
    if (!loaded) {
        ctx.Err() << "rm7ux: " << TerminalSafe(session.PortLabel())
                  << ": the M82KD modem did not report \"Config loaded OK\"\n";
    }
    return true;
}

// Runs LeaveConfigMode when it leaves scope: after the command, on failure or on an exception
// alike. LeaveConfigMode is also what a program ending on a signal has to run.
class ConfigModeGuard {
  public:
    ConfigModeGuard(const CliContext& ctx, int& status) : ctx_(ctx), status_(status) {}
    ~ConfigModeGuard() {
        if (!LeaveConfigMode(ctx_) && status_ == kExitOk)
            status_ = kExitFailed;
    }
    ConfigModeGuard(const ConfigModeGuard&) = delete;
    ConfigModeGuard& operator=(const ConfigModeGuard&) = delete;

  private:
    const CliContext& ctx_;
    int& status_;
};

}  // namespace

int RunInsideModem(CliContext& ctx, int (*run)(CliContext&)) {
    // A mode an earlier run left the modem in is left first: entering would fail in it.
    NoticeUnfinished(ctx, true);
    // Registered before the first AT command: a signal while the modem switches leaves it too.
    // (ETX and ATZ to a modem still in AT mode do no harm.)
    std::optional<InterruptionCleanup> onSignal;
    onSignal.emplace([&ctx] { LeaveConfigMode(ctx); });
    {
        RadioSession session(ctx);
        std::string reply;
        if (session.PortHeld())
            return session.Fail("the M82KD modem");
        if (!EnterModemConfiguration(kM82KDPassword, &reply, ctx.Journal, CliPortLabel(ctx),
                                     "cli")) {
            onSignal.reset();
            if (session.Failure() == csPortNotAvailable)
                return session.Fail("the M82KD modem");
            ctx.Err() << "rm7ux: " << TerminalSafe(session.PortLabel())
                      << ": the M82KD modem did not enter its radio configuration mode; "
                      << (reply.empty() ? "it did not answer"
                                        : "it answered \"" + Visible(reply) + "\"")
                      << "\n";
            return kExitFailed;
        }
    }
    if (run != RunRepair)
        NoticeUnfinished(ctx);
    int status = kExitFailed;
    {
        ConfigModeGuard leave(ctx, status);
        // A run ended by a signal leaves through the cleanup instead of the guard.
        status = run(ctx);
        onSignal.reset();
    }
    return status;
}
