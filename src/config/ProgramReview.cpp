#include "config/ProgramReview.h"

#include "common/StrUtils.h"
#include "config/RadioSettings.h"

namespace {

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
        const std::string wantRaw = IntToHex(want, f.Digits);
        const std::string haveRaw = have < 0 ? "" : IntToHex(have, f.Digits);
        // By meaning: a frequency that moves with the step is no change, and one whose digits
        // stay while the step changes is.
        if (have >= 0 && SameMeaning(f.Code, wantRaw, fileContext, haveRaw, radioContext)) {
            ++review.Unchanged;
            continue;
        }
        const RadioSetting* s = SettingOfCode(f.Code);
        ReviewRow row;
        row.Name = s != nullptr ? std::string(s->Name) : std::string(f.Code);
        row.Code = std::string(f.Code);
        row.Unit = s != nullptr ? std::string(s->Unit) : "";
        row.FileRaw = wantRaw;
        row.RadioRaw = haveRaw;
        row.FileValue = Shown(s, row.FileRaw, fileContext);
        row.RadioValue = Shown(s, row.RadioRaw, radioContext);
        review.Changes.push_back(std::move(row));
    }
    return review;
}
