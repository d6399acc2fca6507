#include "emulator/RadioMachine.h"

#include <cctype>
#include <cstdio>
#include <utility>

namespace {

constexpr char kCr = '\r';
constexpr char kEtx = 3;

bool IsHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string Upper(const std::string& s) {
    std::string u;
    for (char c : s)
        u += Upper(c);
    return u;
}

std::string Hex(uint32_t value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", width, value);
    return buf;
}

// Saving to flash and the reset copy the settings; the status readings are not settings and stay
// as they are.
void CopySettings(const RadioFields& from, RadioFields& to) {
    const RadioFields status = to;
    to = from;
    to.RH = status.RH;
    to.RT = status.RT;
    to.RR = status.RR;
    to.RC = status.RC;
}

char EchoOf(char c, const RadioFaults& f) {
    if (f.WrongEcho)
        return c == '#' ? '*' : '#';
    if (f.LowerCaseEcho)
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c;
}

void Say(std::vector<RadioOutput>& out, const std::string& text) {
    if (text.empty())
        return;
    if (out.empty()) {
        out.push_back({std::chrono::milliseconds(0), text});
    } else {
        out.back().Text += text;
    }
}

void Echo(std::vector<RadioOutput>& out, char c, const RadioFaults& f) {
    if (!f.NoEcho)
        Say(out, std::string(1, EchoOf(c, f)));
}

std::string Prompt(const RadioFaults& f) {
    return f.NoPrompt ? "\r\n" : "\r\n>";
}

const char* const kModemIdentity = "M82KD Data Modem\r\nFirmware V3.10";
const char* const kNoModelVersion = "XR900 V1.00";

}  // namespace

RadioMachine::RadioMachine(RadioPersonality radio, bool modem, std::string modemPassword)
    : radio_(std::move(radio)), modem_(modem), password_(std::move(modemPassword)) {}

void RadioMachine::WatchFor(std::string eventText) {
    watched_ = std::move(eventText);
    watchedSeen_ = 0;
}

void RadioMachine::Record(std::string kind, std::string command, std::string value) {
    RadioEvent event{std::move(kind), std::move(command), std::move(value)};
    if (!watched_.empty() && event.Text() == watched_)
        ++watchedSeen_;
    if (RecordEvents) {
        Events.push_back(std::move(event));
        if (OnEvent)
            OnEvent(Events.back());
    } else if (OnEvent) {
        OnEvent(event);
    }
}

void RadioMachine::SwapRadio(const RadioPersonality& radio) {
    radio_ = radio;
    ResetEntry();
    eeArmed_ = false;
    transmitting_ = false;
}

void RadioMachine::ResetEntry() {
    state_ = State::Idle;
    command_.clear();
    digits_.clear();
}

void RadioMachine::Receive(char c, RadioFaults& faults, std::vector<RadioOutput>& out) {
    if (faults.Silent)
        return;
    if (modem_ && !radioMode_) {
        ModemByte(c, faults, out);
        return;
    }
    if (modem_ && c == kEtx) {
        radioMode_ = false;
        ResetEntry();
        line_.clear();
        Record("etx");
        out.push_back({std::chrono::milliseconds(faults.EtxReplyDelayMs), "\r\nOK\r\n"});
        return;
    }
    RadioByte(c, faults, out);
}

// Every command ends here: the event first, so that whoever sees the prompt also sees the event.
void RadioMachine::EndCommand(const RadioFaults& f, std::vector<RadioOutput>& out,
                              const std::string& text) {
    ++commands_;
    ResetEntry();
    Say(out, text + Prompt(f));
}

std::string RadioMachine::Shown(const std::string& code, const RadioFaults& f) const {
    int width = RadioFields::Width(code);
    if (!f.GarbageField.empty() && code.compare(0, f.GarbageField.size(), f.GarbageField) == 0)
        return std::string(static_cast<size_t>(width), 'X');
    return Hex(radio_.Fields.Get(code), width);
}

bool RadioMachine::IsLostCharacter(char c, const LoseOnce& lose) const {
    if (!lose.AfterEvent.empty() && (lose.AfterEvent != watched_ || watchedSeen_ < lose.AfterCount))
        return false;
    const std::string& code = lose.Command;
    if (lose.At == LostAt::CommandLetter) {
        if (code.size() < 2)
            return false;
        const std::string before = code.substr(0, code.size() - 1);
        if (state_ == State::PlLevel)
            return before == "PL" && c == code.back();
        return state_ == State::Command && command_ == before && Upper(c) == code.back();
    }
    if (state_ != State::Value || command_ != code || !IsHex(c))
        return false;
    const size_t width = static_cast<size_t>(RadioFields::Width(command_));
    return lose.At == LostAt::FirstDigit ? digits_.empty() : digits_.size() + 1 == width;
}

