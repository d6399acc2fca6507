#pragma once
// Base of the INI files whose values are checked against ranges: every absent or out-of-range
// key adds one report line, so a caller reads a whole file and then decides whether it was good.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "platform/IniFile.h"

class TINIObj {
  public:
    // Passed as the default of every read: getting it back means the key is absent.
    static constexpr std::string_view AbsentMarker = "!@#$@#$!@$@#^%$@&%^&*&^*^&";

    TINIObj();
    virtual ~TINIObj();
    TINIObj(const TINIObj&) = delete;
    TINIObj& operator=(const TINIObj&) = delete;

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName) { fileName_ = fileName; }

    bool FileExists() const;
    // Shows "Error opening <name>" and returns false when the file cannot be used. An absent file
    // is fine: the first write creates it. The file is read here, once: every read that follows
    // sees this one content, even when the file is rewritten meanwhile.
    bool OpenFile();
    void CloseFile();
    bool IsOpen() const { return IniFile != nullptr; }
    // The open file is larger than SizeLimit: it was not read and has no keys.
    bool TooLarge() const { return tooLarge_; }

    // The value before any ";" comment, blanks removed; false when absent (or not open).
    bool ReadValue(std::string_view section, std::string_view key, std::string& value) const;

    bool ReadRangedInteger(int32_t& errorCount, std::string& errorText, std::string_view section,
                           std::string_view key, int32_t& value, int32_t minimum, int32_t maximum,
                           int32_t defaultValue, std::string_view delimiter) const;
    bool ReadRangedInt64(int32_t& errorCount, std::string& errorText, std::string_view section,
                         std::string_view key, int64_t& value, int64_t minimum, int64_t maximum,
                         int64_t defaultValue, std::string_view delimiter) const;

    // Raise EIniFileException when the file cannot be written (or is not open). What is written
    // is read back as written.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void DeleteKey(std::string_view section, std::string_view key);

    // Appended to the report line of an absent key.
    std::string MissingText;

  protected:
    std::unique_ptr<TIniFile> IniFile;
    size_t SizeLimit = std::numeric_limits<size_t>::max() - 1;

  private:
    std::string fileName_;
    TIniText text_;
    bool tooLarge_ = false;
};
