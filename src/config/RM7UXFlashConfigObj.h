#pragma once
// The radio's whole flash configuration: read from a connected radio, written back to it and
// saved to its flash, and kept in a configuration file (*.RM7UX, *.RM7VX) for later programming
// into the same radio.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "config/FieldTable.h"
#include "config/FlashRecord.h"
#include "config/INIObj.h"

// How the configuration file keeps each field: the one field table (config/FieldTable.h).
using FlashFieldInfo = RadioFieldInfo;
// Every numeric flash field, in the order of the configuration file (Time and RV apart).
std::span<const FlashFieldInfo> FlashFieldTable();

// The configuration file: one [Configuration] section, one key per flash field, each value with
// its comment in a fixed column.
class TINIRM7UX : public TINIObj {
  public:
    // Larger files are refused unread: a real one is about 1.3 kB.
    static constexpr uintmax_t MaxFileSize = 1024 * 1024;

    TINIRM7UX();

    // True only when every required key is present and in range. The record is reset first and
    // holds what could be read; ErrorText has one line per problem.
    bool Load();
    // Writes Record into the file in one replacement: either every key is written or the file is
    // left as it was. Raises EIniFileException "Unable to write to <path>" when it cannot write.
    bool Save();

    const std::string& ErrorText() const { return errorText_; }
    int32_t ErrorCount() const { return errorCount_; }

    // "$" and at least `digits` upper-case hex digits, blanks up to `width`, ";" and the comment.
    static std::string FormatValueLine(int64_t value, int digits, std::string_view comment,
                                       size_t width);
    // The text, blanks up to `width`, ";" and the comment.
    static std::string FormatTextLine(std::string_view text, size_t width,
                                      std::string_view comment);

    TRM7UXFlashRecord Record;
    std::string Section = "Configuration";
    std::string Delimiter = ";";

  private:
    std::string TimeText() const;

    std::string errorText_;
    int32_t errorCount_ = 0;
};

class TRM7UXFlashRecordClass {
  public:
    TRM7UXFlashRecordClass();
    ~TRM7UXFlashRecordClass();
    TRM7UXFlashRecordClass(const TRM7UXFlashRecordClass&) = delete;
    TRM7UXFlashRecordClass& operator=(const TRM7UXFlashRecordClass&) = delete;

    TRM7UXFlashRecord& Record() { return record_; }
    const TRM7UXFlashRecord& Record() const { return record_; }
    void Reset();

    // One exchange with the radio (the port is opened and closed here). The record is replaced
    // only when every field was read. A power calibration reply that is not hexadecimal raises
    // EConvertError, after the port has been closed.
    bool ReadFromRadio();

    // The field's value slice read as hexadecimal; false when the exchange fails or the slice is
    // not a number (the value is then unchanged). The link must be open and the radio answering.
    static bool ReadHexField(const std::string& Code, int Width, int32_t& Value);
    static bool ReadHexField64(const std::string& Code, int Width, int64_t& Value);
    static bool QueryHexField(const std::string& Code, int Width, int32_t& Value);

    const std::string& FileName() const { return file_->FileName(); }
    void SetFileName(const std::string& fileName) { file_->SetFileName(fileName); }
    bool FileExists() const { return file_->FileExists(); }
    // The record is replaced only by a file that loads without a problem; ConfigFile() keeps the
    // report lines of the last load.
    bool LoadFromFile();
    bool SaveToFile();
    // SaveToFile, keeping its merge into an existing file, but only when the result loads back
    // as this radio's configuration file: a foreign file replaced would otherwise become a
    // backup that programming refuses. Otherwise the old file is left as it was and `problem`
    // says why (with the load's report lines). Raises as SaveToFile does.
    bool SaveToFileLoadable(std::string& problem);
    const TINIRM7UX& ConfigFile() const { return *file_; }

  private:
    std::unique_ptr<TINIRM7UX> file_;
    TRM7UXFlashRecord record_;
};

// Whether every field that a program would send fits its width (SC, PN and PV may also be
// negative: they are then left out): a value wider than its field would have the radio take its
// first digits and read the rest as commands. The first field that does not, or nullptr.
const RadioFieldInfo* FieldThatDoesNotFit(const TRM7UXFlashRecord& record);
bool FitsTheRadio(const TRM7UXFlashRecord& record);

// Whether a radio of this model and firmware takes "PV". A version text that holds no version
// counts as no PV: its message is shown in an error box, or handed to `unreadable` when given.
bool RadioTakesPV(bool IsRM7UX, const std::string& Version, std::string* unreadable = nullptr);
