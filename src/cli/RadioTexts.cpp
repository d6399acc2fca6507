#include "cli/RadioTexts.h"

#include <array>

#include "common/StrUtils.h"
#include "link/Utilities.h"

bool IsValidSerialNumber(int64_t serial) {
    return serial >= 1000000 && serial <= 12999999;
}

std::string FormatSerialNumber(int64_t serial) {
    std::string text = std::to_string(serial);
    // Zeros in front of a minus sign would make a number of it that it is not.
    if (serial >= 0 && text.size() < 8)
        text.insert(0, 8 - text.size(), '0');
    return text;
}

std::string PowerVariantText(uint8_t variantCode) {
    static constexpr std::array<std::string_view, 3> kNames = {"low power", "high power", "RM7VX"};
    if (variantCode >= kNames.size())
        return "not recognised";
    std::string levels;
    for (std::string_view caption : PowerCaptionTable[variantCode]) {
        if (!levels.empty())
            levels += ", ";
        levels += Trim(caption);
    }
    return std::string(kNames[variantCode]) + " (" + levels + ")";
}
