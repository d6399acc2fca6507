// Programming a whole record into a radio: the checks every write of a record passes first, the
// fields in their fixed order, the save to flash and the reset.

#include "common/StrUtils.h"
#include "config/FieldTable.h"
#include "config/RM7UXFlashConfigObj.h"
#include "history/Journal.h"
#include "link/RM7UXcomms.h"
#include "link/Utilities.h"
#include "operations/RadioOperations.h"
#include "operations/Transaction.h"
#include "platform/Interruption.h"

namespace {

// The order in which a record is written: the radio's working settings are complete again only
// after the last of them, and flash is written after all.
constexpr const char* kProgramOrder[] = {"PF",  "PD", "PM", "PS", "PW", "PL0", "PL1", "PL2",
                                         "PL3", "PP", "PO", "SC", "PB", "PC",  "PA",  "P1",
                                         "P2",  "P3", "P4", "PR", "PT", "PN",  "PV"};

std::string_view ModelName(int model) {
    return model == 1 ? "RM7UX" : "RM7VX";
}

std::optional<RecordRefusal> Refuse(std::string_view code, SettingRefusal kind,
                                    std::string problem) {
    const RadioFieldInfo* f = FindRadioField(code);
    return RecordRefusal{std::string(code), kind,
                         std::string(f != nullptr ? f->Setting : code) + ": " + problem};
}

}  // namespace

std::optional<RecordRefusal> CheckRecordForRadio(const TRM7UXFlashRecord& r, int radioModel) {
    const int model = radioModel & 1;
    if (!r.FirmwareVersion.empty()) {
        const uint8_t variant = ModelVariantCode(r.FirmwareVersion);
        const int recordModel = variant == 2 ? 0 : 1;
        if (variant <= 2 && recordModel != model) {
            return Refuse("RV", SettingRefusal::Invalid,
                          "the record is an " + std::string(ModelName(recordModel)) +
                              "'s, the radio an " + std::string(ModelName(model)));
        }
    }
    if (const RadioFieldInfo* f = FieldThatDoesNotFit(r)) {
        const int64_t value = f->Value(r);
        return Refuse(f->Code, SettingRefusal::Invalid,
                      value < 0 ? "the record holds no value"
                                : "$" + IntToHex(value, f->Digits) + " does not fit the field");
    }
    if (r.Ctcss > 38)
        return Refuse("SC", SettingRefusal::Invalid,
                      std::to_string(r.Ctcss) + " is not a CTCSS tone (0..38)");
    if (r.PowerLevel > 3)
        return Refuse("PW", SettingRefusal::Invalid,
                      "level " + std::to_string(r.PowerLevel) + " is not a power level (0..3)");
    if (r.ChannelSpacing > 1 || (r.ChannelSpacing == 1 && model != 1))
        return Refuse("PC", SettingRefusal::Invalid,
                      "step code $" + IntToHex(r.ChannelSpacing, 2) + " is not a step of the " +
                          std::string(ModelName(model)));
    const TGroupFreqBands table = GroupFreqBands[static_cast<size_t>(model)];
    const int32_t start = FindBandStart(table, r.FreqBandCode);
    if (start < 0)
        return Refuse("PA", SettingRefusal::Invalid,
                      "band code " + std::to_string(r.FreqBandCode) + " is not a band of the " +
                          std::string(ModelName(model)));
    const TGroupFreqBand& band = table[static_cast<size_t>(start)];
    const std::string step = r.ChannelSpacing == 0 ? "00" : "01";
    const auto mhz = [&](int32_t channel) {
        return ChannelToFrequency(model, IntToHex(channel, 4), step);
    };
    constexpr double kTolerance = 1e-9;
    for (int n = 1; n <= 4; ++n) {
        const double limit = mhz(r.Range(n));
        if (limit < band.Lower - kTolerance || limit > band.Upper + kTolerance) {
            return Refuse("P" + std::to_string(n), SettingRefusal::Invalid,
                          FormatMHz(limit) + " MHz lies outside band " +
                              std::to_string(r.FreqBandCode) + " (" + FormatMHz(band.Lower) +
                              " to " + FormatMHz(band.Upper) + " MHz)");
        }
    }
    if (r.Range(1) > r.Range(2) || r.Range(3) > r.Range(4))
        return Refuse(r.Range(1) > r.Range(2) ? "P1" : "P3", SettingRefusal::Invalid,
                      "the lower band limit lies above the upper one");
    const auto m = static_cast<size_t>(model);
    for (const auto& [code, channel, low, high] :
         {std::tuple{"PT", r.TxFreq, r.Range(3), r.Range(4)},
          std::tuple{"PR", r.RxFreq, r.Range(1), r.Range(2)}}) {
        const double f = mhz(channel);
        if (f < ModelMinFrequency[m] || f > ModelMaxFrequency[m]) {
            return Refuse(code, SettingRefusal::Invalid,
                          FormatMHz(f) + " MHz is outside the " + std::string(ModelName(model)) +
                              "'s range " + FormatMHz(ModelMinFrequency[m]) + " to " +
                              FormatMHz(ModelMaxFrequency[m]) + " MHz");
        }
        if (channel < low || channel > high) {
            return Refuse(code, SettingRefusal::OutOfLimits,
                          FormatMHz(f) + " MHz is outside the record's own band limits " +
                              FormatMHz(mhz(low)) + " to " + FormatMHz(mhz(high)) + " MHz");
        }
    }
    return std::nullopt;
}

