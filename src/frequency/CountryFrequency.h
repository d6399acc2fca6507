#pragma once
// The country/band plans of each model: every band the radios are built for, its whole range
// ("Entire Band") and the narrower ranges that a country or regulatory group allows.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TGroupFreqBand {
    int32_t BandCode;               // the radio's "PA" value
    std::string_view Abbreviation;  // empty for the "Entire Band" row
    std::string_view Name;
    double Lower;  // MHz
    double Upper;  // MHz
};

// Rows in ascending band code; the rows of a band are contiguous and start with "Entire Band".
using TGroupFreqBands = std::span<const TGroupFreqBand>;

inline constexpr std::array<TGroupFreqBand, 2> RM7VXFreqBands = {{
    {2, "", "Entire Band", 148, 174},
    {3, "", "Entire Band", 220, 235},
}};

inline constexpr std::array<TGroupFreqBand, 21> RM7UXFreqBands = {{
    {10, "", "Entire Band", 300, 320},
    {30, "", "Entire Band", 320, 340},
    {50, "", "Entire Band", 340, 360},
    {70, "", "Entire Band", 360, 380},
    {90, "", "Entire Band", 380, 400},
    {110, "", "Entire Band", 400, 420},
    {110, "HK", "Hong Kong", 409.75, 409.9875},
    {130, "", "Entire Band", 420, 440},
    {140, "", "Entire Band", 430, 450},
    {140, "CZ", "Czech Republic", 448, 448.2},
    {140, "ISM", "Austria, Finland, France, Germany, Italy, Poland, South Africa, Turkey", 433.05,
     434.8},
    {140, "NW", "Norway", 440, 442},
    {140, "SD", "Sweden", 438, 445},
    {140, "SP", "Spain", 433.075, 433.35},
    {160, "", "Entire Band", 450, 470},
    {160, "NZ", "New Zealand", 458.5, 458.6},
    {160, "SG", "Singapore", 453, 454},
    {160, "UK", "United Kingdom", 458.5, 458.95},
    {180, "", "Entire Band", 470, 490},
    {180, "OZ", "Australia", 472.0125, 472.1125},
    {201, "", "Entire Band", 490, 512},
}};

// Indexed by RadioModel (0 RM7VX, 1 RM7UX).
inline constexpr std::array<TGroupFreqBands, 2> GroupFreqBands = {RM7VXFreqBands, RM7UXFreqBands};

// Index of the band's first row, or -1.
int32_t FindBandStart(TGroupFreqBands Table, int32_t BandCode);

// Replaces Items by the band's rows ("HK: Hong Kong", "Entire Band") and sets PlanStart; false,
// with Items untouched, when the band has no rows.
bool FillBandList(TGroupFreqBands Table, std::vector<std::string>& Items, int32_t BandCode);

// Position, counted from PlanStart, of the band's first row with exactly these limits.
// False with Position -1 when there is none or no band was filled.
bool FindPlanIndex(TGroupFreqBands Table, double Lower, double Upper, int32_t& Position);

// A plan's limits as channel numbers of a grid `stepHz` apart above `baseHz`. A limit between two
// channels moves inward (Hong Kong and Australia on a 5 kHz radio), so the range never leaves
// what the plan allows.
struct TChannelRange {
    int64_t Lower;
    int64_t Upper;
};
TChannelRange InwardChannels(double LowerMHz, double UpperMHz, int64_t BaseHz, double StepHz);

// Table index of the first row shown by the last FillBandList, or -1.
int32_t PlanStart();
// Table index of a position of the list, or -1 when the last fill found no band.
int32_t PlanRow(int32_t Position);
