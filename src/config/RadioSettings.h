#pragma once
// The radio's settings by name and unit, as a technician speaks of them ("tx-frequency" in MHz,
// "power" as 5W): one table from which the command line's get and set, its JSON records and its
// help all read. Encoding goes through the frequency codec and the band tables, so a value is
// snapped, limited and refused exactly as the window would treat it, only never clamped silently.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/RM7UXFlashConfigObj.h"
#include "frequency/CountryFrequency.h"

enum class SettingKind {
    Frequency,  // PT PR: channel number, shown in MHz
    Limit,      // P1..P4: a band limit in MHz; changed only through a plan
    Step,       // PC: 6.25 or 5 kHz
    Power,      // PW: the variant's caption, or the level 0..3
    Number,     // a plain decimal from Min to Max
    Celsius,    // PS RT: degrees Celsius + 40 on the wire
    Plan,       // the country/band plan row that the four limits match
    Serial,     // PN: eight decimal digits
    Bandwidth,  // PB: 25 or 12.5 kHz
    Text,       // RV: the version text
    Model,      // RV: the model it names
    Revision,   // RH: "1.5x"
    Alarms,     // RC: "No Alarms" or the alarm names
};

struct RadioSetting {
    std::string_view Name;  // "tx-frequency"
    std::string_view Unit;  // "MHz", "kHz", "s", "°C"; "" for names and counts
    std::string_view Code;  // the radio's field: "PT", "PL2"; "" for the plan
    int Digits;             // hexadecimal digits on the wire; 0 for text
    SettingKind Kind;
    bool Writable;  // set takes it
    int32_t Min = 0, Max = 255;
    std::string_view Meaning;
};

// Every setting, in the order get and the JSON record list them.
std::span<const RadioSetting> RadioSettingTable();
// By name, regardless of letter case; nullptr when there is none.
const RadioSetting* FindRadioSetting(std::string_view name);

// What decoding and encoding need to know about the radio.
struct SettingsContext {
    int RadioModel = 1;           // 1 RM7UX, 0 RM7VX
    std::string StepCode = "00";  // the radio's "PC"
    std::string VersionText;      // for the power captions
    double Low = 0, High = 0;     // the band limits that apply to a frequency being set
    bool HaveLimits = false;
};

// The context a record describes: model and captions from its version text, its step.
SettingsContext ContextOfRecord(const TRM7UXFlashRecord& record);

// A value in its unit from the radio's raw text ("5780" -> "440.00000"); nullopt when the raw
// text is not what the field holds (garbage from the radio).
std::optional<std::string> DecodeSetting(const RadioSetting& s, std::string_view raw,
                                         const SettingsContext& ctx);

enum class SettingRefusal {
    None,
    Invalid,       // not a value of this setting, or outside the model's range
    OutOfLimits,   // outside the radio's band limits
    NeedsConfirm,  // allowed only with the operator's say (a cut-out below the minimum)
};

struct EncodedSetting {
    std::string Raw;    // the digits to send
    std::string Shown;  // the value as it will be, in its unit (snapped)
    SettingRefusal Refusal = SettingRefusal::None;
    std::string Problem;  // why, for the message
};

// Encodes a value given in the setting's unit. Numbers are read with "." whatever the locale.
// A frequency is snapped to the step's grid; outside the model's range it is Invalid, outside
// ctx's limits (when known) OutOfLimits. `minCutout` is the recommended lowest cut-out.
EncodedSetting EncodeSetting(const RadioSetting& s, std::string_view text,
                             const SettingsContext& ctx, int32_t minCutout = 50);

// Checks that can be made before the radio is known: a value that no model could take.
std::string PrecheckSetting(const RadioSetting& s, std::string_view text);

// Locale-free number texts: five decimals for MHz.
std::string FormatMHz(double mhz);
std::optional<double> ParseDecimal(std::string_view text);

// The row of the band with that code; nullptr when the band has none.
const TGroupFreqBand* FindPlanRow(int radioModel, int32_t bandCode, std::string_view code);

// The number a flash record holds for a value given in the setting's unit, taken exactly as
// written: a frequency must lie on the record's own grid, nothing is snapped. nullopt, with the
// reason in `problem`, for a value the field cannot hold.
std::optional<int64_t> RecordValueOf(const RadioSetting& s, std::string_view text,
                                     const SettingsContext& ctx, std::string& problem);

// The setting that a field code belongs to (the first, for RV); nullptr for none.
const RadioSetting* SettingOfCode(std::string_view code);
// Whether a field's value means the same under two contexts: a frequency is the MHz it means
// under each side's step, so a channel that moves with the step is no change, and one whose
// digits stay while the step changes is.
bool SameMeaning(std::string_view code, const std::string& rawA, const SettingsContext& a,
                 const std::string& rawB, const SettingsContext& b);
