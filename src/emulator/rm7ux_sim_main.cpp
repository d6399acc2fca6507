// rm7ux-sim: an emulated RM7UX/RM7VX radio (or M82KD modem) on a pseudo-terminal, attached as a
// COM port in the per-user ports folder, so the tool can be run and tried without hardware.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "emulator/RadioEmulator.h"
#include "emulator/ServeRadio.h"
#include "platform/PortArgument.h"

namespace {

const char* const kHelp =
    "Usage: rm7ux-sim [options]\n"
    "Emulates an RM7UX or RM7VX data radio (or an M82KD modem with its radio) on a\n"
    "pseudo-terminal and attaches it as COM<n> in the per-user ports folder\n"
    "($XDG_CONFIG_HOME/KorvaTech/CFG_RM7UX_Radio/ports). It serves until SIGINT, SIGTERM,\n"
    "SIGHUP or SIGQUIT, then removes the link.\n"
    "\n"
    "At start it prints two lines and flushes, for scripts to wait on:\n"
    "  COM <n>\n"
    "  DEVICE <pty path>\n"
    "\n"
    "Radio:\n"
    "  --model RM7UH|RM7UL|RM7VX  high-power RM7UX (\"RM7UH V1.12A\", the default), low-power\n"
    "                             RM7UX (\"RM7UL V1.11Z\", too old for PV) or RM7VX (\"RM7VX "
    "V2.03\")\n"
    "  --serial N                 serial number in decimal (default per model, e.g. 12345678)\n"
    "  --radio-version TEXT       the text \"RV\" answers (--version TEXT says the same)\n"
    "  --field CODE=HEX           set a field, e.g. --field PT=5780 --field PL2=90 (repeatable)\n"
    "  --modem                    the radio sits inside an M82KD modem (starts in AT mode)\n"
    "  --port N, -p N             COM number to attach, 7 or COM7 (default: the first free\n"
    "                             one from 100); --port=N also works\n"
    "  --pace                     9600 baud timing: 1.0417 ms per character each way\n"
    "  --verbose                  print every event the radio sees on standard error, and\n"
    "                             the line's settings (\"line 9600 8N1\") when they change\n"
    "Faults:\n"
    "  --silent                   answer nothing at all\n"
    "  --no-echo                  do not echo characters\n"
    "  --wrong-echo               echo '#' in place of each character\n"
    "  --lower-case-echo          echo letters in lower case\n"
    "  --garbage FIELD            send FIELD's value as non-hex characters\n"
    "  --no-model                 \"RV\" names no model\n"
    "  --no-prompt                never send the \">\" prompt\n"
    "  --char-delay MS            slow replies: MS more for every character sent\n"
    "  --hang-up-after N          hang up after answering N commands\n"
    "  --help                     this text\n"
    "  --version                  the program's version (with no text after it)\n"
    "\n"
    "Exit status: 0 after a signal, 1 when the port cannot be made (or on any other failure),\n"
    "2 for bad options.\n";

bool ParseNumber(const std::string& text, int base, unsigned long& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text.c_str(), &end, base);
    return errno == 0 && end != nullptr && *end == '\0' && text[0] != '-';
}

int Usage(const std::string& problem) {
    std::cerr << "rm7ux-sim: " << problem << "\nTry rm7ux-sim --help\n";
    return 2;
}

