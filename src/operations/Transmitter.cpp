// The transmitter test: the radio keyed by hand with the longest PTT time-out, and released with
// the operator's time-out put back. A release is never left to chance: an unconfirmed "O4" is
// sent once more, and the operator is told when the radio still did not confirm it. The test's
// journal entry lasts from TX ON to TX OFF (or the read that ends it), held by this process; a
// read's own keying (its "O3" and "O4") is journaled through the link's keying observer.

#include <functional>

#include "common/StrUtils.h"
#include "history/HistoryEntries.h"
#include "history/Journal.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"
#include "operations/Transaction.h"

namespace {

const char* const kOperation = "transmitter test";
const char* const kNotReleased =
    "the radio did not confirm that its transmitter is off: switch the radio off";

// The journal entries of keying in this process: the TX test's from TX ON to TX OFF, and a
// read's pulse while it lasts.
struct Keying {
    std::shared_ptr<JournalEntry> Test;
    std::shared_ptr<JournalEntry> Pulse;
    OperationJournal* Journal = nullptr;
    std::function<std::string()> Port;
    std::string Source;
};

Keying& State() {
    static Keying k;
    return k;
}

void Observe(bool keyed) {
    Keying& k = State();
    if (k.Test != nullptr) {
        // The TX test records its own keying; a read's "O4" releases it too.
        if (!keyed)
            k.Test->Note(kReleased);
        return;
    }
    if (keyed) {
        if (k.Journal == nullptr || k.Pulse != nullptr)
            return;
        JournalIntent intent;
        intent.Operation = "read (its transmitter pulse)";
        intent.Source = k.Source;
        intent.Action = "read";
        intent.Port = k.Port ? k.Port() : "";
        intent.Key = true;
        k.Pulse = k.Journal->Begin(intent);
    } else if (k.Pulse != nullptr) {
        k.Pulse->End(true);
        k.Pulse.reset();
    }
}

// Ends the TX test's entry: resolved when the radio is released with the operator's time-out.
void EndTest(bool resolved, const std::string& why) {
    if (std::shared_ptr<JournalEntry> entry = std::exchange(State().Test, nullptr))
        entry->End(resolved, why);
}

}  // namespace

bool ReleaseTransmitter() {
    if (TransmitterTestOff())
        return true;
    Resynchronise();
    return TransmitterOff();
}

TransmitterKeyingWatch::TransmitterKeyingWatch(OperationJournal* journal,
                                               std::function<std::string()> port,
                                               std::string source) {
    Keying& k = State();
    k.Journal = journal;
    k.Port = std::move(port);
    k.Source = std::move(source);
    k.Pulse.reset();
    SetKeyingObserver(Observe);
}

TransmitterKeyingWatch::~TransmitterKeyingWatch() {
    SetKeyingObserver(nullptr);
    Keying& k = State();
    k.Journal = nullptr;
    k.Port = nullptr;
    k.Pulse.reset();
}

bool TransmitterMayStillBeOn() {
    return TransmitterMayBeOn();
}

OperationResult TransmitterTestOn(int& operatorPTT, const RadioIdentity& radio,
                                  ChangeRecorder* recorder) {
    FieldTransaction t(kOperation, radio.Context(), recorder);
    if (!t.ReadBefore({"PP"}))
        return t.Result();
    operatorPTT = static_cast<int>(TryHexToInt64(t.Before("PP")).value_or(60));
    // An earlier test whose end went unrecorded is no longer this one's.
    EndTest(false, "TX ON again before its TX OFF");
    t.Intend({{"PP", "FF"}}, {.Key = true, .OperatorPTT = operatorPTT});
    // The longest time-out while the operator keys the transmitter by hand.
    if (!t.Write("PP", "FF"))
        return t.Result();
    State().Test = t.Entry();
    if (TransmitterTestOn()) {
        // Kept until TX OFF, or the read that ends the test.
        t.KeepEntry();
        return t.Result();
    }
    // Keyed or not, the radio is released before its time-out is put back.
    const bool released = ReleaseTransmitter();
    State().Test.reset();
    t.Undo("TX ON was not confirmed; the transmitter was switched off again");
    OperationResult& r = t.Result();
    if (!released) {
        r.Outcome = OperationOutcome::Mixed;
        r.Message = std::string(kOperation) + ": " + kNotReleased + ".";
    }
    return r;
}

OperationResult TransmitterTestOff(int operatorPTT, const RadioIdentity& radio,
                                   ChangeRecorder* recorder) {
    const std::string ptt = IntToHex(operatorPTT, 2);
    const std::shared_ptr<JournalEntry> entry = State().Test;
    OperationResult r = WriteRadioField("PP", ptt, radio.Context(), recorder, entry);
    r.Operation = kOperation;
    const bool released = ReleaseTransmitter();
    if (!r.Done()) {
        // Released first; then the time-out once more, now that the line is quiet.
        Resynchronise();
        OperationResult again = WriteRadioField("PP", ptt, radio.Context(), recorder, entry);
        if (again.Done() || again.Value("PP") == ptt)
            r = again;
    }
    r.Operation = kOperation;
    if (!released) {
        EndTest(false, "TX OFF not confirmed");
        r.Outcome = OperationOutcome::Mixed;
        r.FailedStep = "TX OFF";
        r.Message = std::string(kOperation) + ": " + kNotReleased + ".";
        r.Unsaved = UnsavedChanges::Changed;
        return r;
    }
    if (r.Value("PP") != ptt) {
        EndTest(false, "its PTT time-out not put back");
        r.Outcome = OperationOutcome::Mixed;
        r.FailedStep = "the PTT time-out write";
        r.Message = std::string(kOperation) +
                    ": the transmitter is off, but its PTT time-out could not be put back to " +
                    std::to_string(operatorPTT) + " s.";
        r.Unsaved = UnsavedChanges::Changed;
        return r;
    }
    EndTest(true, "");
    r.Outcome = OperationOutcome::Done;
    r.Message.clear();
    r.FailedStep.clear();
    return r;
}

OperationResult TransmitterTestEnded(int operatorPTT, const RadioIdentity& radio,
                                     ChangeRecorder* recorder) {
    const std::string ptt = IntToHex(operatorPTT, 2);
    OperationResult r = WriteRadioField("PP", ptt, radio.Context(), recorder, State().Test);
    EndTest(r.Done() && !TransmitterMayBeOn(), r.FailedStep);
    return r;
}
