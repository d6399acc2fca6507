#include "common/TimeText.h"

#include <cstdio>
#include <cstdlib>

namespace {

std::string Format(const std::tm& tm, char separator) {
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, separator, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

// `count` decimal digits at text[at]; -1 when they are not there.
int Digits(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The zone after a time: its offset east of UTC in seconds; nullopt when it is not one.
std::optional<long> ZoneOffset(std::string_view zone) {
    if (zone == "Z" || zone == "z")
        return 0;
    if (zone.size() < 3 || (zone[0] != '+' && zone[0] != '-'))
        return std::nullopt;
    const int hours = Digits(zone, 1, 2);
    int minutes = 0;
    if (zone.size() == 6 && zone[3] == ':')
        minutes = Digits(zone, 4, 2);
    else if (zone.size() == 5)
        minutes = Digits(zone, 3, 2);
    else if (zone.size() != 3)
        return std::nullopt;
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59)
        return std::nullopt;
    const long offset = hours * 3600L + minutes * 60L;
    return zone[0] == '-' ? -offset : offset;
}

}  // namespace

std::string UtcTimeText(std::time_t t) {
    std::tm utc{};
    gmtime_r(&t, &utc);
    return Format(utc, 'T') + "Z";
}

std::string LocalTimeText(std::time_t t, char separator) {
    std::tm local{};
    localtime_r(&t, &local);
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[40];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return Format(local, separator) + zone;
}

std::optional<std::time_t> ParseTimeText(std::string_view text) {
    std::tm tm{};
    const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    if (year < 0 || month < 0 || day < 0 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    std::string_view rest = text.substr(10);
    if (!rest.empty()) {
        if (rest[0] != 'T' && rest[0] != ' ')
            return std::nullopt;
        tm.tm_hour = Digits(rest, 1, 2);
        tm.tm_min = Digits(rest, 4, 2);
        if (tm.tm_hour < 0 || tm.tm_min < 0 || rest.size() < 6 || rest[3] != ':')
            return std::nullopt;
        rest.remove_prefix(6);
        if (!rest.empty() && rest[0] == ':') {
            tm.tm_sec = Digits(rest, 1, 2);
            if (tm.tm_sec < 0)
                return std::nullopt;
            rest.remove_prefix(3);
        }
    }
    std::optional<long> offset;
    if (!rest.empty() && !(offset = ZoneOffset(rest)))
        return std::nullopt;
    // A field out of its range is not a moment: timegm would carry it into the next field.
    std::tm check = tm;
    const std::time_t asUtc = timegm(&check);
    if (check.tm_year != tm.tm_year || check.tm_mon != tm.tm_mon || check.tm_mday != tm.tm_mday ||
        check.tm_hour != tm.tm_hour || check.tm_min != tm.tm_min || check.tm_sec != tm.tm_sec)
        return std::nullopt;
    if (offset)
        return asUtc - *offset;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}