OperationResult ProgramRecord(const TRM7UXFlashRecord& record, const TRM7UXFlashRecord& before,
                              const RadioIdentity& radio, ChangeRecorder* recorder) {
    SettingsContext held = radio.Context();
    held.StepCode = before.ChannelSpacing == 1 ? "01" : "00";
    SettingsContext after = held;
    after.StepCode = record.ChannelSpacing == 1 ? "01" : "00";
    FieldTransaction t("program", held, recorder);
    // Asked only of a record that has a PV: the gate says why it cannot read the version.
    const bool takesPV =
        record.RevPowerThreshold >= 0 && RadioTakesPV(radio.Model == 1, radio.VersionText);
    std::vector<FieldWrite> writes;
    for (const char* code : kProgramOrder) {
        const RadioFieldInfo& f = *FindRadioField(code);
        const int64_t value = f.Value(record);
        if (value < 0 || (f.Kind == FlashFieldKind::Optional && !takesPV))
            continue;
        const int64_t was = f.Value(before);
        if (was < 0 && f.Kind != FlashFieldKind::Serial)
            return Refusal("program", "the radio's " + LabelOf(code) + " was not read");
        t.KnowBefore(code, was < 0 ? "" : IntToHex(was, f.Digits));
        writes.push_back({code, IntToHex(value, f.Digits)});
    }
    // Every change is on disk before the first is sent: a kill leaves the next run to say so.
    t.Intend(writes, {.Flash = true, .Restart = true});
    bool interrupted = false;
    for (const auto& [code, raw] : writes) {
        // A signal waits for the field being sent, then ends the program.
        if (PendingInterruption() != 0) {
            interrupted = true;
            break;
        }
        if (!t.Write(code, raw, &after))
            break;
    }
    // EE and EP go together: a signal during one waits for the other.
    const bool flashed =
        !interrupted && !t.Failed() && PendingInterruption() == 0 && t.SaveToFlash();
    if (PendingInterruption() != 0) {
        // Flash is never mixed, because the save comes last; a reset makes the working settings
        // that the radio runs on equal to its flash again.
        const std::string flash = flashed ? "the file's settings" : "the settings it had before";
        t.Note(kRestarting);
        const bool restarted = RestartRadio();
        // Reset, the radio runs on a flash that was never mixed: nothing is left to repair.
        t.Resolved(restarted);
        if (restarted) {
            t.Note(kRestarted);
            NoteInterruptionOutcome("the radio was reset and runs on its flash, which holds " +
                                    flash);
        } else {
            NoteInterruptionOutcome(
                "the radio could not be reset: its working settings may be partly the file's; "
                "its flash holds " +
                flash + ". Switch it off and on.");
        }
        OperationResult& r = t.Result();
        r.Outcome = OperationOutcome::Mixed;
        r.FailedStep = "interrupted";
        r.Message = "program: interrupted";
        return r;
    }
    if (!flashed)
        return t.Result();
    t.Note(kRestarting);
    if (!ResetRadio()) {
        OperationResult& r = t.Result();
        r.Outcome = OperationOutcome::ResetUnconfirmed;
        r.FailedStep = "the reset";
        r.Message = "Configuration Saved to Flash\r\nPlease reset the device";
        return r;
    }
    t.Note(kRestarted);
    // The answer to the carriage return that ends the reset, so that it does not answer the
    // next exchange's first command.
    if (TVVComm2* link = RM7UXLink(); link != nullptr && link->IsOpen())
        link->WaitForChar(">", 2000, 300);
    return t.Result();
}
