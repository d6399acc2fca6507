#pragma once
// What the radio's version text says about it (model, power variant, firmware level) and the
// frequency codec: the radio keeps every frequency as a channel number above its model's base.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/Exception.h"
#include "common/FormatSettings.h"

class EFirmwareVersion : public Exception {
  public:
    using Exception::Exception;
};

// 0 RM7UX low power, 1 RM7UX high power, 2 RM7VX, 3 not recognised.
uint8_t ModelVariantCode(std::string_view VersionText);

// RF power levels 0..3 of each variant, five characters wide.
inline constexpr std::array<std::array<std::string_view, 4>, 3> PowerCaptionTable = {{
    {" 10mW", " 25mW", "100mW", "500mW"},
    {"500mW", "   1W", "   2W", "   5W"},
    {"100mW", "   1W", "   2W", "   5W"},
}};

// The four captions of a variant joined by CR LF (no final line end); empty above code 2.
std::string PowerLevelCaptions(uint8_t VariantCode);

// Added to the "RH" value to give the revision shown; indexed by RadioModel.
inline constexpr std::array<int32_t, 2> HardwareRevisionBase = {1, 3};

// Splits "<name> <anything><number><suffix>"; false when there is no space or no digit after it.
bool ParseFirmwareVersion(std::string_view Text, std::string& Name, std::string& Number,
                          std::string& Suffix);

// -1, 0 or 1 comparing the numbers as decimals (single precision), then the suffixes without
// regard to case; -2 when a number does not convert. The numbers come from the radio, which
// writes them with "." whatever the user's locale.
int CompareFirmwareVersions(std::string_view NumberA, std::string_view SuffixA,
                            std::string_view NumberB, std::string_view SuffixB);

// Whether the radio's firmware understands "PV" (1.12A or later on the RM7UX; always on the
// RM7VX). Raises EFirmwareVersion when the text holds no version.
bool SupportsPVCommand(bool IsRM7UX, std::string_view VersionText);

// Model table, indexed by RadioModel (0 RM7VX, 1 RM7UX).
inline constexpr std::array<double, 2> ModelMinFrequency = {100.0, 300.0};            // MHz
inline constexpr std::array<double, 2> ModelMaxFrequency = {235.0, 512.0};            // MHz
inline constexpr std::array<int64_t, 2> ModelBaseFrequency = {100000000, 300000000};  // Hz

inline constexpr int32_t MaxChannel = 65535;

// Step code "00" is 6250 Hz; anything else (the radio uses "01") is 5000 Hz.
int32_t FrequencyStepHz(std::string_view StepCode);

// Channel of a frequency in MHz as upper-case hexadecimal of four digits.
std::string FrequencyToChannel(int RadioModel, std::string_view StepCode, double Frequency);
// MHz of a hexadecimal channel text; raises EConvertError when the text is not hexadecimal.
double ChannelToFrequency(int RadioModel, std::string_view Channel, std::string_view StepCode);
// On the step grid (within 1e-8 MHz) with a channel of 0..65535.
bool IsValidFrequency(int RadioModel, std::string_view StepCode, double Frequency);
// The nearest grid frequency, kept within the model's range.
double NearestValidFrequency(int RadioModel, std::string_view StepCode, double Frequency);
