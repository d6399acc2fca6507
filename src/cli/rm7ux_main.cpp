// rm7ux: the command line's entry.

#include <unistd.h>

#include <clocale>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "common/FormatSettings.h"
#include "config/INIunit.h"
#include "platform/UserFolders.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // A file-size limit (ulimit -f) then fails a write with EFBIG, reported like a full disk,
    // instead of killing the program half-way through a file.
    std::signal(SIGXFSZ, SIG_IGN);
    SetDefaultFormatSettings(FormatSettings::FromLocale());
    std::vector<std::string> args(argv + 1, argv + argc);
    // The settings file beside the program sets the recommended lowest cut-out, as for the window.
    SetSettingsFolder(ExecutableFolder());
    LoadSettings();
    if (!SettingsProblem.empty())
        std::cerr << "rm7ux: " << SettingsProblem << "\n";
    CliIO io{std::cout, std::cerr, std::cin, ::isatty(STDIN_FILENO) == 1,
             ::isatty(STDERR_FILENO) == 1};
    try {
        return RunCli(args, io);
    } catch (const std::exception& e) {
        // Unwinding closes the port and takes back what the run set up; then say what happened.
        std::cerr << "rm7ux: " << e.what() << "\n";
        return 1;
    }
}
