#include "config/RadioSettings.h"

#include <charconv>
#include <cmath>

#include "common/StrUtils.h"
#include "config/SerialGuard.h"
#include "frequency/CountryFrequency.h"
#include "link/RadioTexts.h"
#include "link/Utilities.h"

namespace {

using K = SettingKind;

// Unit and digits are the field's own (config/FieldTable.h).
constexpr RadioSetting Setting(std::string_view name, std::string_view code, K kind, bool writable,
                               int32_t min, int32_t max, std::string_view meaning) {
    return {name, FieldUnit(code), code, FieldDigits(code), kind, writable, min, max, meaning};
}

constexpr RadioSetting kSettings[] = {
    Setting("tx-frequency", "PT", K::Frequency, true, 0, 0, "transmit frequency"),
    Setting("rx-frequency", "PR", K::Frequency, true, 0, 0, "receive frequency"),
    Setting("step", "PC", K::Step, true, 0, 0,
            "frequency step, 6.25 or 5 (RM7UX); saves to flash and resets"),
    Setting("power", "PW", K::Power, true, 0, 3,
            "RF power: the model's caption (5W) or level 0..3"),
    Setting("ptt-timeout", "PP", K::Number, true, 0, 255, "PTT time-out"),
    Setting("ctcss", "SC", K::Number, true, 0, 38, "CTCSS tone 0..38"),
    Setting("cutout-temperature", "PS", K::Celsius, true, -40, 215, "cut-out temperature"),
    Setting("plan", "", K::Plan, true, 0, 0,
            "country/band plan: its code (ISM, NW...) or 'entire'; sets limits and centre"),
    Setting("tx-low", "P3", K::Limit, false, 0, 0, "TX band lower limit"),
    Setting("tx-high", "P4", K::Limit, false, 0, 0, "TX band upper limit"),
    Setting("rx-low", "P1", K::Limit, false, 0, 0, "RX band lower limit"),
    Setting("rx-high", "P2", K::Limit, false, 0, 0, "RX band upper limit"),
    Setting("band", "PA", K::Number, false, 0, 255, "band code"),
    Setting("bandwidth", "PB", K::Bandwidth, false, 0, 0, "channel bandwidth, 25 or 12.5"),
    Setting("deviation", "PD", K::Number, true, 0, 255, "deviation calibration 0..255"),
    Setting("modulation-balance", "PM", K::Number, true, 0, 255,
            "modulation balance calibration 0..255"),
    Setting("rf-offset", "PF", K::Number, true, 0, 255, "RF frequency offset calibration 0..255"),
    Setting("power-calibration-0", "PL0", K::Number, true, 0, 255, "TX power calibration, level 0"),
    Setting("power-calibration-1", "PL1", K::Number, true, 0, 255, "TX power calibration, level 1"),
    Setting("power-calibration-2", "PL2", K::Number, true, 0, 255, "TX power calibration, level 2"),
    Setting("power-calibration-3", "PL3", K::Number, true, 0, 255, "TX power calibration, level 3"),
    Setting("rssi-offset", "PO", K::Number, true, 0, 255, "RSSI offset 0..255"),
    Setting("reverse-power-threshold", "PV", K::Number, true, 0, 255,
            "reverse power threshold 0..255 (RM7UX: firmware 1.12A or later)"),
    Setting("serial", "PN", K::Serial, false, 0, 0, "serial number"),
    Setting("model", "RV", K::Model, false, 0, 0, "model"),
    Setting("firmware", "RV", K::Text, false, 0, 0, "model and firmware version text"),
    Setting("hardware-revision", "RH", K::Revision, false, 0, 0, "hardware revision"),
    Setting("temperature", "RT", K::Celsius, false, -40, 215, "radio temperature"),
    Setting("rssi", "RR", K::Number, false, 0, 255, "raw RSSI"),
    Setting("alarms", "RC", K::Alarms, false, 0, 0, "alarms"),
};

std::optional<int64_t> RawNumber(std::string_view raw, int digits) {
    if (raw.empty() || (digits > 0 && raw.size() > static_cast<size_t>(digits)))
        return std::nullopt;
    return TryHexToInt64(raw);
}

// The value without a trailing unit ("441.25MHz" and "441.25 MHz" are 441.25).
std::string WithoutUnit(std::string_view text, std::string_view unit) {
    std::string_view t = TrimView(text);
    if (!unit.empty() && t.size() > unit.size() && SameText(t.substr(t.size() - unit.size()), unit))
        t = TrimView(t.substr(0, t.size() - unit.size()));
    return std::string(t);
}

std::optional<int32_t> ParseInteger(std::string_view text) {
    int32_t v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end)
        return std::nullopt;
    return v;
}

