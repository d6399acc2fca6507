#pragma once
// The flash record field by field, named as the configuration file names them: for printing a
// record, and for finding the fields in which a file and a radio disagree.

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "config/RM7UXFlashConfigObj.h"

// A JSON string literal, quotes and escapes included.
std::string JsonString(std::string_view s);

// "$" and the value's hex digits, or "(none)" for -1.
std::string RecordValueText(int64_t value, int digits);

struct FieldDifference {
    std::string Key;
    std::string Expected;  // the file's value
    std::string Actual;    // the radio's value
    bool operator==(const FieldDifference&) const = default;
};

// The configuration fields whose values differ between a file and a radio. With
// skipUnsetExpected, a field the file leaves unset (-1) is not compared: a program does not
// write it, so the radio keeps its own value.
std::vector<FieldDifference> CompareRecords(const TRM7UXFlashRecord& expected,
                                            const TRM7UXFlashRecord& actual,
                                            bool skipUnsetExpected);

// One KEY=value line per field, in the file's order: Time, the numbers, RV.
void PrintRecordText(std::ostream& out, const TRM7UXFlashRecord& record);
// One JSON object with the record's field names; unset numbers are null.
void PrintRecordJson(std::ostream& out, const TRM7UXFlashRecord& record);
