#include <cctype>
#include <stdexcept>

#include "emulator/RadioEmulator.h"
#include "emulator/RadioMachine.h"

namespace {

struct FieldInfo {
    const char* Code;
    int Width;
    bool Editable;
    uint32_t RadioFields::*Member;
};

constexpr FieldInfo kFields[] = {
    {"PN", 8, true, &RadioFields::PN},  {"PB", 2, true, &RadioFields::PB},
    {"PC", 2, true, &RadioFields::PC},  {"PA", 2, true, &RadioFields::PA},
    {"PD", 2, true, &RadioFields::PD},  {"PM", 2, true, &RadioFields::PM},
    {"PF", 2, true, &RadioFields::PF},  {"PW", 2, true, &RadioFields::PW},
    {"PP", 2, true, &RadioFields::PP},  {"PS", 2, true, &RadioFields::PS},
    {"SC", 2, true, &RadioFields::SC},  {"PO", 2, true, &RadioFields::PO},
    {"PV", 2, true, &RadioFields::PV},  {"PT", 4, true, &RadioFields::PT},
    {"PR", 4, true, &RadioFields::PR},  {"P1", 4, true, &RadioFields::P1},
    {"P2", 4, true, &RadioFields::P2},  {"P3", 4, true, &RadioFields::P3},
    {"P4", 4, true, &RadioFields::P4},  {"RH", 2, false, &RadioFields::RH},
    {"RT", 2, false, &RadioFields::RT}, {"RR", 2, false, &RadioFields::RR},
    {"RC", 2, false, &RadioFields::RC},
};

const FieldInfo* Find(const std::string& code) {
    for (const auto& f : kFields) {
        if (code == f.Code)
            return &f;
    }
    return nullptr;
}

int PlLevel(const std::string& code) {
    if (code.size() == 3 && code[0] == 'P' && code[1] == 'L' && code[2] >= '0' && code[2] <= '3')
        return code[2] - '0';
    return -1;
}

uint32_t Mask(int width) {
    return width >= 8 ? 0xFFFFFFFFu : (1u << (4 * width)) - 1;
}

// Channel numbers of frequencies in MHz: steps of 6.25 kHz above the model's base.
constexpr uint32_t Channel(double mhz, double baseMhz) {
    return static_cast<uint32_t>((mhz - baseMhz) * 160.0 + 0.5);
}

RadioPersonality Rm7ux(const char* version, uint32_t serial) {
    RadioPersonality p;
    p.VersionText = version;
    RadioFields& f = p.Fields;
    f.PN = serial;
    f.PB = 0x00;  // 25 kHz
    f.PC = 0x00;  // 6.25 kHz step
    f.PA = 140;
    f.PD = f.PM = f.PF = 0x80;
    f.PW = 0x03;
    f.PL = {0x40, 0x60, 0x90, 0xC8};
    f.PP = 60;
    f.PS = 65 + 40;
    f.SC = 0x00;
    f.PO = 0x10;
    f.PV = 0x20;
    f.PT = f.PR = Channel(440, 300);
    f.P1 = f.P3 = Channel(430, 300);
    f.P2 = f.P4 = Channel(450, 300);
    f.RH = 0x02;
    f.RT = 25 + 40;
    f.RR = 0x2A;
    f.RC = 0x00;
    p.Flash = f;
    return p;
}

}  // namespace

int RadioFields::Width(const std::string& code) {
    if (PlLevel(code) >= 0)
        return 2;
    const FieldInfo* f = Find(code);
    return f != nullptr ? f->Width : 0;
}

bool RadioFields::IsEditable(const std::string& code) {
    if (PlLevel(code) >= 0)
        return true;
    const FieldInfo* f = Find(code);
    return f != nullptr && f->Editable;
}

uint32_t RadioFields::Get(const std::string& code) const {
    if (int level = PlLevel(code); level >= 0)
        return PL[static_cast<size_t>(level)];
    const FieldInfo* f = Find(code);
    if (f == nullptr)
        throw std::out_of_range("no radio field " + code);
    return this->*(f->Member);
}

void RadioFields::Set(const std::string& code, uint32_t value) {
    if (int level = PlLevel(code); level >= 0) {
        PL[static_cast<size_t>(level)] = value & Mask(2);
        return;
    }
    const FieldInfo* f = Find(code);
    if (f == nullptr)
        throw std::out_of_range("no radio field " + code);
    this->*(f->Member) = value & Mask(f->Width);
}

RadioPersonality RadioPersonality::RM7UH(Serial serial) {
    return Rm7ux("RM7UH V1.12A", serial.value_or(12345678));
}

RadioPersonality RadioPersonality::RM7UL(Serial serial) {
    return Rm7ux("RM7UL V1.11Z", serial.value_or(12345601));
}

RadioPersonality RadioPersonality::RM7VX(Serial serial) {
    RadioPersonality p = Rm7ux("RM7VX V2.03", serial.value_or(11223344));
    RadioFields& f = p.Fields;
    f.PA = 2;  // 148-174 MHz
    f.PT = f.PR = Channel(161, 100);
    f.P1 = f.P3 = Channel(148, 100);
    f.P2 = f.P4 = Channel(174, 100);
    f.RH = 0x01;
    p.Flash = f;
    return p;
}

RadioPersonality RadioPersonality::ByName(const std::string& model, Serial serial) {
    std::string m;
    for (char c : model)
        m += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (m == "RM7UH")
        return RM7UH(serial);
    if (m == "RM7UL")
        return RM7UL(serial);
    if (m == "RM7VX")
        return RM7VX(serial);
    throw std::invalid_argument("unknown radio model " + model);
}

void RadioPersonality::SetSerial(uint32_t serial) {
    Fields.PN = serial;
    Flash.PN = serial;
}

std::string RadioEvent::Text() const {
    std::string t = Kind;
    if (!Command.empty())
        t += " " + Command;
    if (!Value.empty())
        t += " " + Value;
    return t;
}

bool FirmwareKnowsPV(const std::string& versionText) {
    if (versionText.find("RM7V") != std::string::npos)
        return true;
    // "RM7UH V1.12A": the number after the first space, then the revision letters.
    size_t i = versionText.find(' ');
    if (i == std::string::npos)
        return false;
    while (i < versionText.size() && !std::isdigit(static_cast<unsigned char>(versionText[i])))
        ++i;
    if (i == versionText.size())
        return false;
    long whole = 0;
    long fraction = 0;
    int fractionDigits = 0;
    bool afterPoint = false;
    for (; i < versionText.size(); ++i) {
        char c = versionText[i];
        if (c == '.' && !afterPoint) {
            afterPoint = true;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            if (afterPoint) {
                if (fractionDigits < 6) {
                    fraction = fraction * 10 + (c - '0');
                    ++fractionDigits;
                }
            } else if (whole < 100000) {
                whole = whole * 10 + (c - '0');
            }
        } else {
            break;
        }
    }
    // Compare as decimals in millionths: 1.9 is later than 1.12.
    while (fractionDigits < 6) {
        fraction *= 10;
        ++fractionDigits;
    }
    long version = whole * 1000000 + fraction;
    constexpr long kFirst = 1120000;
    if (version != kFirst)
        return version > kFirst;
    std::string revision;
    for (; i < versionText.size(); ++i)
        revision += static_cast<char>(std::tolower(static_cast<unsigned char>(versionText[i])));
    return revision >= "a";
}
