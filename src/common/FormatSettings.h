#pragma once
// What the user's locale says about numbers, dates and times. Taken once from the C library's
// locale; everything that the system shows "in the locale's format" takes one of these, so tests
// can pass their own. Files and the wire never depend on it.

#include <chrono>
#include <string>

struct FormatSettings {
    char DecimalSeparator = '.';
    std::string ShortDateFormat = "%d/%m/%Y";  // strftime pattern
    std::string LongTimeFormat = "%H:%M:%S";   // strftime pattern

    // The process's locale (setlocale(LC_ALL, "") must have run, or the "C" locale is used).
    static FormatSettings FromLocale();

    std::string FormatShortDate(std::chrono::system_clock::time_point t) const;
    std::string FormatLongTime(std::chrono::system_clock::time_point t) const;
};

// The settings the program runs with: FromLocale() at start, replaceable by tests.
const FormatSettings& DefaultFormatSettings();
void SetDefaultFormatSettings(const FormatSettings& settings);
