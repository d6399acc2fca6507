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

#include "config/INIObj.h"

// Every flash field of the radio; -1 marks a field that holds nothing.
struct TRM7UXFlashRecord {
    int32_t Ctcss = -1;              // SC
    int32_t FreqOffset = -1;         // PF
    int32_t Deviation = -1;          // PD
    int32_t ModBalance = -1;         // PM
    int32_t RxFreq = -1;             // PR, channel number
    int32_t TxFreq = -1;             // PT, channel number
    int32_t RevPowerThreshold = -1;  // PV; -1 when the firmware has no PV
    int64_t SerialNumber = -1;       // PN
    int32_t PttTimeout = -1;         // PP, seconds
    int32_t ChannelSpacing = -1;     // PC: 0 = 6.25 kHz, 1 = 5 kHz
    // P1..P4: receive low, receive high, transmit low, transmit high. Element 0 is P1; Range(n)
    // takes the radio's numbering.
    std::array<int32_t, 4> FreqRange{-1, -1, -1, -1};
    int32_t FreqBandCode = -1;                          // PA
    int32_t ShutdownTemp = -1;                          // PS, degrees C + 40
    int32_t PowerLevel = -1;                            // PW, 0..3
    int32_t BandWidth = -1;                             // PB: 0 = 25 kHz, 1 = 12.5 kHz
    std::array<int32_t, 4> TxPowerCal{-1, -1, -1, -1};  // PL0..PL3
    int32_t RssiOffset = -1;                            // PO
    std::string FirmwareVersion;                        // RV
    int32_t HardwareVersion = -1;                       // RH
    int32_t RadioCheck = -1;                            // RC
    int32_t RadioTemperature = -1;                      // RT, degrees C + 40
    // When the record was read from the radio; the zero time point (the clock's epoch) means
    // never (a reset record, or one loaded from a file).
    std::chrono::system_clock::time_point TimeLoad{};

    int32_t& Range(int n) { return FreqRange.at(static_cast<size_t>(n - 1)); }
    int32_t Range(int n) const { return FreqRange.at(static_cast<size_t>(n - 1)); }

    bool operator==(const TRM7UXFlashRecord&) const = default;
};

// How a field is kept in the configuration file, and whether a program sends it to the radio.
enum class FlashFieldKind {
    Required,  // must be in the file
    Optional,  // PV: only some firmware has it; a record without one leaves it out of the file
    Serial,    // PN: the record's one 64-bit field; a record without one leaves it out of the file
    Status,    // RH RC RT: what the radio reports, never sent to it; the file may lack them
};

// One numeric flash field, as the configuration file writes it and the radio names it.
struct FlashFieldInfo {
    std::string_view Key;      // the file's key and the radio's code: "SC", "P1", "PL0"
    int Digits;                // hexadecimal digits, in the file and on the radio
    std::string_view Comment;  // the file's comment after ";"
    size_t Width;  // the column of that ";": PL0..PL3 are one longer, so every comment lines up
    FlashFieldKind Kind;
    bool SkippedWhenUnset;  // a program leaves a negative value out instead of sending it
    // Where the value is kept: a 32-bit member, or element Index of an array member. PN (Serial)
    // has neither: it is SerialNumber.
    int32_t TRM7UXFlashRecord::*Member = nullptr;
    std::array<int32_t, 4> TRM7UXFlashRecord::*Array = nullptr;
    size_t Index = 0;

    // The 32-bit field; not for PN.
    int32_t& Of(TRM7UXFlashRecord& r) const { return Member ? r.*Member : (r.*Array)[Index]; }
    // The value; -1 when unset.
    int64_t Value(const TRM7UXFlashRecord& r) const {
        if (Kind == FlashFieldKind::Serial)
            return r.SerialNumber;
        return Member ? r.*Member : (r.*Array)[Index];
    }
};

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
    // Sends every writable field, then saves to flash. A record with a value that does not fit
    // its field is refused before the port is opened: the radio would take the first digits
    // and read the rest as commands.
    bool WriteToRadio();

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
    bool SendRecord(bool IsRM7UX, const std::string& Version);

    std::unique_ptr<TINIRM7UX> file_;
    TRM7UXFlashRecord record_;
};

// Whether every field that WriteToRadio would send fits its width (SC, PN and PV may also be
// negative: they are then left out).
bool FitsTheRadio(const TRM7UXFlashRecord& record);

// Whether a radio of this model and firmware takes "PV". A version text that holds no version
// counts as no PV: its message is shown in an error box, or handed to `unreadable` when given.
bool RadioTakesPV(bool IsRM7UX, const std::string& Version, std::string* unreadable = nullptr);
