#include "common/FormatSettings.h"

#include <langinfo.h>

#include <ctime>

namespace {

std::string Strftime(const std::string& pattern, std::chrono::system_clock::time_point t) {
    std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&tt, &local);
    char buf[128];
    size_t n = std::strftime(buf, sizeof buf, pattern.c_str(), &local);
    return std::string(buf, n);
}

FormatSettings& Current() {
    static FormatSettings settings;
    return settings;
}

}  // namespace

FormatSettings FormatSettings::FromLocale() {
    FormatSettings fs;
    const char* radix = nl_langinfo(RADIXCHAR);
    if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') {
        fs.DecimalSeparator = radix[0];
    }
    const char* date = nl_langinfo(D_FMT);
    if (date != nullptr && date[0] != '\0') {
        fs.ShortDateFormat = date;
    }
    const char* time = nl_langinfo(T_FMT);
    if (time != nullptr && time[0] != '\0') {
        fs.LongTimeFormat = time;
    }
    return fs;
}

std::string FormatSettings::FormatShortDate(std::chrono::system_clock::time_point t) const {
    return Strftime(ShortDateFormat, t);
}

std::string FormatSettings::FormatLongTime(std::chrono::system_clock::time_point t) const {
    return Strftime(LongTimeFormat, t);
}

const FormatSettings& DefaultFormatSettings() {
    return Current();
}

void SetDefaultFormatSettings(const FormatSettings& settings) {
    Current() = settings;
}
