// What a run does about an operation that an earlier run left unfinished: the transmitter
// released at once, the flash save finished or the working settings taken back to flash when
// the operator says so, the modem returned to AT mode. Each step is recorded in the operation's
// journal entry, which goes once nothing is left to do.

#include "common/StrUtils.h"
#include "history/HistoryEntries.h"
#include "history/Journal.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"
#include "operations/Transaction.h"

namespace {

// The entry again, as it stands now; closed as repaired when nothing is left.
void CloseIfRepaired(OperationJournal& journal, const std::shared_ptr<JournalEntry>& entry) {
    JournalState now;
    if (journal.Claim(entry->Path(), now) == nullptr || now.NeedsRepair())
        return;
    entry->Note(kRepaired);
    entry->Forget();
}

}  // namespace

std::vector<JournalState> UnfinishedOperations(OperationJournal& journal, ChangeHistory* history) {
    std::vector<JournalState> ended;
    std::vector<JournalState> unfinished = journal.Scan(&ended);
    if (history != nullptr) {
        // Their changes reached the radio: the history gets them, whatever is still to do.
        RecordJournalRows(*history, journal, ended);
        RecordJournalRows(*history, journal, unfinished);
    }
    return unfinished;
}

bool OperationOf(const JournalState& state, const std::string& serial, const std::string& port) {
    return state.Intent.Serial.empty() ? state.Intent.Port == port
                                       : !serial.empty() && state.Intent.Serial == serial;
}

std::vector<JournalState> OperationsOf(const std::vector<JournalState>& states,
                                       const std::string& serial, const std::string& port) {
    std::vector<JournalState> found;
    for (const JournalState& s : states) {
        if (OperationOf(s, serial, port))
            found.push_back(s);
    }
    return found;
}

RepairKind RepairOffered(const JournalState& state) {
    if (state.FlashMissing())
        return RepairKind::Save;
    if (state.WorkingMayBeHalfWritten() || state.RestartMissing())
        return RepairKind::Reset;
    return RepairKind::None;
}

std::string RepairOfferText(const JournalState& state) {
    switch (RepairOffered(state)) {
        case RepairKind::Save:
            return state.Intent.Restart
                       ? "every write was confirmed; only the save to flash and the reset are "
                         "missing"
                       : "every write was confirmed; only the save to flash is missing";
        case RepairKind::Reset:
            return state.RestartMissing()
                       ? "it was saved to flash, but the radio was not reset onto it"
                       : "its working settings may be half-written";
        case RepairKind::None:
            break;
    }
    return "";
}

OperationResult ReleaseLeftKeyed(const JournalState& state, OperationJournal& journal,
                                 const RadioIdentity& radio, ChangeRecorder* recorder) {
    OperationResult r;
    r.Operation = "transmitter release";
    JournalState now;
    std::shared_ptr<JournalEntry> entry = journal.Claim(state.Path, now);
    if (entry == nullptr || (!now.MayBeKeyed() && !now.PTTToPutBack()))
        return r;
    if (now.MayBeKeyed()) {
        if (!ReleaseTransmitter()) {
            r.Outcome = OperationOutcome::Mixed;
            r.FailedStep = "TX OFF";
            r.Message =
                "the radio did not confirm that its transmitter is off: switch the radio off";
            return r;
        }
        entry->Note(kReleased);
        r.Message = "its transmitter was released";
    }
    if (now.PTTToPutBack()) {
        const std::string ptt = IntToHex(now.Intent.OperatorPTT, 2);
        const OperationResult put = WriteRadioField("PP", ptt, radio.Context(), recorder, entry);
        r.Values = put.Values;
        if (put.Value("PP") != ptt) {
            r.Outcome = OperationOutcome::Mixed;
            r.FailedStep = "the PTT time-out write";
            r.Message += std::string(r.Message.empty() ? "" : ", but ") +
                         "its PTT time-out could not be put back to " +
                         std::to_string(now.Intent.OperatorPTT) + " s";
            return r;
        }
        r.Message += std::string(r.Message.empty() ? "its" : " and its") +
                     " PTT time-out put back to " + std::to_string(now.Intent.OperatorPTT) + " s";
        r.Unsaved = UnsavedChanges::Changed;
    }
    CloseIfRepaired(journal, entry);
    return r;
}

OperationResult RepairWorkingSettings(const JournalState& state, OperationJournal& journal,
                                      const RadioIdentity& radio, ChangeRecorder* recorder) {
    (void)radio;
    OperationResult r;
    r.Operation = "repair";
    JournalState now;
    std::shared_ptr<JournalEntry> entry = journal.Claim(state.Path, now);
    if (entry == nullptr)
        return r;
    const RepairKind kind = RepairOffered(now);
    bool restart = kind == RepairKind::Reset;
    if (kind == RepairKind::Save) {
        entry->Note(kSaving);
        bool saved = SaveToFlashSilently();
        if (!saved) {
            Resynchronise();
            saved = SaveToFlashSilently();
        }
        if (!saved) {
            Resynchronise();
            r.Outcome = OperationOutcome::FlashUnconfirmed;
            r.FailedStep = "the save to flash";
            r.Message = "the radio did not confirm the save to flash (sent twice)";
            return r;
        }
        const int record = entry->Note(kSaved);
        if (recorder != nullptr)
            recorder->FlashSaved(entry, record);
        r.Unsaved = UnsavedChanges::Saved;
        r.Message = "saved to flash";
        restart = now.Intent.Restart;
    }
    if (restart) {
        entry->Note(kRestarting);
        if (!RestartRadio()) {
            Resynchronise();
            r.Outcome = OperationOutcome::ResetUnconfirmed;
            r.FailedStep = "the reset";
            r.Message = (r.Message.empty() ? "" : r.Message + ", but ") +
                        "the radio did not answer after its reset: switch it off and on";
            return r;
        }
        entry->Note(kRestarted);
        r.Unsaved = UnsavedChanges::Saved;
        r.Message =
            r.Message.empty() ? "reset: it runs on its flash" : r.Message + " and reset onto it";
    }
    CloseIfRepaired(journal, entry);
    return r;
}

bool ReturnModemToAtMode(const JournalState& state, OperationJournal& journal) {
    JournalState now;
    std::shared_ptr<JournalEntry> entry = journal.Claim(state.Path, now);
    if (entry == nullptr || !now.ModemMayBeInConfigMode())
        return true;
    bool loaded = false;
    if (!ExitModemConfigMode(loaded))
        return false;
    entry->Note(kModemLeft);
    CloseIfRepaired(journal, entry);
    return true;
}

void CloseUnlessUnfinished(const JournalState& state, OperationJournal& journal) {
    JournalState now;
    if (std::shared_ptr<JournalEntry> entry = journal.Claim(state.Path, now))
        CloseIfRepaired(journal, entry);
}
