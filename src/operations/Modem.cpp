// The M82KD modem's radio configuration mode, journaled: the entry is on disk before the first AT
// command and ends once the modem is back in AT mode, so that a run killed in between leaves the
// next one to take the modem back.

#include "history/Journal.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"
#include "platform/Interruption.h"

namespace {

std::shared_ptr<JournalEntry>& ModemEntry() {
    static std::shared_ptr<JournalEntry> entry;
    return entry;
}

}  // namespace

bool EnterModemConfiguration(const std::string& password, std::string* reply,
                             OperationJournal* journal, const std::string& port,
                             const std::string& source) {
    // A signal waits for the journal too, not only for the exchange.
    InterruptionHold hold;
    std::shared_ptr<JournalEntry>& entry = ModemEntry();
    // A mode entered before and never left is this one now.
    if (entry != nullptr)
        entry->End(true);
    entry.reset();
    if (journal != nullptr) {
        JournalIntent intent;
        intent.Operation = "M82KD radio configuration mode";
        intent.Source = source;
        intent.Action = "modem";
        intent.Port = port;
        intent.Modem = true;
        entry = journal->Begin(intent);
    }
    if (EnterModemConfigMode(password, reply))
        return true;
    // The modem did not take the password or the switch: it is still in AT mode.
    if (entry != nullptr)
        entry->End(true);
    entry.reset();
    return false;
}

bool LeaveModemConfiguration(bool& configLoaded) {
    InterruptionHold hold;
    const bool left = ExitModemConfigMode(configLoaded);
    if (std::shared_ptr<JournalEntry> entry = std::exchange(ModemEntry(), nullptr)) {
        if (left)
            entry->Note(kModemLeft);
        entry->End(left, left ? "" : "the M82KD modem did not return to AT mode");
    }
    return left;
}
