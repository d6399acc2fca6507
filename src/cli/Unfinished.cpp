// What earlier runs left unfinished (killed, or ended without putting the radio right): said
// first by every run that meets the radio or its port, the transmitter released at once, and
// the rest done by 'rm7ux repair'.

#include <algorithm>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliHistory.h"
#include "cli/RadioSession.h"
#include "cli/TerminalText.h"
#include "common/UserDialogs.h"
#include "config/SerialGuard.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"

namespace {

void Say(const CliContext& ctx, const std::string& port, const std::string& text) {
    ctx.Err() << "rm7ux: " << port << ": " << TerminalSafe(text) << "\n";
}

void Describe(const CliContext& ctx, const std::string& port, const JournalState& s) {
    // Killed after its last step: said, though nothing is left to do.
    Say(ctx, port,
        (s.NeedsRepair() ? "an operation did not finish: "
                         : "an operation was cut off after its last step (nothing is left to "
                           "do): ") +
            s.Title());
    if (const std::string what = s.InFlight(); !what.empty())
        Say(ctx, port, "  " + what);
}

bool NeedsTheRadio(const JournalState& s) {
    return s.MayBeKeyed() || s.PTTToPutBack() || RepairOffered(s) != RepairKind::None;
}

// What 'rm7ux repair' will do about the radio's settings, and the modem.
void SayWhatRepairDoes(const CliContext& ctx, const std::string& port, const JournalState& s) {
    const RepairKind kind = RepairOffered(s);
    if (kind != RepairKind::None) {
        Say(ctx, port,
            RepairOfferText(s) + ": 'rm7ux repair' " +
                (kind == RepairKind::Save ? "saves the working settings to flash"
                                          : "resets the radio to its flash"));
    }
    if (s.ModemMayBeInConfigMode())
        Say(ctx, port,
            "the M82KD modem may be in its radio configuration mode: 'rm7ux repair' returns it "
            "to AT mode");
}

// The entries, read again: those that still need something.
std::vector<JournalState> StillUnfinished(OperationJournal& journal,
                                          const std::vector<JournalState>& states) {
    std::vector<JournalState> left;
    for (const JournalState& s : states) {
        JournalState now;
        if (journal.Claim(s.Path, now) != nullptr && now.NeedsRepair())
            left.push_back(now);
    }
    return left;
}

// The radio on the port: its serial number (eight digits), "" when it holds none or the session
// could not connect.
std::string ConnectedSerial(RadioSession& session, RadioIdentity& radio, bool& connected) {
    connected = session.Connect();
    if (!connected && session.Failure() != csPortNotAvailable) {
        // A radio that a killed run was resetting greets late, into the identification: once
        // it has fallen silent, it answers.
        session.Settle();
        connected = session.Connect();
    }
    if (!connected || !IdentifyOnLink(radio))
        return "";
    return FormatSerialNumber(radio.Serial);
}

// The transmitter released at once, and what has nothing left to do closed.
void ReleaseAtOnce(const CliContext& ctx, const std::string& port, const JournalState& s,
                   const RadioIdentity& radio) {
    if (!s.MayBeKeyed() && !s.PTTToPutBack())
        return;
    CliHistory history(ctx, "repair", radio, radio.Context());
    const OperationResult r = ReleaseLeftKeyed(s, *ctx.Journal, radio, history.Recorder());
    if (!r.Message.empty())
        Say(ctx, port, r.Message);
}

}  // namespace

void NoticeUnfinished(CliContext& ctx, bool modemOnly) {
    ctx.Unfinished.clear();
    if (ctx.Journal == nullptr)
        return;
    const std::vector<JournalState> all = UnfinishedOperations(*ctx.Journal, ctx.History);
    if (all.empty())
        return;
    const std::string port = CliPortLabel(ctx);
    if (modemOnly) {
        // A --modem run enters the mode itself: one an earlier run left is left first.
        RadioSession session(ctx);
        for (const JournalState& s : OperationsOf(all, "", port)) {
            if (!s.ModemMayBeInConfigMode())
                continue;
            Describe(ctx, port, s);
            Say(ctx, port,
                ReturnModemToAtMode(s, *ctx.Journal) ? "the M82KD modem was returned to AT mode"
                                                     : "the M82KD modem did not return to AT mode");
        }
        return;
    }
    // The radio is asked for its serial number only when an entry needs it.
    const bool needed = std::any_of(all.begin(), all.end(), [&](const JournalState& s) {
        return !s.Intent.Serial.empty() || (s.Intent.Port == port && NeedsTheRadio(s));
    });
    if (!needed && OperationsOf(all, "", port).empty())
        return;
    RadioSession session(ctx);
    RadioIdentity radio;
    bool connected = false;
    const std::string serial = needed ? ConnectedSerial(session, radio, connected) : "";
    const std::vector<JournalState> mine = OperationsOf(all, serial, port);
    for (const JournalState& s : mine) {
        Describe(ctx, port, s);
        if (connected)
            ReleaseAtOnce(ctx, port, s, radio);
        CloseUnlessUnfinished(s, *ctx.Journal);
    }
    session.Close();
    ctx.Unfinished = StillUnfinished(*ctx.Journal, mine);
    for (const JournalState& s : ctx.Unfinished)
        SayWhatRepairDoes(ctx, port, s);
    ctx.Err().flush();
}

