// rm7ux: the command line's entry.

#include <stdio_ext.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/TerminalText.h"
#include "common/FormatSettings.h"
#include "config/INIunit.h"
#include "platform/UserFolders.h"

namespace {

// As coreutils' close_stdout: what could not be written to standard output (a full disk, a
// closed descriptor) makes a result that looks whole but is not, so it is an error, said on
// standard error, and the status that a file that cannot be written has.
int CloseStandardOutput(int status) {
    errno = 0;
    std::cout.flush();
    const int flushError = errno;
    const bool pending = __fpending(stdout) != 0;
    const bool failedBefore = std::ferror(stdout) != 0;
    errno = 0;
    const bool closeFailed = std::fclose(stdout) != 0;
    // Nothing written to a closed descriptor is no error: nothing was lost.
    if (!failedBefore && !(closeFailed && (pending || errno != EBADF)))
        return status;
    const int err = closeFailed ? errno : flushError;
    std::cerr << "rm7ux: write error" << (err != 0 ? std::string(": ") + std::strerror(err) : "")
              << "\n";
    return kExitUsage;
}

}  // namespace

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
        std::cerr << "rm7ux: " << TerminalSafeLines(SettingsProblem) << "\n";
    CliIO io{std::cout, std::cerr, std::cin, ::isatty(STDIN_FILENO) == 1,
             ::isatty(STDERR_FILENO) == 1};
    int status = kExitFailed;
    try {
        status = RunCli(args, io);
    } catch (const std::exception& e) {
        // Unwinding closes the port and takes back what the run set up; then say what happened.
        std::cerr << "rm7ux: " << TerminalSafeLines(e.what()) << "\n";
    }
    return CloseStandardOutput(status);
}
