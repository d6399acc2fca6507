#pragma once
// INI profile files: [sections] of key=value lines, names matched without regard to case,
// blanks around a value removed, the first of duplicate sections or keys winning on read.
// Lines are written with CR LF; CR LF, LF and a lone CR each end a line when read. Every write
// goes to a temporary file that replaces the old one by a rename, so a crash never leaves half a
// file.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Exception.h"

class EIniFileException : public Exception {
  public:
    using Exception::Exception;
};

// The text of one INI file, kept line by line so that a write changes only the line it must.
class TIniText {
  public:
    TIniText() = default;
    explicit TIniText(std::string_view content);

    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    bool HasSection(std::string_view section) const;
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;

    // Replaces the key's first line, or appends it to the end of the section (made when absent).
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // False when there was no such key.
    bool Remove(std::string_view section, std::string_view key);

    std::string Text() const;  // every line followed by CR LF

  private:
    std::vector<std::string> lines_;
};

class TIniFile {
  public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // Reads never fail: an absent or unreadable file has no keys.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // The standard integer conversion of the value; the default when absent or not a number.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> ReadSections() const;
    std::vector<std::string> ReadSection(std::string_view section) const;  // key names

    // Writes raise EIniFileException "Unable to write to <path>"; the old file is then intact.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void DeleteKey(std::string_view section, std::string_view key);

    // The file as it is now, for any number of lookups: an absent or unreadable file is empty.
    TIniText Load() const;
    // The file for a rewrite: an absent file is empty; one that exists but cannot be read raises
    // EIniFileException "Unable to write to <path>", as replacing it would lose its content.
    TIniText LoadForUpdate() const;
    // Replaces the file with the text in one step; raises EIniFileException as the writes do.
    void Store(const TIniText& text) const;

  private:
    std::string fileName_;
};

// The whole of a regular file; nothing when it is absent or cannot be read (a folder, a device
// or a pipe must never block the caller). Reading stops after maxSize + 1 bytes: a longer result
// only tells that the file is larger than the caller takes, without holding all of it.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         size_t maxSize = std::numeric_limits<size_t>::max() - 1);

// Replaces the file's content through a temporary file and a rename; false on any failure,
// with the old file untouched and no temporary file left behind.
bool WriteFileAtomically(const std::string& path, std::string_view content);
