// Which radio is on the cable, single fields, several fields at once, the save to flash and the
// read's cut-out correction.

#include <algorithm>

#include "common/StrUtils.h"
#include "config/FieldTable.h"
#include "history/HistoryEntries.h"
#include "history/Journal.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "operations/RadioOperations.h"
#include "operations/Transaction.h"

SettingsContext RadioIdentity::Context() const {
    SettingsContext ctx;
    ctx.RadioModel = Model;
    ctx.VersionText = VersionText;
    return ctx;
}

bool IdentifyOnLink(RadioIdentity& radio) {
    radio.Model = RM7UXIsRM7UX() ? 1 : 0;
    radio.VersionText = RM7UXVersionText();
    radio.Serial = ReadSerialNumber();
    return radio.Serial >= 0;
}

SameRadio CheckSameRadio(int64_t expectedSerial, RadioIdentity* found) {
    RadioIdentity radio;
    if (!EnsureRadioIdentified() || !IdentifyOnLink(radio))
        return SameRadio::NoAnswer;
    if (found != nullptr)
        *found = radio;
    return radio.Serial == expectedSerial ? SameRadio::Yes : SameRadio::Another;
}

OperationResult WriteRadioField(std::string_view code, const std::string& raw,
                                const SettingsContext& context, ChangeRecorder* recorder,
                                const std::shared_ptr<JournalEntry>& entry) {
    // One field is all or nothing by itself: taken or not. When unsure, the radio is read.
    OperationResult r;
    r.Operation = "the " + LabelOf(code);
    const std::string key(code);
    bool taken = WriteFieldRaw(code, raw);
    const std::string shown = RM7UXShownValue();
    if (!taken) {
        Resynchronise();
        std::string now;
        if (!ReadRadioField(code, now)) {
            r.Outcome = OperationOutcome::Mixed;
            r.FailedStep = "the " + LabelOf(code) + " write";
            r.Message = "The " + LabelOf(code) +
                        " write was not confirmed, and the radio no longer answers: it may hold "
                        "the old or the new value.";
            r.Written = {key};
            r.Values[key] = std::nullopt;
            r.Unsaved = UnsavedChanges::Changed;
            return r;
        }
        taken = now == raw;
        r.Values[key] = now;
        if (!taken) {
            r.Outcome = OperationOutcome::PutBack;
            r.FailedStep = "the " + LabelOf(code) + " write";
            r.Message =
                "The " + LabelOf(code) + " write was not confirmed; the radio keeps its value.";
            return r;
        }
    }
    r.Written = {key};
    r.Values[key] = raw;
    r.Unsaved = UnsavedChanges::Changed;
    const int record = entry != nullptr ? entry->Wrote(key, shown, raw, "", "") : -1;
    if (recorder != nullptr && !shown.empty())
        recorder->Field(code, shown, raw, context, context, entry, record);
    return r;
}

OperationResult WriteRadioFields(const std::string& operation,
                                 const std::vector<FieldWrite>& writes,
                                 const SettingsContext& context, ChangeRecorder* recorder,
                                 bool saveToFlash) {
    FieldTransaction t(operation, context, recorder);
    std::vector<std::string> codes;
    for (const FieldWrite& w : writes) {
        if (std::find(codes.begin(), codes.end(), w.Code) == codes.end())
            codes.push_back(w.Code);
    }
    if (!t.ReadBefore(codes))
        return t.Result();
    t.Intend(writes, {.Flash = saveToFlash});
    for (const FieldWrite& w : writes) {
        if (!t.Write(w.Code, w.Raw))
            return t.Result();
    }
    if (saveToFlash)
        t.SaveToFlash();
    return t.Result();
}

OperationResult SaveWorkingSettings(ChangeRecorder* recorder) {
    FieldTransaction t("save to flash", {}, recorder);
    // EE may clear flash before EP fills it again: a kill between the two is the next run's.
    t.Intend({}, {.Flash = true});
    t.SaveToFlash();
    return t.Result();
}

OperationResult CorrectCutout(int32_t minimum, bool othersUnsaved, const RadioIdentity& radio,
                              ChangeRecorder* recorder) {
    FieldTransaction t("cut-out temperature", radio.Context(), recorder);
    if (!t.ReadBefore({"PS"}))
        return t.Result();
    const std::optional<int64_t> held = TryHexToInt64(t.Before("PS"));
    if (!held || *held - kTemperatureOffset >= minimum)
        return t.Result();
    const std::string top = IntToHex(kHighestTemperature + kTemperatureOffset, 2);
    t.Intend({{"PS", top}}, {.Flash = !othersUnsaved});
    if (!t.Write("PS", top))
        return t.Result();
    // A save stores every unsaved change with it: then the correction waits for the operator's
    // Save to Flash like they do.
    if (!othersUnsaved)
        t.SaveToFlash();
    return t.Result();
}
