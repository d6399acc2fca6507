#pragma once
// --modem: the radio inside an M82KD modem. The modem is put into its radio configuration mode
// before the command and back into AT mode after it, whatever the command's outcome.

#include "cli/CliCommands.h"

// Runs `run` with the modem in configuration mode; its status, or kExitFailed when the modem
// could not be switched (its reply in the message) or not switched back.
int RunInsideModem(CliContext& ctx, int (*run)(CliContext&));
