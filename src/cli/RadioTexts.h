#pragma once
// How the radio's values read to a person on the command line: the serial number and the power
// variant.

#include <cstdint>
#include <string>

// Valid serial numbers are 1000000 to 12999999.
bool IsValidSerialNumber(int64_t serial);
// Decimal, left-padded with "0" to at least eight characters (negative ones unpadded).
std::string FormatSerialNumber(int64_t serial);

// "high power (500mW, 1W, 2W, 5W)" for a variant code of ModelVariantCode.
std::string PowerVariantText(uint8_t variantCode);
