#pragma once
// Moments as ISO 8601 text. What is kept (the history of changes) is in UTC with "Z"; what a
// person reads in the window is local time with its offset, so that either names one moment
// whatever the zone of the machine that reads it.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// "2026-12-08T09:30:00Z"
std::string UtcTimeText(std::time_t t);
// "2026-12-08T10:30:00+01:00"; `separator` between the date and the time.
std::string LocalTimeText(std::time_t t, char separator = 'T');

// "YYYY-MM-DD", optionally with a time "HH:MM" or "HH:MM:SS" after a "T" or a blank, and after
// the time optionally a zone: "Z", "+HH:MM", "+HHMM" or "+HH" (or "-"). Without a zone it is
// local time; a date alone is its local midnight. nullopt for any other text or a date that does
// not exist (a 30 February).
std::optional<std::time_t> ParseTimeText(std::string_view text);