void RadioMachine::RadioByte(char c, RadioFaults& f, std::vector<RadioOutput>& out) {
    bool lostBack = false;
    if (f.Lose && c != kCr && IsLostCharacter(c, *f.Lose)) {
        Record("lost", f.Lose->Command, f.Lose->OnTheWayIn ? "in" : "back");
        const bool in = f.Lose->OnTheWayIn;
        f.Lose.reset();
        if (in)
            return;
        lostBack = true;
    }
    if (c == kCr) {
        switch (state_) {
            case State::Idle:
                Record("cr");
                Say(out, Prompt(f));
                return;
            case State::Command:
                Record("cancel", command_);
                ResetEntry();
                Say(out, Prompt(f));
                return;
            case State::Value:
                if (digits_.empty()) {
                    Record("read", command_);
                } else {
                    Record("cancel", command_, digits_);
                }
                EndCommand(f, out, "");
                return;
            case State::PlLevel:
                Record("cancel", "PL");
                EndCommand(f, out, "");
                return;
        }
    }
    // Line feeds and other control characters are not part of the protocol: ignored unechoed.
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        return;
    const bool loseEcho = state_ == State::Command && !f.LoseEchoOf.empty() &&
                          command_ + Upper(c) == f.LoseEchoOf &&
                          (f.LoseEchoTimes < 0 || echoesLost_ < f.LoseEchoTimes);
    if (loseEcho)
        ++echoesLost_;
    else if (!lostBack)
        Echo(out, c, f);
    switch (state_) {
        case State::Idle:
            command_ = std::string(1, Upper(c));
            state_ = State::Command;
            return;
        case State::Command:
            command_ += Upper(c);
            Dispatch(command_, f, out);
            return;
        case State::Value:
            TakeDigit(c, f, out);
            return;
        case State::PlLevel:
            if (c >= '0' && c <= '3') {
                command_ = std::string("PL") + c;
                state_ = State::Value;
                Say(out, " " + Shown(command_, f) + " ");
            } else {
                Record("bad", "PL", std::string(1, c));
                EndCommand(f, out, "?");
            }
            return;
    }
}

void RadioMachine::TakeDigit(char c, const RadioFaults& f, std::vector<RadioOutput>& out) {
    if (!IsHex(c)) {
        Record("bad", command_, digits_ + c);
        EndCommand(f, out, "?");
        return;
    }
    digits_ += c;
    if (static_cast<int>(digits_.size()) < RadioFields::Width(command_))
        return;
    radio_.Fields.Set(command_, static_cast<uint32_t>(std::stoul(digits_, nullptr, 16)));
    Record("write", command_, digits_);
    EndCommand(f, out, "");
}

void RadioMachine::Dispatch(const std::string& cmd, const RadioFaults& f,
                            std::vector<RadioOutput>& out) {
    bool wasArmed = eeArmed_;
    eeArmed_ = false;
    if (cmd == "RV") {
        Record("rv");
        EndCommand(f, out, " " + (f.NoModel ? std::string(kNoModelVersion) : radio_.VersionText));
    } else if (RadioFields::Width(cmd) > 0 && !RadioFields::IsEditable(cmd)) {
        Record("read", cmd);
        EndCommand(f, out, " " + Shown(cmd, f));
    } else if (cmd == "PV" && !FirmwareKnowsPV(radio_.VersionText)) {
        Record("unknown", cmd);
        EndCommand(f, out, "?");
    } else if (RadioFields::IsEditable(cmd)) {
        state_ = State::Value;
        digits_.clear();
        Say(out, " " + Shown(cmd, f) + " ");
    } else if (cmd == "PL") {
        state_ = State::PlLevel;
        Say(out, " ");
    } else if (cmd == "EE") {
        eeArmed_ = true;
        Record("ee");
        EndCommand(f, out, "");
    } else if (cmd == "EP" && wasArmed) {
        CopySettings(radio_.Fields, radio_.Flash);
        Record("flash");
        EndCommand(f, out, "");
    } else if (cmd == "O3" || cmd == "O4") {
        transmitting_ = cmd == "O3";
        Record(transmitting_ ? "tx on" : "tx off");
        EndCommand(f, out, "");
    } else if (cmd == "OZ") {
        CopySettings(radio_.Flash, radio_.Fields);
        transmitting_ = false;
        Record("reset");
        ++commands_;
        ResetEntry();
        // The radio restarts before it greets again.
        out.push_back({ResetPause, "\r\n" + radio_.VersionText + Prompt(f)});
    } else {
        Record("unknown", cmd);
        EndCommand(f, out, "?");
    }
}

void RadioMachine::ModemByte(char c, const RadioFaults& f, std::vector<RadioOutput>& out) {
    if (c == kEtx) {
        Record("etx");
        line_.clear();
        out.push_back({std::chrono::milliseconds(f.EtxReplyDelayMs), "\r\nOK\r\n"});
        return;
    }
    if (c == kCr) {
        Echo(out, c, f);
        std::string line = line_;
        line_.clear();
        ModemLine(line, out);
        return;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        return;
    Echo(out, c, f);
    if (line_.size() < 80)
        line_ += c;
}

void RadioMachine::ModemLine(const std::string& line, std::vector<RadioOutput>& out) {
    if (awaitingPassword_) {
        awaitingPassword_ = false;
        Record("password", line);
        unlocked_ = line == password_;
        Say(out, unlocked_ ? "\r\nOK\r\n" : "\r\nERROR\r\n");
        return;
    }
    Record("at", line);
    std::string cmd = Upper(line);
    if (cmd.empty() || cmd == "AT") {
        Say(out, "\r\nOK\r\n");
    } else if (cmd == "ATI") {
        Say(out, std::string("\r\n") + kModemIdentity + "\r\n\r\nOK\r\n");
    } else if (cmd == "AT#R") {
        awaitingPassword_ = true;
        Say(out, "\r\nPassword: ");
    } else if (cmd == "AT#C9" && unlocked_) {
        radioMode_ = true;
        ResetEntry();
        Say(out, "\r\nOK\r\n");
    } else if (cmd == "ATZ") {
        unlocked_ = false;
        Say(out, "\r\n");
        // The modem reloads its configuration before it reports.
        out.push_back({ConfigLoadPause, "Config loaded OK\r\n"});
    } else {
        Say(out, "\r\nERROR\r\n");
    }
}
