#pragma once
// The emulated radio as a program serves it: on its COM port until SIGINT, SIGTERM, SIGHUP or
// SIGQUIT. Used by rm7ux-sim and by `rm7ux simulate`.

#include <functional>
#include <ostream>
#include <string>

#include "emulator/RadioEmulator.h"

// Starts the radio, prints "COM <n>" and "DEVICE <pty path>" on `out` and flushes them, for
// scripts to wait on, calls `started`, and serves until one of those signals arrives; then stops
// the radio, which removes the port link. The radio keeps no events (options.OnEvent still sees
// each). The calling thread's signal mask is as before on return. False, with "<name>: <reason>"
// on `err`, when the port cannot be made.
bool ServeUntilSignalled(const EmulatorOptions& options, const RadioFaults& faults,
                         std::ostream& out, std::ostream& err, const std::string& name,
                         const std::function<void(const RadioEmulator&)>& started = {});
