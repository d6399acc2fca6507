#include "config/INIObj.h"

#include <sys/stat.h>
#include <unistd.h>

#include "common/StrUtils.h"
#include "common/UserDialogs.h"

static_assert(TINIObj::AbsentMarker.size() == 26);

namespace {

// Both widths share one reading; only the conversion differs.
template <typename Int, typename Convert>
bool ReadRanged(const TINIObj& ini, Convert convert, int32_t& errorCount, std::string& errorText,
                std::string_view section, std::string_view key, Int& value, Int minimum,
                Int maximum, Int defaultValue, std::string_view delimiter) {
    std::string range =
        "Valid range: " + std::to_string(minimum) + " to " + std::to_string(maximum) + "\r\n";
    std::string head = "[" + std::string(section) + "]: '" + std::string(key) + "'";
    std::string text;
    if (!ini.ReadValue(section, key, text)) {
        value = defaultValue;
        ++errorCount;
        errorText += head + ini.MissingText + ", " + range;
        return false;
    }
    if (!delimiter.empty()) {
        size_t cut = text.find(delimiter);
        if (cut != std::string::npos)
            text.resize(cut);
        text = Trim(text);
    }
    bool valid = false;
    if (auto number = convert(text)) {
        if (*number < minimum) {
            value = minimum;
        } else if (*number > maximum) {
            value = maximum;
        } else {
            value = *number;
            valid = true;
        }
    } else {
        value = defaultValue;
    }
    if (!valid) {
        ++errorCount;
        errorText += head + " =" + text + " not valid  " + range;
    }
    return valid;
}

}  // namespace

TINIObj::TINIObj() : MissingText(" not in INI") {}

TINIObj::~TINIObj() {
    CloseFile();
}

bool TINIObj::FileExists() const {
    struct stat st {};
    return !fileName_.empty() && stat(fileName_.c_str(), &st) == 0;
}

bool TINIObj::OpenFile() {
    CloseFile();
    // A name that is not a readable file (none at all, a folder, a file without read access)
    // would read as a file without keys; an absent file is fine, the first write creates it.
    struct stat st {};
    bool usable =
        !fileName_.empty() && (stat(fileName_.c_str(), &st) != 0 ||
                               (S_ISREG(st.st_mode) && access(fileName_.c_str(), R_OK) == 0));
    if (!usable) {
        ShowErrorBox("Error opening " + fileName_);
        return false;
    }
    IniFile = std::make_unique<TIniFile>(fileName_);
    // One read for all the keys: reading per key would cost a read of the whole file each and
    // could mix an old and a new version of a file that is being replaced.
    std::optional<std::string> content = ReadWholeFile(fileName_, SizeLimit);
    tooLarge_ = content && content->size() > SizeLimit;
    if (content && !tooLarge_)
        text_ = TIniText(*content);
    return true;
}

void TINIObj::CloseFile() {
    IniFile.reset();
    text_ = TIniText();
    tooLarge_ = false;
}

bool TINIObj::ReadValue(std::string_view section, std::string_view key, std::string& value) const {
    if (!IniFile)
        return false;
    std::optional<std::string> text = text_.Find(section, key);
    if (!text || *text == AbsentMarker)
        return false;
    value = Trim(text->substr(0, text->find(';')));
    return true;
}

bool TINIObj::ReadRangedInteger(int32_t& errorCount, std::string& errorText,
                                std::string_view section, std::string_view key, int32_t& value,
                                int32_t minimum, int32_t maximum, int32_t defaultValue,
                                std::string_view delimiter) const {
    return ReadRanged<int32_t>(
        *this, [](std::string_view s) { return TryStrToInt(s); }, errorCount, errorText, section,
        key, value, minimum, maximum, defaultValue, delimiter);
}

bool TINIObj::ReadRangedInt64(int32_t& errorCount, std::string& errorText, std::string_view section,
                              std::string_view key, int64_t& value, int64_t minimum,
                              int64_t maximum, int64_t defaultValue,
                              std::string_view delimiter) const {
    return ReadRanged<int64_t>(
        *this, [](std::string_view s) { return TryStrToInt64(s); }, errorCount, errorText, section,
        key, value, minimum, maximum, defaultValue, delimiter);
}

void TINIObj::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!IniFile)
        throw EIniFileException("Unable to write to " + fileName_);
    IniFile->WriteString(section, key, value);
    text_.Set(section, key, value);
}

void TINIObj::DeleteKey(std::string_view section, std::string_view key) {
    if (!IniFile)
        throw EIniFileException("Unable to write to " + fileName_);
    IniFile->DeleteKey(section, key);
    text_.Remove(section, key);
}
