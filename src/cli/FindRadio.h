#pragma once
// --port: a COM number, or "auto" / "auto-all" to find the radio among the ports present.

#include <cstdint>
#include <optional>
#include <string>

#include "cli/CliCommands.h"

struct PortChoice {
    uint32_t Number = 0;  // 1..256; 0 with Auto
    bool Auto = false;
    bool BuiltIn = false;  // auto-all: built-in ttyS ports too
};

// "7", "auto" or "auto-all"; nothing for anything else.
std::optional<PortChoice> ParsePortChoice(const std::string& text);

// Tries the candidate ports with the identification exchange, reporting each on standard error,
// and sets ctx.ComPort (or ctx.Device) to the one a radio answers on. kExitOk, or kExitFailed
// when none answers.
int FindRadioPort(CliContext& ctx, bool builtIn);
