#include "frequency/CountryFrequency.h"

#include <cmath>

namespace {

// One selector in the program, so one fill state.
int32_t CurrentPlanStart = -1;

}  // namespace

int32_t FindBandStart(TGroupFreqBands Table, int32_t BandCode) {
    for (size_t i = 0; i < Table.size(); ++i) {
        if (Table[i].BandCode < BandCode)
            continue;
        return Table[i].BandCode == BandCode ? static_cast<int32_t>(i) : -1;
    }
    return -1;
}

bool FillBandList(TGroupFreqBands Table, std::vector<std::string>& Items, int32_t BandCode) {
    CurrentPlanStart = FindBandStart(Table, BandCode);
    if (CurrentPlanStart < 0)
        return false;
    Items.clear();
    for (size_t i = static_cast<size_t>(CurrentPlanStart);
         i < Table.size() && Table[i].BandCode == BandCode; ++i) {
        const TGroupFreqBand& row = Table[i];
        if (row.Abbreviation.empty()) {
            Items.emplace_back(row.Name);
        } else {
            Items.push_back(std::string(row.Abbreviation) + ": " + std::string(row.Name));
        }
    }
    return true;
}

bool FindPlanIndex(TGroupFreqBands Table, double Lower, double Upper, int32_t& Position) {
    Position = -1;
    if (CurrentPlanStart < 0)
        return false;
    size_t start = static_cast<size_t>(CurrentPlanStart);
    // The table passed may be shorter than the one that was filled.
    if (start >= Table.size())
        return false;
    int32_t band = Table[start].BandCode;
    for (size_t i = start; i < Table.size() && Table[i].BandCode == band; ++i) {
        // Limits come from the same channel grid as the table, so exact equality is meant.
        if (Table[i].Lower == Lower && Table[i].Upper == Upper) {
            Position = static_cast<int32_t>(i - start);
            return true;
        }
    }
    return false;
}

int32_t PlanStart() {
    return CurrentPlanStart;
}

int32_t PlanRow(int32_t Position) {
    // No selection (an empty list) is no row, not the row before the band.
    return CurrentPlanStart < 0 || Position < 0 ? -1 : CurrentPlanStart + Position;
}

TChannelRange InwardChannels(double LowerMHz, double UpperMHz, int64_t BaseHz, double StepHz) {
    const auto channel = [&](double mhz, bool up) {
        const double n = (mhz * 1e6 - static_cast<double>(BaseHz)) / StepHz;
        // A limit on the grid but for the doubles' rounding is that channel.
        if (std::abs(n - std::round(n)) < 1e-6)
            return static_cast<int64_t>(std::llround(n));
        return static_cast<int64_t>(up ? std::ceil(n) : std::floor(n));
    };
    return {channel(LowerMHz, true), channel(UpperMHz, false)};
}
