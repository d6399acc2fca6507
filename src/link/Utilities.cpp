#include "link/Utilities.h"

#include <cfloat>
#include <cmath>

#include "common/StrUtils.h"

namespace {

size_t ModelIndex(int RadioModel) {
    // Every table here has one entry per model; anything else is a caller's fault, not a radio's.
    if (RadioModel < 0 || RadioModel >= static_cast<int>(ModelBaseFrequency.size())) {
        throw Exception("Unknown radio model " + std::to_string(RadioModel));
    }
    return static_cast<size_t>(RadioModel);
}

// Channel count above the base, rounded half to even (the default floating-point rounding).
double ChannelOf(int RadioModel, std::string_view StepCode, double Frequency) {
    double base = static_cast<double>(ModelBaseFrequency[ModelIndex(RadioModel)]);
    return std::nearbyint((Frequency * 1000000.0 - base) / FrequencyStepHz(StepCode));
}

double FrequencyOf(int RadioModel, std::string_view StepCode, double channel) {
    double base = static_cast<double>(ModelBaseFrequency[ModelIndex(RadioModel)]);
    return (base + channel * FrequencyStepHz(StepCode)) / 1000000.0;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The firmware numbers were compared in single precision; beyond its range the value is
// infinite rather than undefined.
float ToSingle(double value) {
    if (value > FLT_MAX)
        return INFINITY;
    if (value < -FLT_MAX)
        return -INFINITY;
    return static_cast<float>(value);
}

}  // namespace

uint8_t ModelVariantCode(std::string_view VersionText) {
    if (VersionText.size() < 6)
        return 3;
    if (Contains(VersionText, "RM7V"))
        return 2;
    switch (VersionText[4]) {
        case 'H':
            return 1;
        case 'L':
            return 0;
        default:
            return 3;
    }
}

std::string PowerLevelCaptions(uint8_t VariantCode) {
    if (VariantCode >= PowerCaptionTable.size())
        return "";
    std::string text;
    for (const auto& caption : PowerCaptionTable[VariantCode]) {
        if (!text.empty())
            text += "\r\n";
        text += caption;
    }
    return text;
}

bool ParseFirmwareVersion(std::string_view Text, std::string& Name, std::string& Number,
                          std::string& Suffix) {
    Name.clear();
    Number.clear();
    Suffix.clear();
    size_t space = Text.find(' ');
    if (space == std::string_view::npos) {
        Name = Text;
        return false;
    }
    Name = Text.substr(0, space);
    size_t i = space + 1;
    while (i < Text.size() && !IsDigit(Text[i]))
        ++i;
    if (i == Text.size())
        return false;
    size_t start = i;
    while (i < Text.size() && (IsDigit(Text[i]) || Text[i] == '.'))
        ++i;
    Number = Text.substr(start, i - start);
    Suffix = Text.substr(i);
    return true;
}

int CompareFirmwareVersions(std::string_view NumberA, std::string_view SuffixA,
                            std::string_view NumberB, std::string_view SuffixB) {
    const FormatSettings dot{};
    auto a = TryStrToFloat(NumberA, dot);
    auto b = TryStrToFloat(NumberB, dot);
    if (!a || !b)
        return -2;
    float singleA = ToSingle(*a);
    float singleB = ToSingle(*b);
    if (singleA < singleB)
        return -1;
    if (singleA > singleB)
        return 1;
    // char_traits<char> compares as unsigned char, i.e. by character code.
    int order = LowerCase(SuffixA).compare(LowerCase(SuffixB));
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

bool SupportsPVCommand(bool IsRM7UX, std::string_view VersionText) {
    if (!IsRM7UX)
        return true;
    std::string name, number, suffix;
    if (!ParseFirmwareVersion(VersionText, name, number, suffix)) {
        throw EFirmwareVersion("SupportsPVCommand: Could not determine firmware version");
    }
    // An unreadable number (-2) is given the benefit of the doubt.
    return CompareFirmwareVersions(number, UpperCase(suffix), "1.12", "A") != -1;
}

int32_t FrequencyStepHz(std::string_view StepCode) {
    return StepCode == "00" ? 6250 : 5000;
}

std::string FrequencyToChannel(int RadioModel, std::string_view StepCode, double Frequency) {
    double n = ChannelOf(RadioModel, StepCode, Frequency);
    // Callers pass frequencies inside the model's range; anything else must still give the
    // radio a four-digit channel rather than a longer or negative text.
    if (!(n >= 0))
        n = 0;
    if (n > MaxChannel)
        n = MaxChannel;
    return IntToHex(static_cast<int64_t>(n), 4);
}

double ChannelToFrequency(int RadioModel, std::string_view Channel, std::string_view StepCode) {
    return FrequencyOf(RadioModel, StepCode, HexToInt(Channel));
}

bool IsValidFrequency(int RadioModel, std::string_view StepCode, double Frequency) {
    double n = ChannelOf(RadioModel, StepCode, Frequency);
    if (!(n >= 0 && n <= MaxChannel))
        return false;
    return std::fabs(FrequencyOf(RadioModel, StepCode, n) - Frequency) < 1e-8;
}

double NearestValidFrequency(int RadioModel, std::string_view StepCode, double Frequency) {
    size_t model = ModelIndex(RadioModel);
    double n = ChannelOf(RadioModel, StepCode, Frequency);
    if (!(n >= 0))
        n = 0;
    double g = FrequencyOf(RadioModel, StepCode, n);
    if (g < ModelMinFrequency[model])
        return ModelMinFrequency[model];
    if (g > ModelMaxFrequency[model])
        return ModelMaxFrequency[model];
    return g;
}
