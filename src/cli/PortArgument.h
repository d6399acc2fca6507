#pragma once
// What --port may be, in one rule for every program: a COM number from 1 to 256, written "7",
// "COM7" or "COM 7" (any letter case, blanks around allowed), or "auto" (the one radio present)
// or "auto-all" (every port probed).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct PortArgument {
    std::optional<uint32_t> Number;
    std::string Auto;  // "auto" or "auto-all"; empty for a number
};

// False with the rule in `problem` when the text follows it not.
bool ParsePortArgument(std::string_view text, PortArgument& port, std::string& problem);