std::string_view ModelName(int radioModel) {
    return radioModel == 1 ? "RM7UX" : "RM7VX";
}

EncodedSetting Refuse(SettingRefusal why, std::string problem) {
    EncodedSetting e;
    e.Refusal = why;
    e.Problem = std::move(problem);
    return e;
}

EncodedSetting EncodeFrequency(const RadioSetting& s, const std::string& text,
                               const SettingsContext& ctx) {
    std::optional<double> mhz = ParseDecimal(text);
    const auto model = static_cast<size_t>(ctx.RadioModel);
    if (!mhz)
        return Refuse(SettingRefusal::Invalid, "'" + text + "' is not a frequency in MHz");
    if (*mhz < ModelMinFrequency[model] || *mhz > ModelMaxFrequency[model]) {
        return Refuse(SettingRefusal::Invalid, FormatMHz(*mhz) + " MHz is outside the " +
                                                   std::string(ModelName(ctx.RadioModel)) +
                                                   "'s range " +
                                                   FormatMHz(ModelMinFrequency[model]) + " to " +
                                                   FormatMHz(ModelMaxFrequency[model]) + " MHz");
    }
    double f = *mhz;
    if (!IsValidFrequency(ctx.RadioModel, ctx.StepCode, f))
        f = NearestValidFrequency(ctx.RadioModel, ctx.StepCode, f);
    if (ctx.HaveLimits && (f < ctx.Low - 1e-9 || f > ctx.High + 1e-9)) {
        return Refuse(SettingRefusal::OutOfLimits, FormatMHz(f) + " MHz is outside the radio's " +
                                                       (s.Code == "PT" ? "TX" : "RX") +
                                                       " band limits " + FormatMHz(ctx.Low) +
                                                       " to " + FormatMHz(ctx.High) + " MHz");
    }
    EncodedSetting e;
    e.Raw = FrequencyToChannel(ctx.RadioModel, ctx.StepCode, f);
    e.Shown = FormatMHz(f);
    return e;
}

}  // namespace

std::span<const RadioSetting> RadioSettingTable() {
    return kSettings;
}

const RadioSetting* FindRadioSetting(std::string_view name) {
    for (const auto& s : kSettings) {
        if (SameText(s.Name, name))
            return &s;
    }
    return nullptr;
}

SettingsContext ContextOfRecord(const TRM7UXFlashRecord& record) {
    SettingsContext ctx;
    ctx.VersionText = record.FirmwareVersion;
    ctx.RadioModel = ModelVariantCode(record.FirmwareVersion) == 2 ? 0 : 1;
    ctx.StepCode = record.ChannelSpacing == 0 ? "00" : "01";
    return ctx;
}

std::string FormatMHz(double mhz) {
    char text[64];
    auto [p, ec] = std::to_chars(text, text + sizeof text, mhz, std::chars_format::fixed, 5);
    return ec == std::errc() ? std::string(text, p) : std::string("nan");
}

