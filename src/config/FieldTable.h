#pragma once
// Every field of the radio, once: its code and width, how the radio answers it, where the flash
// record and the configuration file keep it, and the names people read it by (the setting's name
// on the command line, the label the window gives it). The configuration file, the settings by
// name, the command line's raw codes and the window's messages are views of this one table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "config/FlashRecord.h"

enum class FieldAccess {
    Text,      // RV: text up to the prompt
    ReadOnly,  // RH RT RR RC: a query, nothing to type
    Editable,  // shows its value and takes a new one, or a carriage return
    Level,     // PL0..PL3: "PL" with the level as its argument
};

// How the configuration file keeps a field, and whether a program sends it to the radio.
enum class FlashFieldKind {
    None,      // not a numeric key of the file (RV is its text line, RR is never kept)
    Required,  // must be in the file
    Optional,  // PV: only some firmware has it; a record without one leaves it out of the file
    Serial,    // PN: the record's one 64-bit field; a record without one leaves it out of the file
    Status,    // RH RC RT: what the radio reports, never sent to it; the file may lack them
};

struct RadioFieldInfo {
    std::string_view Code;  // the radio's code and the file's key: "SC", "P1", "PL0", "RV"
    int Digits;             // hexadecimal digits on the wire and in the file; 0 for RV
    FieldAccess Access;
    std::string_view Setting;  // its name on the command line ("ctcss"); RV has two, see below
    std::string_view Label;    // as the window labels it ("CTCSS Tone"), in messages too
    std::string_view Unit;     // of the setting: "MHz", "°C"; "" for names and counts
    std::string_view Meaning;  // the raw field, as `get --help` lists it
    FlashFieldKind Kind = FlashFieldKind::None;
    std::string_view Comment;  // the file's comment after ";"
    size_t Column = 0;         // of that ";": PL0..PL3 are one longer, so every comment lines up
    bool SkippedWhenUnset = false;  // a program leaves a negative value out instead of sending it
    // Where the record keeps the value: a 32-bit member, or element Index of an array member.
    // PN (Serial) has neither: it is SerialNumber. RV is FirmwareVersion.
    int32_t TRM7UXFlashRecord::*Member = nullptr;
    std::array<int32_t, 4> TRM7UXFlashRecord::*Array = nullptr;
    size_t Index = 0;

    bool Writable() const {
        return Access == FieldAccess::Editable || Access == FieldAccess::Level;
    }
    // The 32-bit field; not for PN or RV.
    int32_t& Of(TRM7UXFlashRecord& r) const { return Member ? r.*Member : (r.*Array)[Index]; }
    // The value; -1 when unset.
    int64_t Value(const TRM7UXFlashRecord& r) const {
        if (Kind == FlashFieldKind::Serial)
            return r.SerialNumber;
        return Member ? r.*Member : (r.*Array)[Index];
    }
};

