#include "cli/RecordFields.h"

#include <ctime>

#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "common/TimeText.h"

namespace {

// As the configuration file's Time line: local time without a zone.
std::string RecordTimeText(std::chrono::system_clock::time_point t) {
    if (t == std::chrono::system_clock::time_point{})
        return "";
    std::time_t seconds = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

}  // namespace

const FlashFieldInfo* FindFlashField(std::string_view key) {
    for (const FlashFieldInfo& f : FlashFieldTable()) {
        if (f.Code == key)
            return &f;
    }
    return nullptr;
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
        differences.push_back({std::string(f.Code), RecordValueText(want, f.Digits),
                               RecordValueText(have, f.Digits)});
    }
    return differences;
}

std::string DifferenceText(const FieldDifference& d, const TRM7UXFlashRecord& expected,
                           const TRM7UXFlashRecord& actual) {
    std::string text = d.Key + " file=" + d.Expected + " radio=" + d.Actual;
    const RadioSetting* s = SettingOfCode(d.Key);
    const FlashFieldInfo* f = FindFlashField(d.Key);
    if (s == nullptr || f == nullptr)
        return text;
    const auto inUnit = [&](const TRM7UXFlashRecord& r) {
        const int64_t value = f->Value(r);
        if (value < 0)
            return std::string("(none)");
        const std::optional<std::string> v =
            DecodeSetting(*s, IntToHex(value, f->Digits), ContextOfRecord(r));
        return v ? TerminalSafe(*v) + (s->Unit.empty() ? "" : " " + std::string(s->Unit))
                 : std::string("not a value of the field");
    };
    return text + " (" + std::string(s->Name) + ": file " + inUnit(expected) + ", radio " +
           inUnit(actual) + ")";
}

void PrintRecordText(std::ostream& out, const TRM7UXFlashRecord& record) {
    out << "Time=" << RecordTimeText(record.TimeLoad) << "\n";
    for (const FlashFieldInfo& f : FlashFieldTable()) {
        const int64_t value = f.Value(record);
        // As in the file: no PV without one, and no PN line for a record without a number.
        if (value < 0 && (f.Kind == FlashFieldKind::Optional || f.Kind == FlashFieldKind::Serial))
            continue;
        out << f.Code << "=" << RecordValueText(value, f.Digits) << "\n";
    }
    out << "RV=" << TerminalSafe(record.FirmwareVersion) << "\n";
}

void PrintRecordJson(std::ostream& out, const TRM7UXFlashRecord& r) {
    const SettingsContext ctx = ContextOfRecord(r);
    Json settings = Json::object();
    for (const RadioSetting& s : RadioSettingTable()) {
        std::optional<std::string> raw;
        if (s.Code == "RV") {
            raw = r.FirmwareVersion;
        } else {
            const FlashFieldInfo* f = FindFlashField(s.Code);
            if (f == nullptr)
                continue;  // not kept in the record: the plan, the RSSI
            if (const int64_t v = f->Value(r); v >= 0)
                raw = IntToHex(v, f->Digits);
        }
        settings[std::string(s.Name)] = SettingJson(s, raw, ctx);
    }
    Json time = nullptr;
    if (r.TimeLoad != std::chrono::system_clock::time_point{})
        time = LocalTimeText(std::chrono::system_clock::to_time_t(r.TimeLoad));
    PrintJsonDocument(out, "record", std::move(time), std::move(settings));
}

Json SettingJson(const RadioSetting& s, const std::optional<std::string>& raw,
                 const SettingsContext& ctx) {
    Json value = nullptr;
    if (raw) {
        if (std::optional<std::string> v = DecodeSetting(s, *raw, ctx)) {
            switch (s.Kind) {
                case SettingKind::Frequency:
                case SettingKind::Limit:
                case SettingKind::Step:
                case SettingKind::Number:
                case SettingKind::Celsius:
                case SettingKind::Bandwidth:
                    value = JsonNumber(*v);
                    break;
                default:
                    value = JsonString(*v);
            }
        }
    }
    Json entry = Json::object();
    entry["code"] = JsonString(s.Code);
    entry["unit"] = JsonString(s.Unit);
    entry["value"] = std::move(value);
    entry["raw"] = raw ? JsonString(*raw) : Json(nullptr);
    return entry;
}

void PrintJsonDocument(std::ostream& out, std::string_view kind, Json time, Json settings) {
    Json doc = Json::object();
    doc["schema"] = "rm7ux";
    doc["version"] = kJsonSchemaVersion;
    doc["kind"] = JsonString(kind);
    doc["time"] = std::move(time);
    doc["settings"] = std::move(settings);
    out << JsonDump(doc) << "\n";
}

