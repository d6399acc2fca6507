// The frequency step and the country/band plans: operations that move several frequencies and
// limits together, so that the radio never sits on two grids or outside its own limits.

#include <algorithm>

#include "common/StrUtils.h"
#include "link/Utilities.h"
#include "operations/RadioOperations.h"
#include "operations/Transaction.h"

namespace {

const std::vector<std::string> kFrequencyFields = {"PC", "P1", "P2", "P3", "P4", "PR", "PT"};

bool InModelRange(int model, double mhz) {
    const auto m = static_cast<size_t>(model & 1);
    return mhz >= ModelMinFrequency[m] && mhz <= ModelMaxFrequency[m];
}

std::optional<int64_t> Channel(const std::string& raw) {
    if (raw.size() != 4)
        return std::nullopt;
    return TryHexToInt64(raw);
}

double MHzOf(int model, const std::string& raw, const std::string& step) {
    return ChannelToFrequency(model, raw, step);
}

// A frequency wanted on a grid: snapped, then kept within the limits.
double Within(int model, const std::string& step, double mhz, double low, double high) {
    const double f = NearestValidFrequency(model, step, mhz);
    return std::clamp(f, low, high);
}

}  // namespace

PlanChannels ChannelsOfPlan(int radioModel, std::string_view stepCode, const TGroupFreqBand& row) {
    const TChannelRange c = InwardChannels(row.Lower, row.Upper,
                                           ModelBaseFrequency[static_cast<size_t>(radioModel & 1)],
                                           FrequencyStepHz(stepCode));
    return {c.Lower, c.Upper};
}

const TGroupFreqBand* PlanOfLimits(int radioModel, std::string_view stepCode, int32_t bandCode,
                                   const std::string& p1, const std::string& p2,
                                   const std::string& p3, const std::string& p4) {
    const auto rxLow = Channel(p1), rxHigh = Channel(p2), txLow = Channel(p3), txHigh = Channel(p4);
    if (!rxLow || !rxHigh || !txLow || !txHigh || *rxLow != *txLow || *rxHigh != *txHigh)
        return nullptr;
    for (const TGroupFreqBand& row : GroupFreqBands[static_cast<size_t>(radioModel & 1)]) {
        if (row.BandCode != bandCode)
            continue;
        const PlanChannels c = ChannelsOfPlan(radioModel, stepCode, row);
        if (c.Lower == *txLow && c.Upper == *txHigh)
            return &row;
    }
    return nullptr;
}

std::string PlanCodeOf(const TGroupFreqBand& row) {
    return row.Abbreviation.empty() ? "entire" : std::string(row.Abbreviation);
}

std::vector<FieldWrite> PlanFieldWrites(const TGroupFreqBand& row, int radioModel,
                                        const std::string& stepCode) {
    const PlanChannels c = ChannelsOfPlan(radioModel, stepCode, row);
    const std::string lower = IntToHex(c.Lower, 4), upper = IntToHex(c.Upper, 4);
    const double low = MHzOf(radioModel, lower, stepCode),
                 high = MHzOf(radioModel, upper, stepCode);
    const std::string centre = FrequencyToChannel(
        radioModel, stepCode, Within(radioModel, stepCode, (low + high) / 2, low, high));
    return {{"P1", lower}, {"P2", upper}, {"PR", centre},
            {"P3", lower}, {"P4", upper}, {"PT", centre}};
}

OperationResult ApplyPlan(const TGroupFreqBand& row, const RadioIdentity& radio,
                          ChangeRecorder* recorder) {
    const char* const name = "country/band plan";
    SettingsContext context = radio.Context();
    if (!InModelRange(radio.Model, row.Lower) || !InModelRange(radio.Model, row.Upper))
        return Refusal(name, "the plan lies outside the radio's range");
    FieldTransaction t(name, context, recorder);
    if (!t.ReadBefore(kFrequencyFields))
        return t.Result();
    context.StepCode = t.Before("PC");
    // The old values are on the radio's own grid, in the history as in the journal.
    t.Context().StepCode = context.StepCode;
    const std::vector<FieldWrite> writes = PlanFieldWrites(row, radio.Model, context.StepCode);
    t.Intend(writes);
    for (const FieldWrite& w : writes) {
        if (!t.Write(w.Code, w.Raw, &context))
            break;
    }
    return t.Result();
}

OperationResult ChangeFrequencyStep(const StepChange& change, const RadioIdentity& radio,
                                    ChangeRecorder* recorder) {
    const char* const name = "frequency step";
    if (change.StepCode != "00" && change.StepCode != "01")
        return Refusal(name, "'" + change.StepCode + "' is no step code");
    if (change.StepCode == "01" && radio.Model != 1)
        return Refusal(name, "the RM7VX has only the 6.25 kHz step");
    SettingsContext before = radio.Context();
    FieldTransaction t(name, before, recorder);
    if (!t.ReadBefore(kFrequencyFields))
        return t.Result();
    const std::string oldStep = t.Before("PC");
    before.StepCode = oldStep;
    t.Context().StepCode = oldStep;
    t.Result().Operation = name;
    const int model = radio.Model;
    const auto mhz = [&](const char* code) { return MHzOf(model, t.Before(code), oldStep); };
    const double limits[] = {mhz("P1"), mhz("P2"), mhz("P3"), mhz("P4")};
    for (double limit : limits) {
        if (!InModelRange(model, limit))
            return Refusal(name, "the radio's band limits lie outside its range");
    }

    // Limits that fall between channels of the new grid move inward; the frequencies stay
    // within them.
    const std::string& step = change.StepCode;
    const TGroupFreqBand rxSide{0, "", "", limits[0], limits[1]};
    const TGroupFreqBand txSide{0, "", "", limits[2], limits[3]};
    const PlanChannels rx = ChannelsOfPlan(model, step, rxSide);
    const PlanChannels tx = ChannelsOfPlan(model, step, txSide);
    const auto on = [&](int64_t channel) { return MHzOf(model, IntToHex(channel, 4), step); };
    const double txFrequency =
        Within(model, step, change.TxMHz.value_or(mhz("PT")), on(tx.Lower), on(tx.Upper));
    const double rxFrequency =
        Within(model, step, change.RxMHz.value_or(mhz("PR")), on(rx.Lower), on(rx.Upper));

    SettingsContext after = before;
    after.StepCode = step;
    const std::vector<FieldWrite> writes = {
        {"PC", step},
        {"P3", IntToHex(tx.Lower, 4)},
        {"P4", IntToHex(tx.Upper, 4)},
        {"PT", FrequencyToChannel(model, step, txFrequency)},
        {"P1", IntToHex(rx.Lower, 4)},
        {"P2", IntToHex(rx.Upper, 4)},
        {"PR", FrequencyToChannel(model, step, rxFrequency)},
    };
    t.Intend(writes, {.Flash = true, .Restart = true});
    for (const FieldWrite& w : writes) {
        if (!t.Write(w.Code, w.Raw, &after))
            return t.Result();
    }
    // A new step is kept in flash and the radio restarted on it.
    if (!t.SaveToFlash() || !t.Restart())
        return t.Result();
    t.ReadBack(kFrequencyFields);
    return t.Result();
}
