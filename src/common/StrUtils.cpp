#include "common/StrUtils.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/Exception.h"

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses into a magnitude bounded by `limit` (for the negative side one more than the positive).
std::optional<int64_t> ParseInteger(std::string_view s, int64_t minValue, int64_t maxValue) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return std::nullopt;
    uint64_t limit =
        negative ? static_cast<uint64_t>(-(minValue + 1)) + 1 : static_cast<uint64_t>(maxValue);
    uint64_t value = 0;
    for (; i < s.size(); ++i) {
        int d = base == 16 ? HexDigit(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
        if (d < 0)
            return std::nullopt;
        if (value > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) {
            return std::nullopt;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (negative) {
        return value == 0 ? 0 : -static_cast<int64_t>(value - 1) - 1;
    }
    return static_cast<int64_t>(value);
}

std::string NotAnInteger(std::string_view s) {
    return "'" + std::string(s) + "' is not a valid integer value";
}

}  // namespace

std::string TrimLeft(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b]))
        ++b;
    return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1]))
        --e;
    return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) {
    return TrimLeft(TrimRight(s));
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool Contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

std::vector<std::string> SplitString(std::string_view text, char delimiter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t pos = text.find(delimiter, start);
        if (pos == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::optional<int32_t> TryStrToInt(std::string_view s) {
    auto v =
        ParseInteger(s, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    if (!v)
        return std::nullopt;
    return static_cast<int32_t>(*v);
}

std::optional<int64_t> TryStrToInt64(std::string_view s) {
    return ParseInteger(s, std::numeric_limits<int64_t>::min(),
                        std::numeric_limits<int64_t>::max());
}

int32_t StrToInt(std::string_view s) {
    auto v = TryStrToInt(s);
    if (!v)
        throw EConvertError(NotAnInteger(s));
    return *v;
}

std::string IntToHex(int64_t value, int digits) {
    uint64_t u = static_cast<uint64_t>(value);
    if (value < 0 && value >= std::numeric_limits<int32_t>::min()) {
        u = static_cast<uint32_t>(value);
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(u));
    return buf;
}

int32_t HexToInt(std::string_view slice) {
    return StrToInt("$" + std::string(slice));
}

std::optional<int64_t> TryHexToInt64(std::string_view slice) {
    return TryStrToInt64("$" + std::string(slice));
}

std::optional<double> TryStrToFloat(std::string_view s, const FormatSettings& fs) {
    std::string t = Trim(s);
    if (t.empty())
        return std::nullopt;
    std::string normal;
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-') {
        if (t[i] == '-')
            normal += '-';
        ++i;
    }
    bool digits = false;
    bool separator = false;
    for (; i < t.size(); ++i) {
        char c = t[i];
        if (c >= '0' && c <= '9') {
            normal += c;
            digits = true;
        } else if (c == fs.DecimalSeparator && !separator) {
            normal += '.';
            separator = true;
        } else {
            break;
        }
    }
    if (!digits)
        return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            normal += t[i++];
        bool expDigits = false;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
            normal += t[i];
            expDigits = true;
        }
        if (!expDigits)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (ec != std::errc() || end != normal.data() + normal.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

namespace {
std::string WithSeparator(std::string text, const FormatSettings& fs) {
    for (char& c : text) {
        if (c == '.')
            c = fs.DecimalSeparator;
    }
    return text;
}
}  // namespace

// The C library's number formatting follows the process locale, which the window sets from the
// environment; to_chars never does, so the separator is only ever the one fs names.
std::string FormatFixed(double value, int decimals, const FormatSettings& fs) {
    // Round to 15 significant digits first, as the displayed figure never carries more.
    char sig[64];
    auto s = std::to_chars(sig, sig + sizeof sig, value, std::chars_format::scientific, 14);
    double rounded = value;
    std::from_chars(sig, s.ptr, rounded);
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, decimals);
    return WithSeparator(std::string(buf, r.ptr), fs);
}

std::string FormatGeneral(double value, const FormatSettings& fs) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return WithSeparator(std::string(buf, r.ptr), fs);
}

bool SameText(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string_view TrimView(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b]))
        ++b;
    size_t e = s.size();
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}
