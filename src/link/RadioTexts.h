#pragma once
// How the radio's status replies read to a person: the link state, the alarms, the temperature
// and the hardware revision, as the window shows them and the command line prints them.

#include <cstdint>
#include <string>
#include <string_view>

// "Not Available", "No Connection", "Time out", "Invalid Device", "Connect...", "Connected" for
// the comms-state codes; empty for idle and unknown codes.
std::string CommsStateText(uint8_t code);

// The "RC" reply: "No Alarms", the names of the set bits ("Temp, PTT, PLL, Ant"), or "Error
// Reading Alarms" when it is not hexadecimal.
std::string RadioAlarmsText(std::string_view reply);

// Temperatures on the wire are one byte of degrees Celsius plus 40: -40 to 215 C.
inline constexpr int32_t kTemperatureOffset = 40;
inline constexpr int32_t kLowestTemperature = -40;
inline constexpr int32_t kHighestTemperature = 215;

// A temperature field ("RT", "PS") in degrees Celsius; raises EConvertError when it is not
// hexadecimal.
int32_t TemperatureCelsius(std::string_view reply);
// The "RT" reply in degrees Celsius as a signed decimal; "" when it is not hexadecimal.
std::string TemperatureText(std::string_view reply);

// "1." + (n + the model's base) + "x" for an "RH" value n of 0..12; "" otherwise.
std::string HardwareRevisionText(int RadioModel, std::string_view reply);
