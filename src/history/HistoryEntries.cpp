#include "history/HistoryEntries.h"

#include <utility>

#include "config/SerialGuard.h"

namespace {

// A value in its unit; the raw digits where they are not a value of the field (or are unknown).
std::string InUnit(const RadioSetting* s, const std::string& raw, const SettingsContext& ctx) {
    if (s == nullptr || raw.empty())
        return raw;
    return DecodeSetting(*s, raw, ctx).value_or(raw);
}

}  // namespace

HistoryOrigin OriginOf(int64_t serial, const std::string& versionText, int radioModel,
                       std::string source, std::string action) {
    HistoryOrigin o;
    o.Serial = serial >= 0 ? FormatSerialNumber(serial) : "";
    o.Model = radioModel == 1 ? "RM7UX" : "RM7VX";
    o.Source = std::move(source);
    o.Action = std::move(action);
    o.Context.RadioModel = radioModel;
    o.Context.VersionText = versionText;
    return o;
}

HistoryEntry FieldChangeEntry(const HistoryOrigin& origin, std::string_view code,
                              const std::string& oldRaw, const std::string& newRaw) {
    return FieldChangeEntry(origin, code, oldRaw, newRaw, origin.Context);
}

HistoryEntry FieldChangeEntry(const HistoryOrigin& origin, std::string_view code,
                              const std::string& oldRaw, const std::string& newRaw,
                              const SettingsContext& oldContext) {
    const RadioSetting* s = SettingOfCode(code);
    HistoryEntry e;
    e.Serial = origin.Serial;
    e.Model = origin.Model;
    e.Field = s != nullptr ? std::string(s->Name) : std::string(code);
    e.Code = std::string(code);
    e.Unit = s != nullptr ? std::string(s->Unit) : "";
    e.OldRaw = oldRaw;
    e.NewRaw = newRaw;
    e.OldValue = InUnit(s, oldRaw, oldContext);
    e.NewValue = InUnit(s, newRaw, origin.Context);
    e.Source = origin.Source;
    e.Action = origin.Action;
    return e;
}

HistoryEntry FlashSaveEntry(const HistoryOrigin& origin) {
    HistoryEntry e;
    e.Serial = origin.Serial;
    e.Model = origin.Model;
    e.Field = "flash";
    e.Source = origin.Source;
    e.Action = origin.Action;
    return e;
}

ChangeRecorder::ChangeRecorder(ChangeHistory* history, HistoryOrigin origin)
    : history_(history), origin_(std::move(origin)) {}

void ChangeRecorder::Put(const HistoryEntry& e) {
    if (history_ == nullptr || history_->Record(e))
        return;
    if (std::string w = history_->TakeWarning(); !w.empty() && warning_.empty())
        warning_ = std::move(w);
}

void ChangeRecorder::Field(std::string_view code, const std::string& oldRaw,
                           const std::string& newRaw, const SettingsContext& before,
                           const SettingsContext& after) {
    if (SameMeaning(code, oldRaw, before, newRaw, after))
        return;
    HistoryOrigin origin = origin_;
    origin.Context = after;
    Put(FieldChangeEntry(origin, code, oldRaw, newRaw, before));
}

void ChangeRecorder::FlashSaved() {
    Put(FlashSaveEntry(origin_));
}

std::string ChangeRecorder::TakeWarning() {
    return std::exchange(warning_, std::string());
}
