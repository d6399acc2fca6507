#include "config/RM7UXFlashConfigObj.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "link/RM7UXcomms.h"
#include "link/Utilities.h"

namespace {

int64_t LargestOf(int digits) {
    return (int64_t{1} << (4 * digits)) - 1;
}

// The 32-bit field behind a two-letter code (PL0..PL3 and P1..P4 included); PN is 64-bit and
// handled by its callers.
int32_t& FieldOf(TRM7UXFlashRecord& r, std::string_view code) {
    static const std::pair<std::string_view, int32_t TRM7UXFlashRecord::*> kFields[] = {
        {"SC", &TRM7UXFlashRecord::Ctcss},
        {"PF", &TRM7UXFlashRecord::FreqOffset},
        {"PD", &TRM7UXFlashRecord::Deviation},
        {"PM", &TRM7UXFlashRecord::ModBalance},
        {"PR", &TRM7UXFlashRecord::RxFreq},
        {"PT", &TRM7UXFlashRecord::TxFreq},
        {"PV", &TRM7UXFlashRecord::RevPowerThreshold},
        {"PP", &TRM7UXFlashRecord::PttTimeout},
        {"PC", &TRM7UXFlashRecord::ChannelSpacing},
        {"PA", &TRM7UXFlashRecord::FreqBandCode},
        {"PS", &TRM7UXFlashRecord::ShutdownTemp},
        {"PW", &TRM7UXFlashRecord::PowerLevel},
        {"PB", &TRM7UXFlashRecord::BandWidth},
        {"PO", &TRM7UXFlashRecord::RssiOffset},
        {"RH", &TRM7UXFlashRecord::HardwareVersion},
        {"RC", &TRM7UXFlashRecord::RadioCheck},
        {"RT", &TRM7UXFlashRecord::RadioTemperature},
    };
    for (const auto& [name, member] : kFields) {
        if (name == code)
            return r.*member;
    }
    if (code.size() == 2 && code[0] == 'P' && code[1] >= '1' && code[1] <= '4')
        return r.Range(code[1] - '0');
    if (code.size() == 3 && code.substr(0, 2) == "PL" && code[2] >= '0' && code[2] <= '3')
        return r.TxPowerCal[static_cast<size_t>(code[2] - '0')];
    throw std::logic_error("no flash field " + std::string(code));
}

int32_t FieldOf(const TRM7UXFlashRecord& r, std::string_view code) {
    return FieldOf(const_cast<TRM7UXFlashRecord&>(r), code);
}

// The port is closed on every way out of an exchange, exceptions included.
struct PortSession {
    PortSession() = default;
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;
    ~PortSession() { CloseRadioPort(); }
};

// The firmware gate; a version text it cannot read is shown and counts as no PV.
bool RadioTakesPV(bool IsRM7UX, const std::string& Version) {
    try {
        return SupportsPVCommand(IsRM7UX, Version);
    } catch (const EFirmwareVersion& e) {
        ShowErrorBox(e.Message());
        return false;
    }
}

// Sends fields in the order given; stops at the first that the radio does not take.
bool SendHexFields(const TRM7UXFlashRecord& r, std::initializer_list<std::string_view> codes,
                   int digits) {
    for (std::string_view code : codes) {
        if (!SetField(std::string(code), IntToHex(FieldOf(r, code), digits)))
            return false;
    }
    return true;
}

enum class KeyKind { Required, Optional, Serial };

struct FileKey {
    std::string_view Key;
    int Digits;
    std::string_view Comment;
    KeyKind Kind;
    size_t Width;  // PL0..PL3 are one longer, so every comment starts in the same column
};

// The file's numeric keys, in the order they are written into a new file and read.
constexpr FileKey kFileKeys[] = {
    {"SC", 2, " CTCSS", KeyKind::Required, 37},
    {"PF", 2, " Frequency offset", KeyKind::Required, 37},
    {"PD", 2, " Deviation", KeyKind::Required, 37},
    {"PM", 2, " Modulation balance", KeyKind::Required, 37},
    {"PR", 4, " Recieve Frequency", KeyKind::Required, 37},
    {"PT", 4, " Transmit Frequency", KeyKind::Required, 37},
    {"P1", 4, " Frequency Range 1", KeyKind::Required, 37},
    {"P2", 4, " Frequency Range 2", KeyKind::Required, 37},
    {"P3", 4, " Frequency Range 3", KeyKind::Required, 37},
    {"P4", 4, " Frequency Range 4", KeyKind::Required, 37},
    {"PV", 2, " Reverse Power Threshold", KeyKind::Optional, 37},
    {"PN", 8, " Serial Number", KeyKind::Serial, 37},
    {"PP", 2, " Push to talk time out", KeyKind::Required, 37},
    {"PC", 2, " Channel spacing", KeyKind::Required, 37},
    {"PA", 2, " Frequency Band Code", KeyKind::Required, 37},
    {"PS", 2, " Shut down temperature", KeyKind::Required, 37},
    {"PW", 2, " Selected power level", KeyKind::Required, 37},
    {"PB", 2, " Band width", KeyKind::Required, 37},
    {"PL0", 2, " Tx Power Calibration", KeyKind::Required, 36},
    {"PL1", 2, " Tx Power Calibration", KeyKind::Required, 36},
    {"PL2", 2, " Tx Power Calibration", KeyKind::Required, 36},
    {"PL3", 2, " Tx Power Calibration", KeyKind::Required, 36},
    {"PO", 2, " RSSI Offset", KeyKind::Required, 37},
    {"RH", 2, " Hardware version", KeyKind::Optional, 37},
    {"RC", 2, " Radio Check", KeyKind::Optional, 37},
    {"RT", 2, " Radio Temperature", KeyKind::Optional, 37},
};

// The file's present content for a rewrite, as the INI layer takes it: an absent file is empty;
// one that exists but cannot be read must not be replaced, or its content would be lost.
TIniText ReadForUpdate(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return TIniText();
    std::string content;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    bool ok = fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char buf[65536];
    while (ok) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        content.append(buf, static_cast<size_t>(n));
    }
    if (fd >= 0)
        close(fd);
    if (!ok)
        throw EIniFileException("Unable to write to " + path);
    return TIniText(content);
}