bool RefusedOverUnfinished(const CliContext& ctx, int64_t serial, const std::string& command) {
    if (ctx.Flag("--force"))
        return false;
    const std::string port = CliPortLabel(ctx);
    const std::string digits = serial >= 0 ? FormatSerialNumber(serial) : "";
    for (const JournalState& s : ctx.Unfinished) {
        // The modem's mode is no matter for what is saved.
        if (!OperationOf(s, digits, port) || !NeedsTheRadio(s))
            continue;
        ctx.Err() << "rm7ux " << command << ": refused: " << TerminalSafe(s.Title())
                  << " did not finish, and a save to flash would keep what it left ("
                  << TerminalSafe(s.InFlight())
                  << "). 'rm7ux repair' puts it right; --force saves all the same.\n";
        return true;
    }
    return false;
}

int RunRepair(CliContext& ctx) {
    const std::vector<JournalState> all = UnfinishedOperations(*ctx.Journal, ctx.History);
    const std::string port = CliPortLabel(ctx);
    if (all.empty()) {
        ctx.Out() << "Nothing to repair\n";
        return kExitOk;
    }
    RadioSession session(ctx);
    RadioIdentity radio;
    bool connected = false;
    const std::string serial = ConnectedSerial(session, radio, connected);
    const std::vector<JournalState> mine = OperationsOf(all, serial, port);
    int status = kExitOk;
    bool declined = false;
    for (const JournalState& s : mine) {
        Describe(ctx, port, s);
        if (!connected) {
            if (NeedsTheRadio(s))
                status = kExitFailed;
            continue;
        }
        ReleaseAtOnce(ctx, port, s, radio);
        JournalState now;
        if (ctx.Journal->Claim(s.Path, now) == nullptr)
            continue;
        const RepairKind kind = RepairOffered(now);
        if (kind != RepairKind::None) {
            const std::string question =
                RepairOfferText(now) + ".\r\n\r\n" +
                (kind == RepairKind::Save ? "Save the working settings to flash?"
                                          : "Reset the radio to its flash?");
            if (ShowWarningBox(question, MsgButtons::YesNo) != MsgResult::Yes) {
                declined = true;
                continue;
            }
            CliHistory history(ctx, "repair", radio, radio.Context());
            const OperationResult r =
                RepairWorkingSettings(now, *ctx.Journal, radio, history.Recorder());
            Say(ctx, port, r.Message);
            if (!r.Done())
                status = kExitFailed;
        }
        CloseUnlessUnfinished(now, *ctx.Journal);
    }
    if (!connected && session.Failure() != 0) {
        const bool radioNeeded = std::any_of(mine.begin(), mine.end(), NeedsTheRadio) ||
                                 std::any_of(all.begin(), all.end(), [](const JournalState& s) {
                                     return !s.Intent.Serial.empty();
                                 });
        if (radioNeeded)
            status = kExitFailed;
    }
    session.Close();
    // The modem last: the radio is reached through its configuration mode.
    for (const JournalState& s : mine) {
        if (!s.ModemMayBeInConfigMode())
            continue;
        if (ReturnModemToAtMode(s, *ctx.Journal)) {
            Say(ctx, port, "the M82KD modem was returned to AT mode");
        } else {
            Say(ctx, port, "the M82KD modem did not return to AT mode");
            status = kExitFailed;
        }
    }
    if (status == kExitFailed && !connected) {
        Say(ctx, port, "no radio answers: what it needs is left for when one does");
        return kExitFailed;
    }
    if (declined) {
        Say(ctx, port, "not repaired; 'rm7ux repair --yes' does it");
        return status == kExitOk ? kExitRefused : status;
    }
    if (status == kExitOk)
        ctx.Out() << (mine.empty() ? "Nothing to repair\n" : "Repaired\n");
    return status;
}