namespace field_table {

using R = TRM7UXFlashRecord;
using A = FieldAccess;
using K = FlashFieldKind;

// The numeric fields of the configuration file first, in the file's order; then RV and RR.
inline constexpr RadioFieldInfo kFields[] = {
    {"SC", 2, A::Editable, "ctcss", "CTCSS Tone", "", "CTCSS tone", K::Required, " CTCSS", 37, true,
     &R::Ctcss},
    {"PF", 2, A::Editable, "rf-offset", "RF Offset", "", "RF frequency offset calibration",
     K::Required, " Frequency offset", 37, false, &R::FreqOffset},
    {"PD", 2, A::Editable, "deviation", "Deviation", "", "deviation calibration", K::Required,
     " Deviation", 37, false, &R::Deviation},
    {"PM", 2, A::Editable, "modulation-balance", "Modulation Balance", "",
     "modulation balance calibration", K::Required, " Modulation balance", 37, false,
     &R::ModBalance},
    {"PR", 4, A::Editable, "rx-frequency", "RX Frequency", "MHz", "receive channel", K::Required,
     " Recieve Frequency", 37, false, &R::RxFreq},
    {"PT", 4, A::Editable, "tx-frequency", "TX Frequency", "MHz", "transmit channel", K::Required,
     " Transmit Frequency", 37, false, &R::TxFreq},
    {"P1", 4, A::Editable, "rx-low", "RX Band, low", "MHz", "receive band low channel", K::Required,
     " Frequency Range 1", 37, false, nullptr, &R::FreqRange, 0},
    {"P2", 4, A::Editable, "rx-high", "RX Band, high", "MHz", "receive band high channel",
     K::Required, " Frequency Range 2", 37, false, nullptr, &R::FreqRange, 1},
    {"P3", 4, A::Editable, "tx-low", "TX Band, low", "MHz", "transmit band low channel",
     K::Required, " Frequency Range 3", 37, false, nullptr, &R::FreqRange, 2},
    {"P4", 4, A::Editable, "tx-high", "TX Band, high", "MHz", "transmit band high channel",
     K::Required, " Frequency Range 4", 37, false, nullptr, &R::FreqRange, 3},
    {"PV", 2, A::Editable, "reverse-power-threshold", "Reverse Power Threshold", "",
     "reverse power threshold (RM7UX: firmware 1.12A or later)", K::Optional,
     " Reverse Power Threshold", 37, true, &R::RevPowerThreshold},
    {"PN", 8, A::Editable, "serial", "Serial Number", "", "serial number", K::Serial,
     " Serial Number", 37, true},
    {"PP", 2, A::Editable, "ptt-timeout", "PTT Timeout", "s", "PTT time-out (s)", K::Required,
     " Push to talk time out", 37, false, &R::PttTimeout},
    {"PC", 2, A::Editable, "step", "Frequency Step", "kHz", "step code (00 = 6.25 kHz, 01 = 5 kHz)",
     K::Required, " Channel spacing", 37, false, &R::ChannelSpacing},
    {"PA", 2, A::Editable, "band", "Band Code", "", "band code", K::Required,
     " Frequency Band Code", 37, false, &R::FreqBandCode},
    {"PS", 2, A::Editable, "cutout-temperature", "Cutout Temp", "°C",
     "cut-out temperature + 40 (C)", K::Required, " Shut down temperature", 37, false,
     &R::ShutdownTemp},
    {"PW", 2, A::Editable, "power", "RF Level", "", "RF power level 0..3", K::Required,
     " Selected power level", 37, false, &R::PowerLevel},
    {"PB", 2, A::Editable, "bandwidth", "Channel Spacing", "kHz",
     "bandwidth code (0 = 25 kHz, 1 = 12.5 kHz)", K::Required, " Band width", 37, false,
     &R::BandWidth},
    {"PL0", 2, A::Level, "power-calibration-0", "RF Power Calibration, level 0", "",
     "TX power calibration, level 0", K::Required, " Tx Power Calibration", 36, false, nullptr,
     &R::TxPowerCal, 0},
    {"PL1", 2, A::Level, "power-calibration-1", "RF Power Calibration, level 1", "",
     "TX power calibration, level 1", K::Required, " Tx Power Calibration", 36, false, nullptr,
     &R::TxPowerCal, 1},
    {"PL2", 2, A::Level, "power-calibration-2", "RF Power Calibration, level 2", "",
     "TX power calibration, level 2", K::Required, " Tx Power Calibration", 36, false, nullptr,
     &R::TxPowerCal, 2},
    {"PL3", 2, A::Level, "power-calibration-3", "RF Power Calibration, level 3", "",
     "TX power calibration, level 3", K::Required, " Tx Power Calibration", 36, false, nullptr,
     &R::TxPowerCal, 3},
    {"PO", 2, A::Editable, "rssi-offset", "RSSI Offset", "", "RSSI offset", K::Required,
     " RSSI Offset", 37, false, &R::RssiOffset},
    {"RH", 2, A::ReadOnly, "hardware-revision", "Hardware Revision", "", "hardware version",
     K::Status, " Hardware version", 37, false, &R::HardwareVersion},
    {"RC", 2, A::ReadOnly, "alarms", "Alarms", "", "alarm flags", K::Status, " Radio Check", 37,
     false, &R::RadioCheck},
    {"RT", 2, A::ReadOnly, "temperature", "Temperature", "°C", "temperature + 40 (C)", K::Status,
     " Radio Temperature", 37, false, &R::RadioTemperature},
    // "model" and "firmware" are both read from RV; the field's own name is the firmware's.
    {"RV", 0, A::Text, "firmware", "Radio Firmware", "", "model and firmware version"},
    {"RR", 2, A::ReadOnly, "rssi", "Raw RSSI", "", "raw RSSI"},
};

// The fields the configuration file keeps as numbers: the table up to RV.
inline constexpr size_t kFileFields = 26;

// An index, not a pointer: GCC's undefined-behaviour checks make a pointer comparison in a
// constant expression non-constant.
constexpr size_t Find(std::string_view code) {
    for (size_t i = 0; i < std::size(kFields); ++i) {
        if (kFields[i].Code == code)
            return i;
    }
    return std::size(kFields);
}

}  // namespace field_table

// Every field: the configuration file's numeric fields in its order, then RV and RR.
inline std::span<const RadioFieldInfo> RadioFieldTable() {
    return field_table::kFields;
}
// By code, regardless of letter case; nullptr when the radio has no such field.
const RadioFieldInfo* FindRadioField(std::string_view code);
// By exact code, for tables built at compile time.
constexpr int FieldDigits(std::string_view code) {
    const size_t i = field_table::Find(code);
    return i < std::size(field_table::kFields) ? field_table::kFields[i].Digits : 0;
}
constexpr std::string_view FieldUnit(std::string_view code) {
    const size_t i = field_table::Find(code);
    return i < std::size(field_table::kFields) ? field_table::kFields[i].Unit : std::string_view();
}
// How the window labels a field, also in messages: "TX Frequency", "PTT Timeout"; the code
// itself for a code it does not know.
std::string_view FieldLabel(std::string_view code);
