#pragma once
// The radio's fields as `get` and `set` reach them: code, width and how the radio answers.

#include <span>
#include <string_view>

enum class FieldAccess {
    Text,      // RV: text up to the prompt
    ReadOnly,  // RH RT RR RC: QueryField
    Editable,  // ReadField / SetField
    Level,     // PL0..PL3: "PL" with the level as its argument
};

struct RadioFieldInfo {
    std::string_view Code;
    int Width;  // hex digits; 0 for RV
    FieldAccess Access;
    std::string_view Meaning;
};

std::span<const RadioFieldInfo> RadioFieldTable();
// Finds a code regardless of letter case; nullptr when the radio has no such field.
const RadioFieldInfo* FindRadioField(std::string_view code);
