#include "platform/Rfc2217.h"

namespace {

// COM-PORT-OPTION commands, client to server; the server answers each with 100 more.
constexpr uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                  kSetControl = 5, kPurgeData = 12;
constexpr uint8_t kServerOffset = 100;
// SET-CONTROL values.
constexpr uint8_t kNoFlowControl = 1, kHardwareFlowControl = 3, kDtrOn = 8, kDtrOff = 9,
                  kRtsOn = 11, kRtsOff = 12;

std::string Bytes(std::initializer_list<uint8_t> bytes) {
    std::string s;
    for (uint8_t b : bytes)
        s += static_cast<char>(b);
    return s;
}

// A subnegotiation of the COM port option; a 255 in the value is doubled.
std::string ComPortCommand(uint8_t command, const std::string& value) {
    std::string s =
        Bytes({TelnetComPort::IAC, TelnetComPort::SB, TelnetComPort::COM_PORT, command});
    for (char c : value) {
        s += c;
        if (static_cast<uint8_t>(c) == TelnetComPort::IAC)
            s += c;
    }
    return s + Bytes({TelnetComPort::IAC, TelnetComPort::SE});
}

}  // namespace

std::string TelnetComPort::Opening() {
    askedWillComPort_ = askedWillBinary_ = askedDoBinary_ = askedDoSga_ = true;
    return Bytes({IAC, WILL, COM_PORT, IAC, WILL, BINARY, IAC, DO, BINARY, IAC, DO, SGA});
}

std::string TelnetComPort::SetLine(const LineSettings& s) const {
    const uint32_t b = s.BaudRate;
    std::string out = ComPortCommand(
        kSetBaudRate, Bytes({static_cast<uint8_t>(b >> 24), static_cast<uint8_t>(b >> 16),
                             static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b)}));
    out += ComPortCommand(kSetDataSize, Bytes({static_cast<uint8_t>(s.DataBits)}));
    // RFC 2217 counts parity from 1: none, odd, even, mark, space, the link's order plus one.
    out += ComPortCommand(kSetParity, Bytes({static_cast<uint8_t>(s.Parity + 1)}));
    out += ComPortCommand(kSetStopSize, Bytes({static_cast<uint8_t>(s.StopBits == 2   ? 2
                                                                    : s.StopBits == 1 ? 3
                                                                                      : 1)}));
    const bool hardware = s.OutxCtsFlow || s.RtsControl == 2;
    out += ComPortCommand(kSetControl, Bytes({hardware ? kHardwareFlowControl : kNoFlowControl}));
    out += ComPortCommand(kSetControl, Bytes({s.DtrControl != 0 ? kDtrOn : kDtrOff}));
    if (!hardware)
        out += ComPortCommand(kSetControl, Bytes({s.RtsControl != 0 ? kRtsOn : kRtsOff}));
    return out;
}

std::string TelnetComPort::Purge(bool output, bool input) const {
    if (!output && !input)
        return "";
    // 1 the server's receive buffer (what the device sent), 2 its transmit buffer, 3 both.
    const uint8_t which = output && input ? 3 : input ? 1 : 2;
    return ComPortCommand(kPurgeData, Bytes({which}));
}

std::string TelnetComPort::Escape(const char* data, size_t n) const {
    std::string out;
    out.reserve(n + 4);
    for (size_t i = 0; i < n; ++i) {
        out += data[i];
        if (static_cast<uint8_t>(data[i]) == IAC)
            out += data[i];
        else if (data[i] == '\r' && !binaryOut_)
            out += '\0';
    }
    return out;
}