int Main(int argc, char** argv) {
    EmulatorOptions options;
    RadioFaults faults;
    std::string model = "RM7UH";
    std::string version;
    std::optional<uint32_t> serial;
    std::vector<std::pair<std::string, uint32_t>> fields;
    bool verbose = false;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            inlineValue = arg.substr(arg.find('=') + 1);
            arg.resize(arg.find('='));
        } else if (arg.size() > 2 && arg.rfind("-p", 0) == 0) {
            inlineValue = arg.substr(2);
            arg = "--port";
        }
        if (arg == "-p")
            arg = "--port";
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        // "--version" alone asks for the program's version; with a text after it, it stays what
        // it has always been here, the emulated radio's version text.
        if (arg == "--version" && !inlineValue && (i + 1 >= argc || argv[i + 1][0] == '-')) {
            std::cout << "rm7ux-sim " << RM7UX_PROJECT_VERSION << "\n";
            return 0;
        }
        std::string v;
        unsigned long n = 0;
        if (arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return 0;
        } else if (arg == "--model") {
            if (!value(model))
                return Usage("--model needs a model");
        } else if (arg == "--serial") {
            if (!value(v) || !ParseNumber(v, 10, n) || n > 0xFFFFFFFFul)
                return Usage("--serial needs a decimal number from 0 to 4294967295");
            serial = static_cast<uint32_t>(n);
        } else if (arg == "--version" || arg == "--radio-version") {
            if (!value(version))
                return Usage(arg + " needs a text");
        } else if (arg == "--field") {
            auto eq = std::string::npos;
            if (value(v))
                eq = v.find('=');
            std::string code = eq != std::string::npos ? v.substr(0, eq) : "";
            if (eq == std::string::npos || RadioFields::Width(code) == 0 ||
                !ParseNumber(v.substr(eq + 1), 16, n) || n > 0xFFFFFFFFul)
                return Usage("--field needs CODE=HEX with a field code such as PT or PL2");
            fields.emplace_back(code, static_cast<uint32_t>(n));
        } else if (arg == "--modem") {
            options.Modem = true;
        } else if (arg == "--port") {
            // The one port rule of every program; an address names a port on another machine,
            // where no radio can be served from here.
            PortArgument port;
            std::string problem;
            if (value(v) && LooksLikeAddress(v))
                return Usage("--port " + v +
                             ": an address names a device server's port; the "
                             "emulated radio is served here, as a COM port of this machine");
            if (!ParsePortArgument(v, port, problem) || !port.Number)
                return Usage("--port needs a COM number from 1 to 256 (7 or COM7)");
            options.ComPort = *port.Number;
        } else if (arg == "--pace") {
            options.Pace = true;
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--silent") {
            faults.Silent = true;
        } else if (arg == "--no-echo") {
            faults.NoEcho = true;
        } else if (arg == "--wrong-echo") {
            faults.WrongEcho = true;
        } else if (arg == "--lower-case-echo") {
            faults.LowerCaseEcho = true;
        } else if (arg == "--garbage") {
            if (!value(faults.GarbageField) ||
                (RadioFields::Width(faults.GarbageField) == 0 && faults.GarbageField != "PL"))
                return Usage("--garbage needs a field code such as PT");
        } else if (arg == "--no-model") {
            faults.NoModel = true;
        } else if (arg == "--no-prompt") {
            faults.NoPrompt = true;
        } else if (arg == "--char-delay") {
            if (!value(v) || !ParseNumber(v, 10, n) || n > 10000)
                return Usage("--char-delay needs milliseconds from 0 to 10000");
            faults.CharDelayMs = static_cast<int>(n);
        } else if (arg == "--hang-up-after") {
            if (!value(v) || !ParseNumber(v, 10, n) || n > 1000000)
                return Usage("--hang-up-after needs a number of commands");
            faults.HangUpAfterCommands = static_cast<int>(n);
        } else {
            return Usage("unknown option " + arg);
        }
    }

    try {
        options.Radio = RadioPersonality::ByName(model, serial);
    } catch (const std::exception&) {
        return Usage("--model must be RM7UH, RM7UL or RM7VX");
    }
    if (!version.empty())
        options.Radio.VersionText = version;
    for (const auto& [code, value] : fields) {
        options.Radio.Fields.Set(code, value);
        if (RadioFields::IsEditable(code))
            options.Radio.Flash.Set(code, value);
    }
    if (verbose) {
        options.OnEvent = [](const RadioEvent& e) {
            std::fprintf(stderr, "%s\n", e.Text().c_str());
        };
        options.OnLine = [](const LineSettings& line) {
            std::fprintf(stderr, "line %s\n", LineText(line).c_str());
        };
    }

    return ServeUntilSignalled(options, faults, std::cout, std::cerr, "rm7ux-sim") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "rm7ux-sim: " << e.what() << "\n";
        return 1;
    }
}