std::optional<double> ParseDecimal(std::string_view text) {
    text = TrimView(text);
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    double v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v, std::chars_format::fixed);
    if (text.empty() || ec != std::errc() || p != end || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<std::string> DecodeSetting(const RadioSetting& s, std::string_view raw,
                                         const SettingsContext& ctx) {
    if (s.Kind == K::Text)
        return std::string(raw);
    if (s.Kind == K::Model) {
        const uint8_t variant = ModelVariantCode(raw);
        if (variant > 2)
            return std::nullopt;
        return std::string(ModelName(variant == 2 ? 0 : 1));
    }
    const std::optional<int64_t> n = RawNumber(raw, s.Digits);
    if (!n)
        return std::nullopt;
    switch (s.Kind) {
        case K::Frequency:
        case K::Limit:
            return FormatMHz(ChannelToFrequency(ctx.RadioModel, raw, ctx.StepCode));
        case K::Step:
            return *n == 0 ? "6.25" : "5";
        case K::Power: {
            const uint8_t variant = ModelVariantCode(ctx.VersionText);
            if (*n > 3)
                return std::nullopt;
            if (variant > 2)
                return std::to_string(*n);
            return Trim(PowerCaptionTable[variant][static_cast<size_t>(*n)]);
        }
        case K::Celsius:
            return std::to_string(*n - 40);
        case K::Serial:
            return FormatSerialNumber(*n);
        case K::Bandwidth:
            if (*n > 1)
                return std::nullopt;
            return *n == 0 ? "25" : "12.5";
        case K::Revision: {
            std::string r = HardwareRevisionText(ctx.RadioModel, raw);
            if (r.empty())
                return std::nullopt;
            return r;
        }
        case K::Alarms:
            return RadioAlarmsText(raw);
        default:
            return std::to_string(*n);
    }
}

std::string PrecheckSetting(const RadioSetting& s, std::string_view given) {
    const std::string text = WithoutUnit(given, s.Unit);
    switch (s.Kind) {
        case K::Frequency: {
            std::optional<double> mhz = ParseDecimal(text);
            if (!mhz)
                return "'" + text + "' is not a frequency in MHz";
            if (*mhz < ModelMinFrequency[0] || *mhz > ModelMaxFrequency[1]) {
                return FormatMHz(*mhz) + " MHz is outside every model's range (RM7VX " +
                       FormatMHz(ModelMinFrequency[0]) + " to " + FormatMHz(ModelMaxFrequency[0]) +
                       ", RM7UX " + FormatMHz(ModelMinFrequency[1]) + " to " +
                       FormatMHz(ModelMaxFrequency[1]) + " MHz)";
            }
            return "";
        }
        case K::Power:
            for (const auto& captions : PowerCaptionTable) {
                for (std::string_view c : captions) {
                    if (SameText(Trim(c), text))
                        return "";
                }
            }
            break;
        case K::Plan:
            return text.empty() ? "a plan code is needed" : "";
        default:
            break;
    }
    SettingsContext any;  // the model does not matter for the other kinds
    EncodedSetting e = EncodeSetting(s, text, any, -40);
    return e.Refusal == SettingRefusal::Invalid ? e.Problem : "";
}

EncodedSetting EncodeSetting(const RadioSetting& s, std::string_view given,
                             const SettingsContext& ctx, int32_t minCutout) {
    const std::string text = WithoutUnit(given, s.Unit);
    const std::string name(s.Name);
    if (!s.Writable)
        return Refuse(SettingRefusal::Invalid, name + " is read only");
    EncodedSetting e;
    switch (s.Kind) {
        case K::Frequency:
            return EncodeFrequency(s, text, ctx);
        case K::Step:
            if (ParseDecimal(text) == 6.25) {
                e.Raw = "00";
                e.Shown = "6.25";
            } else if (ParseDecimal(text) == 5.0) {
                if (ctx.RadioModel != 1)
                    return Refuse(SettingRefusal::Invalid, "the RM7VX has only the 6.25 kHz step");
                e.Raw = "01";
                e.Shown = "5";
            } else {
                return Refuse(SettingRefusal::Invalid,
                              "step is 6.25 or 5 (kHz), not '" + text + "'");
            }
            return e;
        case K::Power: {
            std::optional<int32_t> level = ParseInteger(text);
            const uint8_t variant = ModelVariantCode(ctx.VersionText);
            if (!level && variant <= 2) {
                for (size_t i = 0; i < 4; ++i) {
                    if (SameText(Trim(PowerCaptionTable[variant][i]), text))
                        level = static_cast<int32_t>(i);
                }
            }
            if (!level || *level < 0 || *level > 3) {
                std::string captions = variant <= 2 ? PowerLevelCaptions(variant) : "";
                for (char& c : captions) {
                    if (c == '\r')
                        c = ' ';
                }
                std::erase(captions, '\n');
                return Refuse(SettingRefusal::Invalid,
                              "power is a level 0..3" +
                                  (captions.empty() ? std::string() : " or one of" + captions) +
                                  ", not '" + text + "'");
            }
            e.Raw = IntToHex(*level, 2);
            e.Shown = variant <= 2 ? Trim(PowerCaptionTable[variant][static_cast<size_t>(*level)])
                                   : std::to_string(*level);
            return e;
        }
        case K::Number:
        case K::Celsius: {
            std::optional<int32_t> v = ParseInteger(text);
            if (!v || *v < s.Min || *v > s.Max) {
                return Refuse(SettingRefusal::Invalid,
                              name + " is a whole number from " + std::to_string(s.Min) + " to " +
                                  std::to_string(s.Max) + ", not '" + text + "'");
            }
            e.Raw = IntToHex(s.Kind == K::Celsius ? *v + 40 : *v, 2);
            e.Shown = std::to_string(*v);
            if (s.Kind == K::Celsius && *v < minCutout) {
                e.Refusal = SettingRefusal::NeedsConfirm;
                e.Problem = "The selected temperature is below the recommended temperature of " +
                            std::to_string(minCutout) + " Degrees C";
            }
            return e;
        }
        case K::Plan:
            e.Shown = text;
            return e;
        default:
            return Refuse(SettingRefusal::Invalid, name + " is read only");
    }
}

const TGroupFreqBand* FindPlanRow(int radioModel, int32_t bandCode, std::string_view code) {
    for (const TGroupFreqBand& row : GroupFreqBands[static_cast<size_t>(radioModel & 1)]) {
        if (row.BandCode != bandCode)
            continue;
        if (row.Abbreviation.empty() ? (SameText(code, "entire") || SameText(code, row.Name))
                                     : SameText(code, row.Abbreviation))
            return &row;
    }
    return nullptr;
}

std::optional<int64_t> RecordValueOf(const RadioSetting& s, std::string_view given,
                                     const SettingsContext& ctx, std::string& problem) {
    const std::string text = WithoutUnit(given, s.Unit);
    switch (s.Kind) {
        case K::Frequency:
        case K::Limit: {
            std::optional<double> mhz = ParseDecimal(text);
            const auto model = static_cast<size_t>(ctx.RadioModel);
            if (!mhz || *mhz < ModelMinFrequency[model] || *mhz > ModelMaxFrequency[model] ||
                !IsValidFrequency(ctx.RadioModel, ctx.StepCode, *mhz)) {
                problem = "'" + text + "' is not a frequency on the " +
                          (ctx.StepCode == "00" ? "6.25" : "5") + " kHz grid of the " +
                          std::string(ModelName(ctx.RadioModel));
                return std::nullopt;
            }
            return HexToInt(FrequencyToChannel(ctx.RadioModel, ctx.StepCode, *mhz));
        }
        case K::Serial: {
            std::optional<int64_t> n = TryStrToInt64(text);
            if (!n || *n < 0 || *n > 0xFFFFFFFFLL) {
                problem = "'" + text + "' is not a serial number";
                return std::nullopt;
            }
            return n;
        }
        case K::Bandwidth: {
            std::optional<double> khz = ParseDecimal(text);
            if (khz == 25.0)
                return 0;
            if (khz == 12.5)
                return 1;
            problem = "bandwidth is 25 or 12.5 (kHz), not '" + text + "'";
            return std::nullopt;
        }
        case K::Number:
        case K::Celsius: {
            std::optional<int32_t> v = ParseInteger(text);
            if (!v || *v < s.Min || *v > s.Max) {
                problem = "a whole number from " + std::to_string(s.Min) + " to " +
                          std::to_string(s.Max) + " is needed, not '" + text + "'";
                return std::nullopt;
            }
            return s.Kind == K::Celsius ? *v + 40 : *v;
        }
        case K::Step:
        case K::Power: {
            RadioSetting writable = s;
            writable.Writable = true;
            EncodedSetting e = EncodeSetting(writable, text, ctx, -40);
            if (e.Refusal == SettingRefusal::Invalid) {
                problem = e.Problem;
                return std::nullopt;
            }
            return HexToInt(e.Raw);
        }
        default:
            problem = "not a field of the record";
            return std::nullopt;
    }
}

const RadioSetting* SettingOfCode(std::string_view code) {
    if (code.empty() || code == "RV")
        return nullptr;
    for (const RadioSetting& s : kSettings) {
        if (s.Code == code)
            return &s;
    }
    return nullptr;
}

bool SameMeaning(std::string_view code, const std::string& rawA, const SettingsContext& a,
                 const std::string& rawB, const SettingsContext& b) {
    const RadioSetting* s = SettingOfCode(code);
    if (s != nullptr && s->Kind != K::Step) {
        const std::optional<std::string> meantA = DecodeSetting(*s, rawA, a);
        const std::optional<std::string> meantB = DecodeSetting(*s, rawB, b);
        if (meantA && meantB)
            return *meantA == *meantB;
    }
    return rawA == rawB;
}
