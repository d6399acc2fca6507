#include "cli/RecordFields.h"

#include <ctime>

#include "common/StrUtils.h"

namespace {

constexpr RecordFieldInfo kFields[] = {
    {"SC", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.Ctcss; }},
    {"PF", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.FreqOffset; }},
    {"PD", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.Deviation; }},
    {"PM", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.ModBalance; }},
    {"PR", 4, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.RxFreq; }},
    {"PT", 4, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.TxFreq; }},
    {"P1", 4, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.Range(1); }},
    {"P2", 4, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.Range(2); }},
    {"P3", 4, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.Range(3); }},
    {"P4", 4, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.Range(4); }},
    {"PV", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.RevPowerThreshold; }},
    {"PN", 8, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.SerialNumber; }},
    {"PP", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.PttTimeout; }},
    {"PC", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.ChannelSpacing; }},
    {"PA", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.FreqBandCode; }},
    {"PS", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.ShutdownTemp; }},
    {"PW", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.PowerLevel; }},
    {"PB", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.BandWidth; }},
    {"PL0", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.TxPowerCal[0]; }},
    {"PL1", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.TxPowerCal[1]; }},
    {"PL2", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.TxPowerCal[2]; }},
    {"PL3", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.TxPowerCal[3]; }},
    {"PO", 2, true, [](const TRM7UXFlashRecord& r) -> int64_t { return r.RssiOffset; }},
    {"RH", 2, false, [](const TRM7UXFlashRecord& r) -> int64_t { return r.HardwareVersion; }},
    {"RC", 2, false, [](const TRM7UXFlashRecord& r) -> int64_t { return r.RadioCheck; }},
    {"RT", 2, false, [](const TRM7UXFlashRecord& r) -> int64_t { return r.RadioTemperature; }},
};

std::string LocalTimeText(std::chrono::system_clock::time_point t) {
    if (t == std::chrono::system_clock::time_point{})
        return "";
    std::time_t seconds = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char* kHex = "0123456789abcdef";
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonNumber(int64_t value) {
    return value < 0 ? "null" : std::to_string(value);
}

template <size_t N>
std::string JsonArray(const std::array<int32_t, N>& values) {
    std::string out = "[";
    for (size_t i = 0; i < N; ++i)
        out += (i == 0 ? "" : ", ") + JsonNumber(values[i]);
    return out + "]";
}

}  // namespace

std::span<const RecordFieldInfo> RecordFieldTable() {
    return kFields;
}

std::string RecordValueText(int64_t value, int digits) {
    return value < 0 ? "(none)" : "$" + IntToHex(value, digits);
}

std::vector<FieldDifference> CompareRecords(const TRM7UXFlashRecord& expected,
                                            const TRM7UXFlashRecord& actual,
                                            bool skipUnsetExpected) {
    std::vector<FieldDifference> differences;
    for (const auto& f : kFields) {
        if (!f.Configuration)
            continue;
        const int64_t want = f.Get(expected);
        const int64_t have = f.Get(actual);
        if (want == have || (skipUnsetExpected && want < 0))
            continue;
        differences.push_back(
            {std::string(f.Key), RecordValueText(want, f.Digits), RecordValueText(have, f.Digits)});
    }
    return differences;
}

void PrintRecordText(std::ostream& out, const TRM7UXFlashRecord& record) {
    out << "Time=" << LocalTimeText(record.TimeLoad) << "\n";
    for (const auto& f : kFields) {
        const int64_t value = f.Get(record);
        // As in the file: no PV without one, and no PN line for a record without a number.
        if (value < 0 && (f.Key == "PV" || f.Key == "PN"))
            continue;
        out << f.Key << "=" << RecordValueText(value, f.Digits) << "\n";
    }
    out << "RV=" << record.FirmwareVersion << "\n";
}

void PrintRecordJson(std::ostream& out, const TRM7UXFlashRecord& r) {
    const std::string time = LocalTimeText(r.TimeLoad);
    out << "{\n"
        << "  \"Ctcss\": " << JsonNumber(r.Ctcss) << ",\n"
        << "  \"FreqOffset\": " << JsonNumber(r.FreqOffset) << ",\n"
        << "  \"Deviation\": " << JsonNumber(r.Deviation) << ",\n"
        << "  \"ModBalance\": " << JsonNumber(r.ModBalance) << ",\n"
        << "  \"RxFreq\": " << JsonNumber(r.RxFreq) << ",\n"
        << "  \"TxFreq\": " << JsonNumber(r.TxFreq) << ",\n"
        << "  \"RevPowerThreshold\": " << JsonNumber(r.RevPowerThreshold) << ",\n"
        << "  \"SerialNumber\": " << JsonNumber(r.SerialNumber) << ",\n"
        << "  \"PttTimeout\": " << JsonNumber(r.PttTimeout) << ",\n"
        << "  \"ChannelSpacing\": " << JsonNumber(r.ChannelSpacing) << ",\n"
        << "  \"FreqRange\": " << JsonArray(r.FreqRange) << ",\n"
        << "  \"FreqBandCode\": " << JsonNumber(r.FreqBandCode) << ",\n"
        << "  \"ShutdownTemp\": " << JsonNumber(r.ShutdownTemp) << ",\n"
        << "  \"PowerLevel\": " << JsonNumber(r.PowerLevel) << ",\n"
        << "  \"BandWidth\": " << JsonNumber(r.BandWidth) << ",\n"
        << "  \"TxPowerCal\": " << JsonArray(r.TxPowerCal) << ",\n"
        << "  \"RssiOffset\": " << JsonNumber(r.RssiOffset) << ",\n"
        << "  \"FirmwareVersion\": " << JsonString(r.FirmwareVersion) << ",\n"
        << "  \"HardwareVersion\": " << JsonNumber(r.HardwareVersion) << ",\n"
        << "  \"RadioCheck\": " << JsonNumber(r.RadioCheck) << ",\n"
        << "  \"RadioTemperature\": " << JsonNumber(r.RadioTemperature) << ",\n"
        << "  \"TimeLoad\": " << (time.empty() ? "null" : JsonString(time)) << "\n"
        << "}\n";
}