void TelnetComPort::Option(uint8_t verb, uint8_t option, std::string& reply) {
    switch (verb) {
        case WILL:
            if ((option == BINARY && askedDoBinary_) || (option == SGA && askedDoSga_)) {
                binaryIn_ = binaryIn_ || option == BINARY;
            } else if (!refused_[option]) {
                // Echo and the rest: the radio echoes, and nothing else is wanted.
                refused_[option] = true;
                reply += Bytes({IAC, DONT, option});
            }
            break;
        case WONT:
            if (option == BINARY)
                binaryIn_ = false;
            break;
        case DO:
            if (option == COM_PORT && askedWillComPort_) {
                comPort_ = true;
            } else if (option == BINARY && askedWillBinary_) {
                binaryOut_ = true;
            } else if (!refused_[option]) {
                refused_[option] = true;
                reply += Bytes({IAC, WONT, option});
            }
            break;
        case DONT:
            if (option == COM_PORT)
                comPort_ = false;
            if (option == BINARY)
                binaryOut_ = false;
            break;
        default:
            break;
    }
}

void TelnetComPort::Subnegotiation() {
    if (sub_.size() < 2 || static_cast<uint8_t>(sub_[0]) != COM_PORT)
        return;
    const auto command = static_cast<uint8_t>(sub_[1]);
    const std::string value = sub_.substr(2);
    auto byte = [&value] { return value.empty() ? 0 : static_cast<uint8_t>(value[0]); };
    switch (command) {
        case kServerOffset + kSetBaudRate:
            if (value.size() == 4) {
                uint32_t b = 0;
                for (char c : value)
                    b = (b << 8) | static_cast<uint8_t>(c);
                baud_ = b;
            }
            break;
        case kServerOffset + kSetDataSize:
            dataSize_ = byte();
            break;
        case kServerOffset + kSetParity:
            parity_ = byte();
            break;
        case kServerOffset + kSetStopSize:
            stopSize_ = byte();
            break;
        default:
            // Line and modem state notifications, flow control, the signature: not needed.
            break;
    }
}

void TelnetComPort::Receive(const char* raw, size_t n, std::string& data, std::string& reply) {
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<uint8_t>(raw[i]);
        switch (state_) {
            case State::Data:
                if (b == IAC) {
                    state_ = State::Iac;
                } else if (crPending_ && b == 0) {
                    // CR NUL is a carriage return on its own outside binary mode.
                    crPending_ = false;
                } else {
                    crPending_ = b == '\r' && !binaryIn_;
                    data += static_cast<char>(b);
                }
                break;
            case State::Iac:
                crPending_ = false;
                if (b == IAC) {
                    data += static_cast<char>(b);
                    state_ = State::Data;
                } else if (b == WILL || b == WONT || b == DO || b == DONT) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == SB) {
                    sub_.clear();
                    state_ = State::Sub;
                } else {
                    // NOP, go-ahead and the other commands carry nothing for the line.
                    state_ = State::Data;
                }
                break;
            case State::Verb:
                Option(verb_, b, reply);
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == IAC)
                    state_ = State::SubIac;
                else if (sub_.size() < 64)
                    sub_ += static_cast<char>(b);
                break;
            case State::SubIac:
                if (b == SE) {
                    Subnegotiation();
                    state_ = State::Data;
                } else {
                    if (sub_.size() < 64)
                        sub_ += static_cast<char>(b);
                    state_ = State::Sub;
                }
                break;
        }
    }
}

std::string TelnetComPort::ConfirmedText() const {
    static const char* const kParity[] = {"?",           "no parity",   "odd parity",
                                          "even parity", "mark parity", "space parity"};
    std::string text = baud_ ? std::to_string(*baud_) + " baud" : "baud rate unconfirmed";
    text += dataSize_ ? ", " + std::to_string(*dataSize_) + " data bits" : "";
    text += parity_ ? std::string(", ") +
                          (*parity_ >= 1 && *parity_ <= 5 ? kParity[*parity_] : "parity unknown")
                    : "";
    text += stopSize_ ? std::string(", ") + (*stopSize_ == 2   ? "2 stop bits"
                                             : *stopSize_ == 3 ? "1.5 stop bits"
                                                               : "1 stop bit")
                      : "";
    return text;
}
