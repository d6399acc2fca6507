#pragma once
// What --port may be, in one rule for every program: a COM number from 1 to 256, written "7",
// "COM7" or "COM 7" (any letter case, blanks around allowed); "auto" (the one radio present) or
// "auto-all" (every port probed); or the address of a serial device server, tcp://HOST:PORT (raw
// TCP) or rfc2217://HOST:PORT (telnet with the COM port option). Each program says which of
// these it takes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct NetworkAddress {
    bool Rfc2217 = false;  // false: raw TCP
    std::string Host;      // a name or an address; an IPv6 address without its brackets
    uint16_t Port = 0;

    // "tcp://pump-station:4001", "rfc2217://[fd00::7]:2217"
    std::string Text() const;
};

// Whether the text is meant as an address rather than a COM port: it starts with "NAME://".
bool LooksLikeAddress(std::string_view text);
// False with what is wrong in `problem` when the text is no address of the two forms.
bool ParseNetworkAddress(std::string_view text, NetworkAddress& address, std::string& problem);

struct PortArgument {
    std::optional<uint32_t> Number;
    std::string Auto;     // "auto" or "auto-all"; empty otherwise
    std::string Address;  // tcp://HOST:PORT or rfc2217://HOST:PORT as written out again
};

// False with the rule in `problem` when the text follows it not.
bool ParsePortArgument(std::string_view text, PortArgument& port, std::string& problem);
