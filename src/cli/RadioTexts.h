#pragma once
// How the radio's values read to a person: the same texts the window shows for the link state,
// the alarms, the temperature, the hardware revision and the serial number.

#include <cstdint>
#include <string>
#include <string_view>

// "Not Available", "No Connection", "Time out", "Invalid Device", "Connect...", "Connected";
// empty for idle.
std::string CommsStateText(uint8_t code);

// The "RC" reply: "No Alarms", the names of the set bits ("Temp, PTT, PLL, Ant"), or "Error
// Reading Alarms" when it is not hexadecimal.
std::string RadioAlarmsText(std::string_view reply);
// The "RT" reply in degrees Celsius as a signed decimal; "" when it is not hexadecimal.
std::string TemperatureText(std::string_view reply);
// "1." + (n + the model's base) + "x" for an "RH" value n of 0..12; "" otherwise.
std::string HardwareRevisionText(int RadioModel, std::string_view reply);

// Valid serial numbers are 1000000 to 12999999.
bool IsValidSerialNumber(int64_t serial);
// Decimal, left-padded with "0" to at least eight characters (negative ones unpadded).
std::string FormatSerialNumber(int64_t serial);

// "high power (500mW, 1W, 2W, 5W)" for a variant code of ModelVariantCode.
std::string PowerVariantText(uint8_t variantCode);
