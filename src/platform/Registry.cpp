#include "platform/Registry.h"

#include <filesystem>
#include <vector>

#include "common/StrUtils.h"
#include "platform/IniFile.h"
#include "platform/UserFolders.h"

namespace {

const std::vector<std::string> kProgramKey = {"Software", "KorvaTech", "CFG_RM7UX_Radio"};

// The non-empty parts of a key path; "\a\\b\" is a, b.
std::vector<std::string> KeyParts(std::string_view path) {
    std::vector<std::string> parts;
    for (auto& part : SplitString(path, '\\')) {
        if (!part.empty())
            parts.push_back(part);
    }
    return parts;
}

// The section that holds a key, or nothing for a key outside the program's own.
std::optional<std::string> SectionOf(const std::vector<std::string>& parts) {
    if (parts.size() < kProgramKey.size())
        return std::nullopt;
    for (size_t i = 0; i < kProgramKey.size(); ++i) {
        if (!SameText(parts[i], kProgramKey[i]))
            return std::nullopt;
    }
    if (parts.size() == kProgramKey.size())
        return std::string("General");
    std::string section;
    for (size_t i = kProgramKey.size(); i < parts.size(); ++i) {
        if (!section.empty())
            section += '/';
        section += parts[i];
    }
    return section;
}

}  // namespace

TRegistry::TRegistry() : TRegistry(UserStoreFileName()) {}

TRegistry::TRegistry(std::string storeFileName) : storeFileName_(std::move(storeFileName)) {}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
    std::string path(key);
    if (!StartsWith(key, "\\") && !currentPath_.empty())
        path = currentPath_ + "\\" + path;
    auto parts = KeyParts(path);
    auto section = SectionOf(parts);
    if (!section)
        return false;
    if (!canCreate && !TIniFile(storeFileName_).SectionExists(*section))
        return false;
    CloseKey();
    currentPath_.clear();
    for (const auto& part : parts)
        currentPath_ += "\\" + part;
    section_ = *section;
    writable_ = true;
    return true;
}

bool TRegistry::OpenKeyReadOnly(std::string_view key) {
    if (!OpenKey(key, false))
        return false;
    writable_ = false;
    return true;
}

void TRegistry::CloseKey() {
    currentPath_.clear();
    section_.clear();
    writable_ = false;
}

std::optional<std::string> TRegistry::ValueText(std::string_view name) const {
    if (currentPath_.empty())
        return std::nullopt;
    // The default can never be a stored value: a stored value has no blanks around it.
    static const std::string kAbsent = " ";
    std::string text = TIniFile(storeFileName_).ReadString(section_, name, kAbsent);
    if (text == kAbsent)
        return std::nullopt;
    return text;
}

bool TRegistry::ValueExists(std::string_view name) const {
    return ValueText(name).has_value();
}

int32_t TRegistry::ReadInteger(std::string_view name) const {
    auto text = ValueText(name);
    std::optional<int32_t> value;
    if (text)
        value = TryStrToInt(*text);
    if (!value)
        throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
    return *value;
}

std::string TRegistry::ReadString(std::string_view name) const {
    auto text = ValueText(name);
    if (!text)
        throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
    return *text;
}

void TRegistry::WriteInteger(std::string_view name, int32_t value) {
    WriteString(name, std::to_string(value));
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
    std::string failed = "Failed to set data for '" + std::string(name) + "'";
    if (currentPath_.empty() || !writable_)
        throw ERegistryException(failed);
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(storeFileName_).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    try {
        TIniFile(storeFileName_).WriteString(section_, name, value);
    } catch (const EIniFileException&) {
        throw ERegistryException(failed);
    }
}