std::string PadRight(std::string_view text, size_t width) {
    std::string s(text);
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The configuration file

TINIRM7UX::TINIRM7UX() {
    MissingText = " missing";
}

std::string TINIRM7UX::FormatValueLine(int64_t value, int digits, std::string_view comment,
                                       size_t width) {
    return PadRight("$" + IntToHex(value, digits), width) + ";" + std::string(comment);
}

std::string TINIRM7UX::FormatTextLine(std::string_view text, size_t width,
                                      std::string_view comment) {
    return PadRight(text, width) + ";" + std::string(comment);
}

std::string TINIRM7UX::TimeText() const {
    if (Record.TimeLoad == std::chrono::system_clock::time_point{})
        return "";
    const FormatSettings& fs = DefaultFormatSettings();
    std::string text = fs.FormatShortDate(Record.TimeLoad);
    std::time_t t = std::chrono::system_clock::to_time_t(Record.TimeLoad);
    std::tm local{};
    localtime_r(&t, &local);
    bool wholeSecond = std::chrono::floor<std::chrono::seconds>(Record.TimeLoad) == Record.TimeLoad;
    bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0 && wholeSecond;
    if (!midnight)
        text += " " + fs.FormatLongTime(Record.TimeLoad);
    return FormatTextLine(text, 38, " Time load");
}

bool TINIRM7UX::Load() {
    errorText_.clear();
    errorCount_ = 0;
    if (!OpenFile())
        return false;
    Record = TRM7UXFlashRecord{};

    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(FileName(), ec);
    if (!ec && size > MaxFileSize) {
        CloseFile();
        errorCount_ = 1;
        errorText_ = "'" + FileName() + "' is " + std::to_string(size) +
                     " bytes, larger than a configuration file can be (" +
                     std::to_string(MaxFileSize) + " bytes)\r\n";
        return false;
    }

    for (const FileKey& k : kFileKeys) {
        int64_t largest = LargestOf(k.Digits);
        if (k.Kind == KeyKind::Serial) {
            ReadRangedInt64(errorCount_, errorText_, Section, k.Key, Record.SerialNumber, 0,
                            largest, 0, Delimiter);
            continue;
        }
        int32_t& field = FieldOf(Record, k.Key);
        if (k.Kind == KeyKind::Required) {
            ReadRangedInteger(errorCount_, errorText_, Section, k.Key, field, 0,
                              static_cast<int32_t>(largest), 0, Delimiter);
        } else {
            // An optional key is not the file's fault: nobody sees its report.
            int32_t count = 0;
            std::string text;
            if (!ReadRangedInteger(count, text, Section, k.Key, field, 0,
                                   static_cast<int32_t>(largest), 0, Delimiter)) {
                field = -1;
            }
        }
    }
    std::string version;
    if (!ReadValue(Section, "RV", version))
        version.clear();
    if (errorCount_ == 0)
        Record.FirmwareVersion = version;
    CloseFile();
    return errorCount_ == 0;
}

bool TINIRM7UX::Save() {
    if (!OpenFile())
        return false;
    struct Closer {
        TINIRM7UX& ini;
        ~Closer() { ini.CloseFile(); }
    } closer{*this};

    // Every key goes into one new copy of the file, so a failed write leaves the old file whole
    // instead of half old and half new values.
    TIniText text = ReadForUpdate(FileName());
    text.Set(Section, "Time", TimeText());
    for (const FileKey& k : kFileKeys) {
        int64_t value = 0;
        if (k.Key == "PV" && Record.RevPowerThreshold < 0) {
            while (text.Remove(Section, k.Key)) {
            }
            continue;
        }
        if (k.Kind == KeyKind::Serial) {
            if (Record.SerialNumber < 0)
                continue;
            value = Record.SerialNumber & 0xFFFFFFFF;
        } else {
            value = FieldOf(Record, k.Key);
        }
        text.Set(Section, k.Key, FormatValueLine(value, k.Digits, k.Comment, k.Width));
    }
    text.Set(Section, "RV", FormatTextLine(Record.FirmwareVersion, 37, " Firmware version"));
    if (!WriteFileAtomically(FileName(), text.Text()))
        throw EIniFileException("Unable to write to " + FileName());
    return true;
}

// ---------------------------------------------------------------------------------------------
// The record and the radio

bool FitsTheRadio(const TRM7UXFlashRecord& r) {
    auto fits = [](int64_t value, int digits) { return value >= 0 && value <= LargestOf(digits); };
    for (std::string_view code :
         {"PF", "PD", "PM", "PS", "PW", "PL0", "PL1", "PL2", "PL3", "PP", "PO", "PB", "PC", "PA"}) {
        if (!fits(FieldOf(r, code), 2))
            return false;
    }
    for (std::string_view code : {"P1", "P2", "P3", "P4", "PR", "PT"}) {
        if (!fits(FieldOf(r, code), 4))
            return false;
    }
    // Left out when negative.
    return (r.Ctcss < 0 || fits(r.Ctcss, 2)) &&
           (r.RevPowerThreshold < 0 || fits(r.RevPowerThreshold, 2)) &&
           (r.SerialNumber < 0 || fits(r.SerialNumber, 8));
}

TRM7UXFlashRecordClass::TRM7UXFlashRecordClass() : file_(std::make_unique<TINIRM7UX>()) {
    Reset();
}

TRM7UXFlashRecordClass::~TRM7UXFlashRecordClass() = default;

void TRM7UXFlashRecordClass::Reset() {
    record_ = TRM7UXFlashRecord{};
}

namespace {

using FieldExchange = bool (*)(const std::string& Command, std::string& Reply, int From, int Count);

// The slice `exchange` reads, as hexadecimal that fits T; Value is left alone otherwise.
template <typename T>
bool ExchangeHexField(FieldExchange exchange, const std::string& Code, int Width, T& Value) {
    std::string reply;
    if (!exchange(Code, reply, 2, Width))
        return false;
    const std::optional<int64_t> v = TryHexToInt64(Trim(reply));
    if (!v || !std::in_range<T>(*v))
        return false;
    Value = static_cast<T>(*v);
    return true;
}

}  // namespace

bool TRM7UXFlashRecordClass::ReadHexField(const std::string& Code, int Width, int32_t& Value) {
    return ExchangeHexField(ReadField, Code, Width, Value);
}

bool TRM7UXFlashRecordClass::ReadHexField64(const std::string& Code, int Width, int64_t& Value) {
    return ExchangeHexField(ReadField, Code, Width, Value);
}

bool TRM7UXFlashRecordClass::QueryHexField(const std::string& Code, int Width, int32_t& Value) {
    return ExchangeHexField(QueryField, Code, Width, Value);
}

bool TRM7UXFlashRecordClass::ReadFromRadio() {
    if (!OpenRadioPort())
        return false;
    PortSession session;

    TRM7UXFlashRecord r;
    std::string version;
    bool isRM7UX = false;
    if (!IdentifyRadio(version, isRM7UX))
        return false;

    // The transmitter is keyed and released once before the fields are read; a missing prompt
    // after either is not a failure.
    TVVComm2* registered = RM7UXLink();
    if (registered == nullptr)
        return false;
    TVVComm2& link = *registered;
    for (const char* command : {"O3", "O4"}) {
        if (!link.WriteEchoed(command))
            return false;
        link.WaitForChar(">", 4000, 200);
    }

    if (!QueryHexField("RH", 2, r.HardwareVersion))
        return false;
    std::string reply;
    if (!QueryUntilPrompt("RV", reply, ">"))
        return false;
    r.FirmwareVersion = Trim(reply);

    for (const char* code : {"PC", "PD", "PM", "PP", "PO", "PW"}) {
        if (!ReadHexField(code, 2, FieldOf(r, code)))
            return false;
    }
    for (int n = 0; n <= 3; ++n) {
        if (!QueryFieldWithArgument("PL", std::to_string(n), reply, 2, 2))
            return false;
        // Not hexadecimal: raises, unlike the other fields.
        r.TxPowerCal[static_cast<size_t>(n)] = HexToInt(Trim(reply));
    }
    if (!ReadHexField("PF", 2, r.FreqOffset) || !ReadHexField("PA", 2, r.FreqBandCode) ||
        !ReadHexField("PR", 4, r.RxFreq) || !ReadHexField("PT", 4, r.TxFreq)) {
        return false;
    }
    for (int n = 1; n <= 4; ++n) {
        if (!ReadHexField("P" + std::to_string(n), 4, r.Range(n)))
            return false;
    }
    if (!ReadHexField("SC", 2, r.Ctcss) || !ReadHexField("PB", 2, r.BandWidth) ||
        !ReadHexField64("PN", 8, r.SerialNumber) || !ReadHexField("PS", 2, r.ShutdownTemp) ||
        !QueryHexField("RT", 2, r.RadioTemperature) || !QueryHexField("RC", 2, r.RadioCheck)) {
        return false;
    }
    r.TimeLoad = std::chrono::system_clock::now();
    if (RadioTakesPV(isRM7UX, version) && !ReadHexField("PV", 2, r.RevPowerThreshold))
        return false;

    record_ = std::move(r);
    return true;
}

bool TRM7UXFlashRecordClass::WriteToRadio() {
    if (!FitsTheRadio(record_))
        return false;
    if (!OpenRadioPort())
        return false;
    PortSession session;

    std::string version;
    bool isRM7UX = false;
    if (!IdentifyRadio(version, isRM7UX))
        return false;
    return SendRecord(isRM7UX, version) && SaveToFlashSilently();
}

bool TRM7UXFlashRecordClass::SendRecord(bool IsRM7UX, const std::string& Version) {
    const TRM7UXFlashRecord& r = record_;
    if (!SendHexFields(r, {"PF", "PD", "PM", "PS", "PW"}, 2))
        return false;
    for (int n = 0; n <= 3; ++n) {
        if (!SetFieldPair("PL", std::to_string(n),
                          IntToHex(r.TxPowerCal[static_cast<size_t>(n)], 2))) {
            return false;
        }
    }
    if (!SendHexFields(r, {"PP", "PO"}, 2))
        return false;
    if (r.Ctcss >= 0 && !SendHexFields(r, {"SC"}, 2))
        return false;
    if (!SendHexFields(r, {"PB", "PC", "PA"}, 2) ||
        !SendHexFields(r, {"P1", "P2", "P3", "P4", "PR", "PT"}, 4)) {
        return false;
    }
    if (r.SerialNumber >= 0 && !SetField("PN", IntToHex(r.SerialNumber, 8)))
        return false;
    if (r.RevPowerThreshold >= 0 && RadioTakesPV(IsRM7UX, Version) &&
        !SendHexFields(r, {"PV"}, 2)) {
        return false;
    }
    return true;
}

bool TRM7UXFlashRecordClass::LoadFromFile() {
    if (!file_->Load())
        return false;
    record_ = file_->Record;
    return true;
}

bool TRM7UXFlashRecordClass::SaveToFile() {
    file_->Record = record_;
    return file_->Save();
}
