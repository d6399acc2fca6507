#include "cli/RecordFields.h"

#include <ctime>

#include "common/StrUtils.h"

namespace {

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

std::string RecordValueText(int64_t value, int digits) {
    return value < 0 ? "(none)" : "$" + IntToHex(value, digits);
}

std::vector<FieldDifference> CompareRecords(const TRM7UXFlashRecord& expected,
                                            const TRM7UXFlashRecord& actual,
                                            bool skipUnsetExpected) {
    std::vector<FieldDifference> differences;
    for (const FlashFieldInfo& f : FlashFieldTable()) {
        if (f.Kind == FlashFieldKind::Status)
            continue;
        const int64_t want = f.Value(expected);
        const int64_t have = f.Value(actual);
        if (want == have || (skipUnsetExpected && want < 0))
            continue;
        differences.push_back(
            {std::string(f.Key), RecordValueText(want, f.Digits), RecordValueText(have, f.Digits)});
    }
    return differences;
}

void PrintRecordText(std::ostream& out, const TRM7UXFlashRecord& record) {
    out << "Time=" << LocalTimeText(record.TimeLoad) << "\n";
    for (const FlashFieldInfo& f : FlashFieldTable()) {
        const int64_t value = f.Value(record);
        // As in the file: no PV without one, and no PN line for a record without a number.
        if (value < 0 && (f.Kind == FlashFieldKind::Optional || f.Kind == FlashFieldKind::Serial))
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
