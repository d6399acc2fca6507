#pragma once
// Runs the built rm7ux as a user would: a separate process with the test's environment (so its
// ports folder), standard input from /dev/null, its output collected.

#include <chrono>
#include <string>
#include <vector>

#include "Subprocess.h"

using CliResult = RunResult;

// `folder` holds the captured output while the program runs.
inline CliResult RunRm7ux(std::vector<std::string> args, const std::string& folder,
                          std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
    args.insert(args.begin(), RM7UX_CLI_PATH);
    return RunProgram(args, folder + "/cli", deadline);
}
