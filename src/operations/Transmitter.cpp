// The transmitter test: the radio keyed by hand with the longest PTT time-out, and released with
// the operator's time-out put back. A release is never left to chance: an unconfirmed "O4" is
// sent once more, and the operator is told when the radio still did not confirm it.

#include "common/StrUtils.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"
#include "operations/Transaction.h"

namespace {

const char* const kOperation = "transmitter test";
const char* const kNotReleased =
    "the radio did not confirm that its transmitter is off: switch the radio off";

// "O4", and once more when its echo is lost.
bool Release() {
    if (TransmitterTestOff())
        return true;
    Resynchronise();
    return TransmitterOff();
}

}  // namespace

bool TransmitterMayStillBeOn() {
    return TransmitterMayBeOn();
}

OperationResult TransmitterTestOn(int& operatorPTT, const RadioIdentity& radio,
                                  ChangeRecorder* recorder) {
    FieldTransaction t(kOperation, radio.Context(), recorder);
    if (!t.ReadBefore({"PP"}))
        return t.Result();
    operatorPTT = static_cast<int>(TryHexToInt64(t.Before("PP")).value_or(60));
    // The longest time-out while the operator keys the transmitter by hand.
    if (!t.Write("PP", "FF"))
        return t.Result();
    if (TransmitterTestOn())
        return t.Result();
    // Keyed or not, the radio is released before its time-out is put back.
    const bool released = Release();
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
    OperationResult r = WriteRadioField("PP", ptt, radio.Context(), recorder);
    r.Operation = kOperation;
    const bool released = Release();
    if (!r.Done()) {
        // Released first; then the time-out once more, now that the line is quiet.
        Resynchronise();
        OperationResult again = WriteRadioField("PP", ptt, radio.Context(), recorder);
        if (again.Done() || again.Value("PP") == ptt)
            r = again;
    }
    r.Operation = kOperation;
    if (!released) {
        r.Outcome = OperationOutcome::Mixed;
        r.FailedStep = "TX OFF";
        r.Message = std::string(kOperation) + ": " + kNotReleased + ".";
        r.Unsaved = UnsavedChanges::Changed;
        return r;
    }
    if (r.Value("PP") != ptt) {
        r.Outcome = OperationOutcome::Mixed;
        r.FailedStep = "the PTT time-out write";
        r.Message = std::string(kOperation) +
                    ": the transmitter is off, but its PTT time-out could not be put back to " +
                    std::to_string(operatorPTT) + " s.";
        r.Unsaved = UnsavedChanges::Changed;
        return r;
    }
    r.Outcome = OperationOutcome::Done;
    r.Message.clear();
    r.FailedStep.clear();
    return r;
}
