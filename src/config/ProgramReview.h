#pragma once
// What programming a file into a radio would change, field by field, in the technician's units:
// the review shown before anything is written.

#include <string>
#include <vector>

#include "config/RM7UXFlashConfigObj.h"

struct ReviewRow {
    std::string Name;                   // the setting's name: "tx-frequency"
    std::string Code;                   // the radio's field: "PT"
    std::string Unit;                   // "MHz", "°C"; "" for names and counts
    std::string RadioValue, FileValue;  // in the unit; "(none)" for a field that holds nothing
    std::string RadioRaw, FileRaw;      // the digits; "" for none
};

struct ProgramReview {
    std::vector<ReviewRow> Changes;  // in the configuration file's order
    int Unchanged = 0;               // fields the program sends that keep their values
};

// The fields a program of `file` sends to a radio holding `radio` whose values differ. A field
// the file leaves unset is not sent, nor a PV that the radio lacks; status fields never are.
// Each side is decoded on its own grid and with its own power captions.
ProgramReview ReviewProgram(const TRM7UXFlashRecord& file, const TRM7UXFlashRecord& radio);
