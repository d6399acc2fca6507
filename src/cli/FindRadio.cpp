#include "cli/FindRadio.h"

#include "cli/RadioSession.h"
#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "platform/RadioSearch.h"

int FindRadioPort(CliContext& ctx, bool builtIn) {
    const auto candidates = RadioSearchCandidates(ListSerialPorts(), builtIn);
    const auto steps =
        SearchForRadio(candidates, [&ctx](const SerialPortInfo& port, std::string& outcome) {
            CliContext probe(ctx);
            probe.ComPort.reset();
            probe.Device.clear();
            if (port.Com != 0) {
                probe.ComPort = port.Com;
            } else {
                probe.Device = port.Device;
            }
            // The search's own exchanges stay out of the command's traffic log.
            probe.LogFile.clear();
            probe.Log = nullptr;
            RadioSession session(probe);
            if (session.Connect()) {
                outcome = RM7UXVersionText();
                session.Close();
                return true;
            }
            const uint8_t failure = session.Failure();
            outcome = CommsStateText(failure != 0 ? failure : uint8_t{csNoConnection});
            session.Close();
            return false;
        });
    for (const auto& step : steps)
        ctx.Err() << "rm7ux: port search: " << TerminalSafe(step.Text()) << "\n";
    if (steps.empty() || !steps.back().Found) {
        ctx.Err() << "rm7ux: no radio answered on "
                  << (candidates.empty() ? "any port: none to try" : "the ports tried")
                  << (builtIn ? "" : " (built-in ttyS ports are tried with --port auto-all)")
                  << "\n";
        return kExitFailed;
    }
    const SerialPortInfo& found = steps.back().Port;
    if (found.Com != 0) {
        ctx.ComPort = found.Com;
    } else {
        ctx.Device = found.Device;
    }
    return kExitOk;
}
