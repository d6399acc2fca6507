// rm7ux: the command line's entry.

#include <unistd.h>

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "common/FormatSettings.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    SetDefaultFormatSettings(FormatSettings::FromLocale());
    std::vector<std::string> args(argv + 1, argv + argc);
    CliIO io{std::cout, std::cerr, std::cin, ::isatty(STDIN_FILENO) == 1};
    try {
        return RunCli(args, io);
    } catch (const std::exception& e) {
        // Unwinding closes the port and takes back what the run set up; then say what happened.
        std::cerr << "rm7ux: " << e.what() << "\n";
        return 1;
    }
}
