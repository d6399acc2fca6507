#include "config/RM7UXFlashConfigObj.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <utility>

#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "link/RM7UXcomms.h"
#include "link/Utilities.h"
#include "platform/Interruption.h"

namespace {

// The configuration file's numeric fields, in its order.
std::span<const RadioFieldInfo> FileFields() {
    return RadioFieldTable().first(field_table::kFileFields);
}

int64_t LargestOf(int digits) {
    return (int64_t{1} << (4 * digits)) - 1;
}

// The field behind a two- or three-letter code.
const FlashFieldInfo& FlashField(std::string_view code) {
    for (const FlashFieldInfo& f : FileFields()) {
        if (f.Code == code)
            return f;
    }
    throw std::logic_error("no flash field " + std::string(code));
}

// The port is closed on every way out of an exchange, exceptions included.
struct PortSession {
    PortSession() = default;
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;
    ~PortSession() { CloseRadioPort(); }
};

std::string PadRight(std::string_view text, size_t width) {
    std::string s(text);
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s;
}

}  // namespace

std::span<const FlashFieldInfo> FlashFieldTable() {
    return FileFields();
}

bool RadioTakesPV(bool IsRM7UX, const std::string& Version, std::string* unreadable) {
    try {
        return SupportsPVCommand(IsRM7UX, Version);
    } catch (const EFirmwareVersion& e) {
        if (unreadable != nullptr)
            *unreadable = e.Message();
        else
            ShowErrorBox(e.Message());
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// The configuration file

TINIRM7UX::TINIRM7UX() {
    MissingText = " missing";
    SizeLimit = MaxFileSize;
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

    if (TooLarge()) {
        CloseFile();
        errorCount_ = 1;
        errorText_ = "'" + FileName() + "' is larger than a configuration file can be (" +
                     std::to_string(MaxFileSize) + " bytes)\r\n";
        return false;
    }

    for (const FlashFieldInfo& f : FileFields()) {
        int64_t largest = LargestOf(f.Digits);
        if (f.Kind == FlashFieldKind::Serial) {
            ReadRangedInt64(errorCount_, errorText_, Section, f.Code, Record.SerialNumber, 0,
                            largest, 0, Delimiter);
            continue;
        }
        int32_t& field = f.Of(Record);
        if (f.Kind == FlashFieldKind::Required) {
            ReadRangedInteger(errorCount_, errorText_, Section, f.Code, field, 0,
                              static_cast<int32_t>(largest), 0, Delimiter);
        } else {
            // An optional key is not the file's fault: nobody sees its report.
            int32_t count = 0;
            std::string text;
            if (!ReadRangedInteger(count, text, Section, f.Code, field, 0,
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
    TIniText text = IniFile->LoadForUpdate();
    text.Set(Section, "Time", TimeText());
    for (const FlashFieldInfo& f : FileFields()) {
        int64_t value = f.Value(Record);
        if (f.Kind == FlashFieldKind::Optional && value < 0) {
            while (text.Remove(Section, f.Code)) {
            }
            continue;
        }
        if (f.Kind == FlashFieldKind::Serial) {
            if (value < 0)
                continue;
            value &= 0xFFFFFFFF;
        }
        text.Set(Section, f.Code, FormatValueLine(value, f.Digits, f.Comment, f.Column));
    }
    text.Set(Section, "RV", FormatTextLine(Record.FirmwareVersion, 37, " Firmware version"));
    IniFile->Store(text);
    return true;
}

// ---------------------------------------------------------------------------------------------
// The record and the radio

const RadioFieldInfo* FieldThatDoesNotFit(const TRM7UXFlashRecord& r) {
    for (const FlashFieldInfo& f : FileFields()) {
        const int64_t value = f.Value(r);
        if (f.Kind == FlashFieldKind::Status || (value < 0 && f.SkippedWhenUnset))
            continue;
        if (value < 0 || value > LargestOf(f.Digits))
            return &f;
    }
    return nullptr;
}

bool FitsTheRadio(const TRM7UXFlashRecord& r) {
    return FieldThatDoesNotFit(r) == nullptr;
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

    // The transmitter is keyed and released once before the fields are read.
    if (RM7UXLink() == nullptr || !PulseTransmitter())
        return false;

    if (!QueryHexField("RH", 2, r.HardwareVersion))
        return false;
    std::string reply;
    if (!QueryUntilPrompt("RV", reply, ">"))
        return false;
    r.FirmwareVersion = Trim(reply);

    for (const char* code : {"PC", "PD", "PM", "PP", "PO", "PW"}) {
        if (!ReadHexField(code, 2, FlashField(code).Of(r)))
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

bool TRM7UXFlashRecordClass::SaveToFileLoadable(std::string& problem) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string asked = FileName();
    std::string target = asked;
    // Through a link, the file it names is the one replaced, as the save itself does.
    if (fs::is_symlink(target, ec))
        target = fs::weakly_canonical(target, ec).string();
    const bool existed = fs::exists(target, ec);
    if (existed && fs::file_size(target, ec) > TINIRM7UX::MaxFileSize) {
        problem = "'" + target +
                  "' is larger than a configuration file can be; a save into it would not load "
                  "back. It is left as it was.";
        return false;
    }
    // The merge is tried on a copy, so the old file stays whole until the result is known good.
    std::string trial = target;
    if (existed) {
        trial = target + ".rm7ux-trial";
        fs::copy_file(target, trial, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            problem = "Cannot copy '" + target + "': " + ec.message();
            return false;
        }
        SetFileName(trial);
    }
    auto discard = [&] {
        if (existed)
            fs::remove(trial, ec);
        SetFileName(asked);
    };
    bool saved = false;
    try {
        saved = SaveToFile();
    } catch (...) {
        discard();
        throw;
    }
    if (!saved) {
        discard();
        problem = "Unable to write to '" + target + "'";
        return false;
    }
    TRM7UXFlashRecordClass check;
    check.SetFileName(trial);
    bool loads = false;
    try {
        loads = check.LoadFromFile() && check.Record().SerialNumber == record_.SerialNumber;
    } catch (const std::exception&) {
        loads = false;
    }
    if (!loads) {
        discard();
        problem = "The result would not load back as a configuration file; '" + target +
                  "' is left as it was.";
        if (!check.ConfigFile().ErrorText().empty())
            problem += "\r\n" + check.ConfigFile().ErrorText();
        return false;
    }
    if (existed) {
        fs::rename(trial, target, ec);
        if (ec) {
            discard();
            problem = "Unable to write to '" + target + "': " + ec.message();
            return false;
        }
        SetFileName(asked);
    }
    return true;
}