namespace {

// The record's number for one setting's entry: from "value" in its unit or from "raw", and when
// both are given they must agree, so an edited value next to a stale raw cannot pass unseen.
std::optional<int64_t> EntryValue(const RadioSetting& s, const JsonValue& entry, int digits,
                                  const SettingsContext& ctx, std::string& problem) {
    const JsonValue* value = entry.Find("value");
    const JsonValue* raw = entry.Find("raw");
    std::optional<int64_t> fromRaw, fromValue;
    if (raw != nullptr && !raw->IsNull()) {
        std::string digitsText = raw->Text;
        if (!digitsText.empty() && digitsText[0] == '$')
            digitsText.erase(0, 1);
        if (raw->Kind == JsonValue::Type::String && !digitsText.empty() &&
            digitsText.size() <= static_cast<size_t>(digits))
            fromRaw = TryHexToInt64(digitsText);
        if (!fromRaw) {
            problem = "raw '" + raw->Text + "' is not " + std::to_string(digits) + " hex digits";
            return std::nullopt;
        }
    }
    if (value != nullptr && !value->IsNull()) {
        if (value->Kind != JsonValue::Type::String && value->Kind != JsonValue::Type::Number) {
            problem = "value is neither a number nor a text";
            return std::nullopt;
        }
        const std::string text =
            value->Kind == JsonValue::Type::Number ? JsonDecimal(value->Text) : value->Text;
        fromValue = RecordValueOf(s, text, ctx, problem);
        if (!fromValue)
            return std::nullopt;
    }
    if (fromRaw && fromValue && *fromRaw != *fromValue) {
        problem = "value '" + value->Text + "' and raw '" + raw->Text + "' disagree";
        return std::nullopt;
    }
    return fromValue ? fromValue : fromRaw;
}

const JsonValue* Entry(const JsonValue& settings, std::string_view name) {
    const JsonValue* e = settings.Find(name);
    return e != nullptr && e->Kind == JsonValue::Type::Object ? e : nullptr;
}

}  // namespace

bool RecordFromJson(std::string_view text, TRM7UXFlashRecord& record, std::string& problem) {
    std::optional<JsonValue> doc = ParseJson(text, problem);
    if (!doc)
        return false;
    const JsonValue* schema = doc->Find("schema");
    const JsonValue* version = doc->Find("version");
    const JsonValue* settings = doc->Find("settings");
    if (schema == nullptr || schema->Text != "rm7ux" || settings == nullptr ||
        settings->Kind != JsonValue::Type::Object) {
        problem = "not an rm7ux record (\"schema\": \"rm7ux\" and \"settings\" expected)";
        return false;
    }
    if (version == nullptr || version->Text != std::to_string(kJsonSchemaVersion)) {
        problem = "record version " + (version ? version->Text : std::string("(none)")) +
                  " is not " + std::to_string(kJsonSchemaVersion) + ", which this rm7ux reads";
        return false;
    }
    TRM7UXFlashRecord r;
    if (const JsonValue* fw = Entry(*settings, "firmware")) {
        const JsonValue* v = fw->Find("value");
        const JsonValue* raw = fw->Find("raw");
        r.FirmwareVersion = v && !v->IsNull() ? v->Text : (raw && !raw->IsNull() ? raw->Text : "");
    }
    // The step and the model decide what a frequency in MHz is on the wire.
    SettingsContext ctx = ContextOfRecord(r);
    if (const JsonValue* step = Entry(*settings, "step")) {
        std::string why;
        std::optional<int64_t> pc = EntryValue(*FindRadioSetting("step"), *step, 2, ctx, why);
        if (!pc) {
            problem = "step: " + why;
            return false;
        }
        r.ChannelSpacing = static_cast<int32_t>(*pc);
        ctx.StepCode = IntToHex(*pc, 2);
    }
    for (const FlashFieldInfo& f : FlashFieldTable()) {
        if (f.Kind == FlashFieldKind::Status)
            continue;  // what the radio reports is never programmed
        const RadioSetting* s = nullptr;
        for (const RadioSetting& candidate : RadioSettingTable()) {
            if (candidate.Code == f.Code)
                s = &candidate;
        }
        const JsonValue* entry = s ? Entry(*settings, s->Name) : nullptr;
        if (entry == nullptr) {
            if (f.Kind == FlashFieldKind::Required) {
                problem = "missing " + std::string(s ? s->Name : f.Code);
                return false;
            }
            continue;
        }
        std::string why;
        std::optional<int64_t> v = EntryValue(*s, *entry, f.Digits, ctx, why);
        if (!v) {
            if (!why.empty()) {
                problem = std::string(s->Name) + ": " + why;
                return false;
            }
            if (f.Kind == FlashFieldKind::Required) {
                problem = std::string(s->Name) + ": no value";
                return false;
            }
            continue;
        }
        if (f.Kind == FlashFieldKind::Serial)
            r.SerialNumber = *v;
        else
            f.Of(r) = static_cast<int32_t>(*v);
    }
    record = r;
    return true;
}
