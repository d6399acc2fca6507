#pragma once
// The flash record field by field, named as the configuration file names them: for printing a
// record, and for finding the fields in which a file and a radio disagree.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Json.h"
#include "config/RM7UXFlashConfigObj.h"
#include "config/RadioSettings.h"

// "$" and the value's hex digits, or "(none)" for -1.
std::string RecordValueText(int64_t value, int digits);

struct FieldDifference {
    std::string Key;
    std::string Expected;  // the file's value
    std::string Actual;    // the radio's value
    bool operator==(const FieldDifference&) const = default;
};

// "PT file=$5780 radio=$5781 (tx-frequency: file 440.00000 MHz, radio 440.00625 MHz)": the raw
// values, and the setting's name and values in its unit where the field has one. Each value
// is decoded in its own record's context (its step, its model).
std::string DifferenceText(const FieldDifference& d, const TRM7UXFlashRecord& expected,
                           const TRM7UXFlashRecord& actual);

// The configuration fields whose values differ between a file and a radio. With
// skipUnsetExpected, a field the file leaves unset (-1) is not compared: a program does not
// write it, so the radio keeps its own value.
std::vector<FieldDifference> CompareRecords(const TRM7UXFlashRecord& expected,
                                            const TRM7UXFlashRecord& actual,
                                            bool skipUnsetExpected);

// One KEY=value line per field, in the file's order: Time, the numbers, RV.
void PrintRecordText(std::ostream& out, const TRM7UXFlashRecord& record);
// The JSON documents of read, identify and status (README, "JSON"): a schema name and version,
// and one entry per setting with its field code, unit, value in the unit and raw digits.
inline constexpr int kJsonSchemaVersion = 1;
// One setting's entry; a raw value of nullopt (unset) gives null for both.
Json SettingJson(const RadioSetting& s, const std::optional<std::string>& raw,
                 const SettingsContext& ctx);
// `time` is a string or null; `settings` an object of entries by name.
void PrintJsonDocument(std::ostream& out, std::string_view kind, Json time, Json settings);
// The whole record, every setting it holds.
void PrintRecordJson(std::ostream& out, const TRM7UXFlashRecord& record);
// A record from such a document (kind "record"), as program takes it. False with the field and
// the reason in `problem`.
bool RecordFromJson(std::string_view text, TRM7UXFlashRecord& record, std::string& problem);

const FlashFieldInfo* FindFlashField(std::string_view key);
