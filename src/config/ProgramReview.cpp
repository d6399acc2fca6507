#include "config/ProgramReview.h"

#include "common/StrUtils.h"
#include "config/RadioSettings.h"

namespace {

const RadioSetting* SettingOf(std::string_view code) {
    for (const RadioSetting& s : RadioSettingTable()) {
        if (s.Code == code)
            return &s;
    }
    return nullptr;
}

std::string Shown(const RadioSetting* s, const std::string& raw, const SettingsContext& ctx) {
    if (raw.empty())
        return "(none)";
    if (s == nullptr)
        return raw;
    return DecodeSetting(*s, raw, ctx).value_or("$" + raw);
}

}  // namespace

ProgramReview ReviewProgram(const TRM7UXFlashRecord& file, const TRM7UXFlashRecord& radio) {
    ProgramReview review;
    SettingsContext fileContext = ContextOfRecord(file);
    const SettingsContext radioContext = ContextOfRecord(radio);
    // A file's captions are the radio's that it was read from; where the file names no firmware
    // (a JSON record may not), the connected radio's are the ones that apply.
    if (file.FirmwareVersion.empty()) {
        fileContext.VersionText = radioContext.VersionText;
        fileContext.RadioModel = radioContext.RadioModel;
    }
    for (const FlashFieldInfo& f : FlashFieldTable()) {
        if (f.Kind == FlashFieldKind::Status)
            continue;
        const int64_t want = f.Value(file);
        const int64_t have = f.Value(radio);
        if (want < 0 || (f.Kind == FlashFieldKind::Optional && have < 0))
            continue;
        if (want == have) {
            ++review.Unchanged;
            continue;
        }
        const RadioSetting* s = SettingOf(f.Code);
        ReviewRow row;
        row.Name = s != nullptr ? std::string(s->Name) : std::string(f.Code);
        row.Code = std::string(f.Code);
        row.Unit = s != nullptr ? std::string(s->Unit) : "";
        row.FileRaw = IntToHex(want, f.Digits);
        row.RadioRaw = have < 0 ? "" : IntToHex(have, f.Digits);
        row.FileValue = Shown(s, row.FileRaw, fileContext);
        row.RadioValue = Shown(s, row.RadioRaw, radioContext);
        review.Changes.push_back(std::move(row));
    }
    return review;
}
