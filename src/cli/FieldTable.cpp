#include "cli/FieldTable.h"

#include "common/StrUtils.h"

namespace {

constexpr RadioFieldInfo kFields[] = {
    {"RV", 0, FieldAccess::Text, "model and firmware version"},
    {"RH", 2, FieldAccess::ReadOnly, "hardware version"},
    {"RT", 2, FieldAccess::ReadOnly, "temperature + 40 (C)"},
    {"RR", 2, FieldAccess::ReadOnly, "raw RSSI"},
    {"RC", 2, FieldAccess::ReadOnly, "alarm flags"},
    {"PN", 8, FieldAccess::Editable, "serial number"},
    {"PB", 2, FieldAccess::Editable, "bandwidth code (0 = 25 kHz, 1 = 12.5 kHz)"},
    {"PC", 2, FieldAccess::Editable, "step code (00 = 6.25 kHz, 01 = 5 kHz)"},
    {"PT", 4, FieldAccess::Editable, "transmit channel"},
    {"PR", 4, FieldAccess::Editable, "receive channel"},
    {"P1", 4, FieldAccess::Editable, "receive band low channel"},
    {"P2", 4, FieldAccess::Editable, "receive band high channel"},
    {"P3", 4, FieldAccess::Editable, "transmit band low channel"},
    {"P4", 4, FieldAccess::Editable, "transmit band high channel"},
    {"PA", 2, FieldAccess::Editable, "band code"},
    {"PD", 2, FieldAccess::Editable, "deviation calibration"},
    {"PM", 2, FieldAccess::Editable, "modulation balance calibration"},
    {"PF", 2, FieldAccess::Editable, "RF frequency offset calibration"},
    {"PW", 2, FieldAccess::Editable, "RF power level 0..3"},
    {"PL0", 2, FieldAccess::Level, "TX power calibration, level 0"},
    {"PL1", 2, FieldAccess::Level, "TX power calibration, level 1"},
    {"PL2", 2, FieldAccess::Level, "TX power calibration, level 2"},
    {"PL3", 2, FieldAccess::Level, "TX power calibration, level 3"},
    {"PP", 2, FieldAccess::Editable, "PTT time-out (s)"},
    {"PS", 2, FieldAccess::Editable, "cut-out temperature + 40 (C)"},
    {"SC", 2, FieldAccess::Editable, "CTCSS tone"},
    {"PO", 2, FieldAccess::Editable, "RSSI offset"},
    {"PV", 2, FieldAccess::Editable, "reverse power threshold (RM7UX: firmware 1.12A or later)"},
};

}  // namespace

std::span<const RadioFieldInfo> RadioFieldTable() {
    return kFields;
}

const RadioFieldInfo* FindRadioField(std::string_view code) {
    for (const auto& f : kFields) {
        if (SameText(f.Code, code))
            return &f;
    }
    return nullptr;
}
