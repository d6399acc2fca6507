#include "link/RadioTexts.h"

#include <array>
#include <optional>

#include "common/StrUtils.h"
#include "link/RM7UXcomms.h"
#include "link/Utilities.h"

std::string CommsStateText(uint8_t code) {
    switch (code) {
        case csPortNotAvailable:
            return "Not Available";
        case csNoConnection:
            return "No Connection";
        case csTimeOut:
            return "Time out";
        case csInvalidDevice:
            return "Invalid Device";
        case csPortOpen:
            return "Connect...";
        case csConnected:
            return "Connected";
        default:
            return "";
    }
}

std::string RadioAlarmsText(std::string_view reply) {
    const std::optional<int64_t> value = TryHexToInt64(reply);
    if (!value)
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

int32_t TemperatureCelsius(std::string_view reply) {
    return HexToInt(reply) - kTemperatureOffset;
}

std::string TemperatureText(std::string_view reply) {
    const std::optional<int64_t> value = TryHexToInt64(reply);
    if (!value)
        return "";
    return std::to_string(*value - kTemperatureOffset);
}

std::string HardwareRevisionText(int RadioModel, std::string_view reply) {
    const std::optional<int64_t> value = TryHexToInt64(reply);
    if (!value || *value < 0 || *value > 12 || RadioModel < 0 || RadioModel > 1)
        return "";
    return "1." + std::to_string(*value + HardwareRevisionBase[static_cast<size_t>(RadioModel)]) +
           "x";
}
