#include "operations/RadioPicture.h"

#include "common/StrUtils.h"
#include "link/Utilities.h"

void RadioPicture::Identify(int model, const std::string& versionText, int64_t serial) {
    if (!Identified || serial != Serial || versionText != VersionText || model != Model) {
        fields_.clear();
        ReadInFull = false;
        ++Generation;
    }
    Identified = true;
    Model = model;
    VersionText = versionText;
    Serial = serial;
    if (serial != UnsavedSerial) {
        Unsaved = false;
        UnsavedSerial = serial;
    }
}

void RadioPicture::Forget() {
    if (Identified || !fields_.empty())
        ++Generation;
    Identified = false;
    ReadInFull = false;
    VersionText.clear();
    Serial = -1;
    fields_.clear();
}

void RadioPicture::Set(const std::string& code, const std::string& raw) {
    fields_[code] = raw;
}

void RadioPicture::Erase(const std::string& code) {
    fields_.erase(code);
}

void RadioPicture::Take(const OperationResult& result) {
    for (const auto& [code, raw] : result.Values) {
        if (raw)
            fields_[code] = *raw;
        else
            fields_.erase(code);
    }
    if (result.Unsaved == UnsavedChanges::Changed) {
        Unsaved = true;
        UnsavedSerial = Serial;
    } else if (result.Unsaved == UnsavedChanges::Saved) {
        Unsaved = false;
    }
}

std::optional<std::string> RadioPicture::Field(std::string_view code) const {
    const auto it = fields_.find(code);
    if (it == fields_.end())
        return std::nullopt;
    return it->second;
}

std::optional<int64_t> RadioPicture::Number(std::string_view code) const {
    const std::optional<std::string> raw = Field(code);
    if (!raw)
        return std::nullopt;
    return TryHexToInt64(*raw);
}

std::string RadioPicture::Step() const {
    return Field("PC").value_or("");
}

std::optional<double> RadioPicture::MHz(std::string_view code) const {
    const std::optional<std::string> raw = Field(code);
    const std::string step = Step();
    if (!raw || step.empty() || !TryHexToInt64(*raw))
        return std::nullopt;
    return ChannelToFrequency(Model, *raw, step);
}

SettingsContext RadioPicture::Context() const {
    SettingsContext ctx;
    ctx.RadioModel = Model;
    ctx.VersionText = VersionText;
    ctx.StepCode = Step().empty() ? "00" : Step();
    return ctx;
}

RadioIdentity RadioPicture::Identity() const {
    RadioIdentity radio;
    radio.Model = Model;
    radio.VersionText = VersionText;
    radio.Serial = Serial;
    return radio;
}
