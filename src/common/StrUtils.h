#pragma once
// Small text routines shared by several modules. Their rules are the ones the system's files
// and screens have always followed: blanks are every character up to the space, integers may be
// written in decimal or, after "$", "x" or "0x", in hexadecimal.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/FormatSettings.h"

// Remove leading and/or trailing blanks and control characters (every character <= ' ').
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
std::string UpperCase(std::string_view s);  // ASCII letters only
std::string LowerCase(std::string_view s);
bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);
bool Contains(std::string_view s, std::string_view part);

// The pieces between delimiters; an empty text gives one empty piece.
std::vector<std::string> SplitString(std::string_view text, char delimiter);

// The standard integer conversion: optional leading blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may follow.
// Fails on an empty text, a stray character or a value that does not fit.
std::optional<int32_t> TryStrToInt(std::string_view s);
std::optional<int64_t> TryStrToInt64(std::string_view s);
// As TryStrToInt; raises EConvertError naming the text when it fails.
int32_t StrToInt(std::string_view s);

// Upper-case hexadecimal of at least `digits` digits, zero-filled on the left. Negative values
// are written as their two's complement in 32 bits (64 bits when they do not fit).
std::string IntToHex(int64_t value, int digits);
// A reply slice as an unsigned hexadecimal number ("$" + slice): raises EConvertError.
int32_t HexToInt(std::string_view slice);
std::optional<int64_t> TryHexToInt64(std::string_view slice);

// Decimal text of a double with the locale's separator: blanks around, sign, digits, one
// separator, an exponent. Anything else fails.
std::optional<double> TryStrToFloat(std::string_view s, const FormatSettings& fs);
// Fixed-point text with `decimals` decimals and the locale's separator (15 significant digits).
std::string FormatFixed(double value, int decimals, const FormatSettings& fs);
// The shortest general text of a double (at most 15 significant digits), e.g. 12.5 or 25.
std::string FormatGeneral(double value, const FormatSettings& fs);

// Whether two texts are equal but for the case of ASCII letters.
bool SameText(std::string_view a, std::string_view b);
// Trim without a copy: the part of `s` between its leading and trailing blanks.
std::string_view TrimView(std::string_view s);
