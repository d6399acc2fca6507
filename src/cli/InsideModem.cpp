#include "cli/InsideModem.h"

#include "cli/RadioSession.h"
#include "link/RM7UXcomms.h"

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

// Gives the modem back to AT mode when it leaves scope: after the command, on failure or on an
// exception alike. An interruption reaches it through the program's signal handling.
class ConfigModeGuard {
  public:
    explicit ConfigModeGuard(const CliContext& ctx) : ctx_(ctx) {}
    ~ConfigModeGuard() {
        RadioSession session(ctx_);
        bool loaded = false;
        Left = ExitModemConfigMode(loaded);
        if (!Left) {
            ctx_.Err() << "rm7ux: " << session.PortLabel()
                       << ": the M82KD modem did not return to AT mode\n";
        } else if (!loaded) {
            ctx_.Err() << "rm7ux: " << session.PortLabel()
                       << ": the M82KD modem did not report \"Config loaded OK\"\n";
        }
        if (Result != nullptr && !Left && *Result == kExitOk)
            *Result = kExitFailed;
    }
    ConfigModeGuard(const ConfigModeGuard&) = delete;
    ConfigModeGuard& operator=(const ConfigModeGuard&) = delete;

    bool Left = false;
    int* Result = nullptr;

  private:
    const CliContext& ctx_;
};

}  // namespace

int RunInsideModem(CliContext& ctx, int (*run)(CliContext&)) {
    {
        RadioSession session(ctx);
        std::string reply;
        if (!EnterModemConfigMode(kM82KDPassword, &reply)) {
            if (session.Failure() == csPortNotAvailable)
                return session.Fail("the M82KD modem");
            ctx.Err() << "rm7ux: " << session.PortLabel()
                      << ": the M82KD modem did not enter its radio configuration mode; "
                      << (reply.empty() ? "it did not answer"
                                        : "it answered \"" + Visible(reply) + "\"")
                      << "\n";
            return kExitFailed;
        }
    }
    int status = kExitFailed;
    {
        ConfigModeGuard guard(ctx);
        guard.Result = &status;
        status = run(ctx);
    }
    return status;
}
