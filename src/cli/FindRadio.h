#pragma once
// --port auto / auto-all: the radio found among the ports present.

#include "cli/CliCommands.h"

// Tries the candidate ports with the identification exchange, reporting each on standard error,
// and sets ctx.ComPort (or ctx.Device) to the one a radio answers on. kExitOk, or kExitFailed
// when none answers.
int FindRadioPort(CliContext& ctx, bool builtIn);
