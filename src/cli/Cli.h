#pragma once
// rm7ux: the radio from a terminal, on the same core as the window. Results go to standard
// output; messages, questions and the reasons for a failure go to standard error.

#include <istream>
#include <ostream>
#include <string>
#include <vector>

// Exit statuses; --help lists them.
enum CliExit : int {
    kExitOk = 0,
    kExitFailed = 1,   // the radio could not be reached, an exchange failed, a verify mismatch
    kExitUsage = 2,    // bad command line, a file that cannot be read or written
    kExitRefused = 3,  // wrong device, declined, file exists, field the firmware lacks
};

struct CliIO {
    std::ostream& Out;
    std::ostream& Err;
    std::istream& In;
    bool InteractiveInput = false;  // In is a terminal the user can answer questions on
    bool ProgressLines = false;     // Err is a terminal: the longer commands show their stages
};

// Runs one command line (the arguments after the program's name); returns the exit status.
int RunCli(const std::vector<std::string>& args, const CliIO& io);
