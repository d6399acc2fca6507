#include "cli/RadioTexts.h"

#include <array>

#include "common/StrUtils.h"
#include "link/Utilities.h"

std::string CommsStateText(uint8_t code) {
    static constexpr std::array<std::string_view, 7> kTexts = {
        "",           "Not Available", "No Connection", "Time out", "Invalid Device",
        "Connect...", "Connected"};
    return code < kTexts.size() ? std::string(kTexts[code]) : "";
}

std::string RadioAlarmsText(std::string_view reply) {
    std::optional<int64_t> value = TryHexToInt64(reply);
    if (!value || reply.empty())
        return "Error Reading Alarms";
    if (*value == 0)
        return "No Alarms";
    static constexpr std::array<std::string_view, 4> kNames = {"Temp", "PTT", "PLL", "Ant"};
    std::string text;
    for (size_t bit = 0; bit < kNames.size(); ++bit) {
        if ((*value & (int64_t{1} << bit)) == 0)
            continue;
        if (!text.empty())
            text += ", ";
        text += kNames[bit];
    }
    return text;
}

std::string TemperatureText(std::string_view reply) {
    std::optional<int64_t> value = TryHexToInt64(reply);
    if (!value || reply.empty())
        return "";
    return std::to_string(*value - 40);
}

std::string HardwareRevisionText(int RadioModel, std::string_view reply) {
    std::optional<int64_t> value = TryHexToInt64(reply);
    if (!value || reply.empty() || *value < 0 || *value > 12 || RadioModel < 0 || RadioModel > 1)
        return "";
    return "1." + std::to_string(*value + HardwareRevisionBase[static_cast<size_t>(RadioModel)]) +
           "x";
}

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
