#include "cli/Cli.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <span>
#include <string_view>

#include "cli/CliCommands.h"
#include "cli/FindRadio.h"
#include "cli/InsideModem.h"
#include "cli/TerminalDialogs.h"
#include "cli/TerminalText.h"
#include "cli/TrafficLog.h"
#include "common/StrUtils.h"
#include "config/FieldTable.h"
#include "config/RadioSettings.h"
#include "config/Version.h"
#include "history/ChangeHistory.h"
#include "history/Journal.h"
#include "operations/RadioOperations.h"
#include "platform/PortArgument.h"

const std::vector<CliCommand>& CliCommandTable() {
    static const std::vector<CliCommand> kCommands = {
        {"identify",
         "[--json]",
         "model, power variant, version, serial number, hardware revision",
         "Identifies the radio and prints one 'Name: value' line each for its model, power\n"
         "variant, version text, serial number (eight digits) and hardware revision; with\n"
         "--json, one JSON document (README, \"JSON\").\n",
         {"--json"},
         {},
         0,
         0,
         RunIdentify},
        {"status",
         "[--json]",
         "temperature, raw RSSI and alarms",
         "Prints the radio's temperature in degrees Celsius, its raw RSSI and its alarms\n"
         "(\"No Alarms\", or the names of the active ones: Temp, PTT, PLL, Ant); with --json,\n"
         "one JSON document.\n",
         {"--json"},
         {},
         0,
         0,
         RunStatus},
        {"read",
         "[--json]",
         "the whole flash record",
         "Reads every field of the radio's flash record and prints it, one KEY=value line each\n"
         "named as the configuration file names them; with --json, one JSON document that\n"
         "gives every setting by name with its field code, unit, value in that unit and raw\n"
         "digits (schema \"rm7ux\", version 1; README, \"JSON\"). 'program' takes it back.\n",
         {"--json"},
         {},
         0,
         0,
         RunRead},
        {"save",
         "FILE [--force]",
         "read the radio into a configuration file",
         "Reads the radio's flash record and writes it to FILE (by convention .RM7UX or\n"
         ".RM7VX). An existing FILE is refused (status 3) unless --force is given.\n",
         {"--force"},
         {},
         1,
         1,
         RunSave},
        {"program",
         "FILE [--yes]",
         "program a configuration file into its radio",
         "Loads FILE and checks that it belongs to the connected radio by the serial number\n"
         "on its circuit board: the same number programs everything but the serial number; a\n"
         "radio without a valid serial number takes the file's after two confirmations\n"
         "(asked on the terminal, or given by --yes); any other radio is refused (status 3).\n"
         "Then writes the fields, saves them to flash, resets the radio, reads it back and\n"
         "lists every field that did not take (status 1). FILE is a configuration file or a\n"
         "JSON record as 'read --json' prints it (each setting by its value or its raw digits;\n"
         "where both are given they must agree; a setting given twice is refused), and a\n"
         "regular file. A PV that the radio's firmware lacks is reported and left out, which\n"
         "is no failure.\n",
         {"--yes"},
         {},
         1,
         1,
         RunProgram},
        {"diff",
         "FILE",
         "fields that differ between a configuration file and the radio",
         "Reads the radio and prints, for each configuration field whose value differs from\n"
         "FILE's (a configuration file or a JSON record), 'KEY file=VALUE radio=VALUE' and,\n"
         "for a field with a setting, its name and both values in its unit:\n"
         "  PT file=$5780 radio=$5848 (tx-frequency: file 440.00000 MHz, radio 441.25000 MHz)\n"
         "Status fields (RH, RC, RT, RV) are not compared. Like diff(1), and unlike the other\n"
         "commands: status 0 the same, 1 different, 2 trouble (a file that cannot be loaded,\n"
         "a radio that cannot be read; the message says which).\n",
         {},
         {},
         1,
         1,
         RunDiff},
        {"get",
         "NAME...",
         "settings in their units, or fields by code",
         "Prints the value of each NAME, one line each, in one exchange: a setting in its unit\n"
         "(tx-frequency 441.25000 in MHz, power as the model's caption such as 5W,\n"
         "cutout-temperature in degrees Celsius), or a field by its code as the radio gives it\n"
         "(hexadecimal digits: 'get PT' prints 5780). Numbers always use '.' as the decimal\n"
         "point, whatever the locale.\n",
         {},
         {},
         1,
         64,
         RunGet},
        {"set",
         "NAME VALUE... [--flash] [--yes] [--force]",
         "change settings (working settings; --flash keeps them)",
         "Sets each NAME to VALUE in one exchange, with the window's rules: a frequency is\n"
         "snapped to the step's grid (the value printed is the one set), a cut-out temperature\n"
         "below the recommended minimum needs --yes. Where the window would clamp, set refuses\n"
         "and sends nothing: a value no model or not this model takes is status 2, a frequency\n"
         "outside the radio's band limits status 3 (the limits in the message). Every value is\n"
         "checked before the first is sent. Prints NAME=VALUE for each value set.\n"
         "A field code takes hexadecimal digits, at most the field's width (zero-filled; a\n"
         "leading $ is allowed). PN, the serial number on the circuit board, is written only\n"
         "after the two confirmations 'program' asks (on the terminal, or given by --yes).\n"
         "--flash saves everything to flash at the end ('rm7ux flash' does it later).\n"
         "'set step 5' re-encodes every frequency and limit on the new grid (keeping them in\n"
         "MHz), saves to flash and resets the radio: it needs --yes and is given on its own.\n"
         "--flash and step are refused (status 3) over an operation an earlier run left\n"
         "unfinished on this radio, unless --force is given.\n",
         {"--flash", "--yes", "--force"},
         {},
         2,
         128,
         RunSet},
        {"flash",
         "[--force]",
         "save the working settings to flash",
         "Makes the radio copy its working settings into flash (EE, then EP). Over an\n"
         "operation an earlier run left unfinished on this radio it is refused (status 3),\n"
         "naming it ('rm7ux repair' puts it right) unless --force is given.\n",
         {"--force"},
         {},
         0,
         0,
         RunFlash},
        {"repair",
         "[--yes]",
         "put right what a killed run left unfinished",
         "Looks in the journal of operations in flight for what an earlier run (killed, or\n"
         "ended without putting the radio right) left unfinished on the radio of this port,\n"
         "found by its serial number, or on the port itself, says what was in flight, and puts\n"
         "it right: a transmitter left keyed is released and its PTT time-out put back; when\n"
         "every write was confirmed and only the save to flash is missing, it is saved; when\n"
         "the working settings may be half-written, the radio is reset to its flash; an M82KD\n"
         "modem left in its radio configuration mode is returned to AT mode. The save and the\n"
         "reset are asked on a terminal, or given by --yes; elsewhere they are refused (status\n"
         "3). Status 0 when repaired or when there is nothing to repair, 1 when no radio\n"
         "answers. Every other command says first what it finds unfinished, and releases a\n"
         "transmitter left keyed.\n",
         {"--yes"},
         {},
         0,
         0,
         RunRepair},
        {"watch",
         "[--interval MS] [--csv] [--count N]",
         "RSSI and temperature, one line per reading",
         "Holds the port and prints the radio's raw RSSI and its temperature in degrees\n"
         "Celsius, one line per reading, every MS milliseconds (default 1000; 0 reads as fast\n"
         "as the line allows), until interrupted or, with --count, after N readings. With\n"
         "--csv, a header line and then 'time,rssi,temperature-c'. Every few seconds the radio\n"
         "is identified again (RV, PN): when another radio is found on the port, the watch\n"
         "stops with status 1.\n",
         {"--csv"},
         {"--interval", "--count"},
         0,
         0,
         RunWatch},
        {"history",
         "[--serial N] [--since DATE] [--json|--csv]",
         "the changes this user's tool made to radios",
         "Prints the history of changes made to radios from the window and the command line,\n"
         "newest first: time (UTC, 2026-12-08T09:30:00Z), serial number, model, the setting\n"
         "with its old and new values in its unit (or a save to flash), where the change came\n"
         "from and the operator. The radio is not needed, nor a port. --serial N keeps one\n"
         "radio's entries, --since DATE those from DATE on: YYYY-MM-DD, optionally with a time\n"
         "HH:MM[:SS] and a zone (Z, +HH:MM); without a zone it is local time. --json prints\n"
         "one JSON document (kind \"history\"), --csv comma-separated values with a header\n"
         "line of the JSON's keys; a cell a spreadsheet would run as a formula starts with '.\n"
         "An operation a killed run left unfinished comes first, as field \"unfinished\" with\n"
         "what was in flight ('rm7ux repair' puts it right).\n",
         {"--json", "--csv"},
         {"--serial", "--since"},
         0,
         0,
         RunHistory},
        {"ports",
         "[--json] [--pin N DEVICE|ADDRESS]",
         "the serial ports present; keep a cable or an address as COM N",
         "Lists the serial ports present: built-in UARTs, USB adapters (ttyUSB, ttyACM) and the\n"
         "links of the per-user ports folder, each with its COM number, device, stable\n"
         "/dev/serial/by-id name and, for USB, maker, product, serial number and driver; and\n"
         "the network ports, files COMn in that folder holding a device server's address.\n"
         "  --json          one JSON array instead of the table\n"
         "  --pin N DEVICE  make COM N lead to DEVICE (such as /dev/ttyUSB0) by its by-id name,\n"
         "                  so the number stays with the cable when it is plugged in again\n"
         "  --pin N ADDRESS make COM N the network port at ADDRESS (tcp://HOST:PORT or\n"
         "                  rfc2217://HOST:PORT), for the window's port list\n",
         {"--json"},
         {"--pin"},
         0,
         1,
         RunPorts},
        {"simulate",
         "[--model M] [--serial N] [--version TEXT] [--port N] [--pace]",
         "serve an emulated radio as a COM port until interrupted",
         "Emulates a radio on a pseudo-terminal and attaches it as COM N in the per-user ports\n"
         "folder (default: the first free number from 100). Prints 'COM N' and 'DEVICE PATH'\n"
         "on standard output, then serves until SIGINT, SIGTERM, SIGHUP or SIGQUIT.\n"
         "  --model RM7UH|RM7UL|RM7VX  high-power RM7UX (default), low-power RM7UX (firmware\n"
         "                             without PV) or RM7VX\n"
         "  --serial N                 serial number in decimal (0 is allowed)\n"
         "  --version TEXT             the text \"RV\" answers\n"
         "  --pace                     9600 baud timing\n"
         "Status 0 after the signal, 1 when the port cannot be made.\n",
         {"--pace"},
         {"--model", "--serial", "--version", "--port"},
         0,
         0,
         RunSimulate},
    };
    return kCommands;
}

const std::vector<CliGlobalOption>& CliGlobalOptions() {
    static const std::vector<CliGlobalOption> kOptions = {
        {"--port", "-p", "N"}, {"--device", "-d", "PATH"}, {"--log", "", "FILE"},
        {"--modem", "", ""},   {"--help", "-h", ""},       {"--version", "-V", ""},
    };
    return kOptions;
}

namespace {

// How long the run's end waits for a history another program holds.
constexpr int kHistoryWaitAtEndMs = 2000;

const CliGlobalOption* FindGlobalOption(std::string_view name) {
    for (const auto& o : CliGlobalOptions()) {
        if (o.Name == name || (!o.Short.empty() && o.Short == name))
            return &o;
    }
    return nullptr;
}

const CliCommand* FindCommand(std::string_view name) {
    for (const auto& c : CliCommandTable()) {
        if (c.Name == name)
            return &c;
    }
    return nullptr;
}

constexpr std::string_view kExitStatuses =
    "Exit status:\n"
    "  0  done\n"
    "  1  the radio could not be reached or an exchange failed (the link state, such as\n"
    "     \"No Connection\", and the reason on standard error); program: a field did not take\n"
    "  2  usage error, a value no model or not this model takes (nothing sent), or a file\n"
    "     that cannot be read or written (standard output too: a full disk)\n"
    "  3  refused: wrong device, not confirmed, file exists, a frequency outside the radio's\n"
    "     band limits, get or set of PV on firmware without it, a save to flash over an\n"
    "     operation a killed run left unfinished (repair puts it right)\n"
    "diff alone follows diff(1): 0 the same, 1 different, 2 trouble.\n";

void PrintUsage(std::ostream& out) {
    out << "Usage: rm7ux [--port N | --device PATH] [--log FILE] [--modem] COMMAND [ARGS]\n"
           "Configures an RM7UX or RM7VX data radio on a serial port.\n\n"
           "  --port N, -p N  the radio is on COM N (default: the port the window last used):\n"
           "                  a number from 1 to 256 written 7, COM7 or COM 7, or auto or\n"
           "                  auto-all for automatic detection; a link COMn in the per-user\n"
           "                  ports folder names its device, a file COMn there holding an\n"
           "                  address makes it a network port\n"
           "  --port tcp://HOST:PORT, --port rfc2217://HOST:PORT\n"
           "                  the radio is on a serial device server's port (raw TCP, or\n"
           "                  telnet with RFC 2217), such as ser2net's; the connection is held\n"
           "                  for the whole command\n"
           "  --device PATH, -d PATH  the radio is on this device (such as /dev/ttyUSB0)\n"
           "  --log FILE      keep the whole command's traffic, both directions, in FILE (a\n"
           "                  regular file)\n"
           "  --modem         the radio is inside an M82KD modem: switch the modem to its radio\n"
           "                  configuration mode first and back to AT mode afterwards\n"
           "  --version       the program's version\n"
           "Options may also be written --port=N, and may follow the command. Numbers are read\n"
           "and printed with '.' as the decimal point, whatever the locale.\n\n"
           "Commands:\n";
    for (const auto& c : CliCommandTable()) {
        std::string head = std::string(c.Name) + " " + std::string(c.Synopsis);
        out << "  " << head;
        out << std::string(head.size() < 22 ? 22 - head.size() : 1, ' ') << c.Summary << "\n";
    }
    out << "\n'rm7ux COMMAND --help' describes a command.\n\n" << kExitStatuses;
}

void PrintCommandHelp(std::ostream& out, const CliCommand& c) {
    out << "Usage: rm7ux [--port N | --device PATH] " << c.Name << (c.Synopsis.empty() ? "" : " ")
        << c.Synopsis << "\n"
        << c.Summary << ".\n\n"
        << c.Details;
    if (c.Name == "get" || c.Name == "set") {
        out << "\nSettings (unit, field, meaning):\n";
        for (const auto& s : RadioSettingTable()) {
            if (c.Name == "set" && !s.Writable)
                continue;
            std::string name(s.Name);
            std::string unit(s.Unit.empty() ? "-" : s.Unit);
            std::string code(s.Code.empty() ? "-" : s.Code);
            const size_t unitWidth = TerminalColumns(unit);
            out << "  " << name << std::string(name.size() < 25 ? 25 - name.size() : 1, ' ') << unit
                << std::string(unitWidth < 5 ? 5 - unitWidth : 1, ' ') << code
                << std::string(5 - code.size(), ' ') << s.Meaning
                << (s.Writable || c.Name == "set" ? "" : " (read only)") << "\n";
        }
        out << "\nCodes (digits, meaning):\n";
        for (const auto& f : RadioFieldTable()) {
            bool writable = f.Access == FieldAccess::Editable || f.Access == FieldAccess::Level;
            if (c.Name == "set" && !writable)
                continue;
            std::string code(f.Code);
            out << "  " << code << std::string(5 - code.size(), ' ')
                << (f.Digits == 0 ? std::string("text") : std::to_string(f.Digits)) << "  "
                << f.Meaning << (writable ? "" : " (read only)") << "\n";
        }
    }
    out << "\n" << kExitStatuses;
}

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

bool ListHas(const std::vector<std::string_view>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

int GlobalUsageError(const CliIO& io, const std::string& problem) {
    io.Err << "rm7ux: " << TerminalSafe(problem) << "\nTry 'rm7ux --help'.\n";
    return kExitUsage;
}

// An operand that only looks like an option: a negative number ("set cutout-temperature -10").
bool IsOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && !ParseDecimal(arg);
}

// "--port=7" is "--port" "7"; "-p7" is "-p" "7".
std::pair<std::string, std::optional<std::string>> SplitOption(const std::string& arg) {
    if (StartsWith(arg, "--")) {
        const size_t eq = arg.find('=');
        if (eq != std::string::npos)
            return {arg.substr(0, eq), arg.substr(eq + 1)};
    } else if (const CliGlobalOption* o = FindGlobalOption(arg.substr(0, 2));
               arg.size() > 2 && o != nullptr && !o->Value.empty()) {
        return {arg.substr(0, 2), arg.substr(2)};
    }
    return {arg, std::nullopt};
}

// The options that choose the port and the log, wherever they stand. Returns -1 when `arg` is
// not one of them, else the exit status (kExitOk when taken).
int GlobalOption(const std::string& arg, std::span<const std::string> args, size_t& i,
                 CliContext& ctx) {
    auto [name, inlineValue] = SplitOption(arg);
    const CliGlobalOption* option = FindGlobalOption(name);
    if (option == nullptr || option->Name == "--help" || option->Name == "--version")
        return -1;
    name = option->Name;
    if (name == "--modem" && !inlineValue) {
        ctx.Modem = true;
        return kExitOk;
    }
    if (option->Value.empty())
        return -1;
    std::string value;
    if (inlineValue) {
        value = *inlineValue;
    } else {
        if (i + 1 >= args.size())
            return GlobalUsageError(ctx.IO, name + " needs a value");
        value = args[++i];
    }
    if (name == "--port") {
        std::string problem;
        if (!ParsePortArgument(value, ctx.Port, problem)) {
            if (StartsWith(TrimView(value), "/"))
                problem += "; for a device, use --device " + std::string(TrimView(value));
            return GlobalUsageError(ctx.IO, problem);
        }
    } else if (name == "--device") {
        if (value.empty())
            return GlobalUsageError(ctx.IO, "--device needs a path");
        std::error_code ec;
        ctx.Device = std::filesystem::absolute(value, ec).string();
        if (ec)
            ctx.Device = value;
    } else {
        if (value.empty())
            return GlobalUsageError(ctx.IO, "--log needs a file name");
        ctx.LogFile = value;
    }
    return kExitOk;
}

// The command's operands, flags and valued options, in any order, and the global options.
int ParseCommandArgs(const CliCommand& c, std::span<const std::string> args, CliContext& ctx) {
    const std::string name(c.Name);
    bool operandsOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!operandsOnly && arg == "--") {
            operandsOnly = true;
        } else if (!operandsOnly && IsOption(arg)) {
            auto [option, inlineValue] = SplitOption(arg);
            // A command with a port of its own (simulate) takes -p as its --port.
            if (option == "-p" && ListHas(c.ValueOptions, "--port"))
                option = "--port";
            if (ListHas(c.Flags, arg)) {
                ctx.Flags.insert(arg);
            } else if (ListHas(c.ValueOptions, option)) {
                if (inlineValue) {
                    ctx.Options[option] = *inlineValue;
                } else {
                    if (i + 1 >= args.size())
                        return UsageError(ctx, name, option + " needs a value");
                    ctx.Options[option] = args[++i];
                }
            } else if (int status = GlobalOption(arg, args, i, ctx); status != -1) {
                if (status != kExitOk)
                    return status;
            } else {
                return UsageError(ctx, name, "unknown option " + TerminalSafe(arg));
            }
        } else {
            ctx.Args.push_back(arg);
        }
    }
    if (ctx.Args.size() < c.MinOperands)
        return UsageError(ctx, name, "missing operand");
    if (ctx.Args.size() > c.MaxOperands)
        return UsageError(ctx, name,
                          "unexpected operand '" + TerminalSafe(ctx.Args[c.MaxOperands]) + "'");
    return kExitOk;
}

}  // namespace

void FinishHistory(const CliContext& ctx) {
    // The run's end: what waited for a busy history goes in, or stays in the journal.
    const bool waited = ctx.History->HasPending();
    if (!ctx.History->FlushPending(kHistoryWaitAtEndMs) && waited) {
        ctx.Err() << "rm7ux: the history of changes is still in use: this run's entries stay in "
                     "the journal, and the next run writes them\n";
    }
    for (std::string w; !(w = ctx.History->TakeWarning()).empty();)
        ctx.Err() << "rm7ux: " << TerminalSafe(w) << "\n";
    if (std::string w = ctx.Journal->TakeWarning(); !w.empty())
        ctx.Err() << "rm7ux: " << TerminalSafe(w) << "\n";
}

void Progress(const CliContext& ctx, const std::string& stage) {
    if (ctx.IO.ProgressLines)
        ctx.Err() << "rm7ux: " << TerminalSafe(stage) << "...\n" << std::flush;
}

int UsageError(const CliContext& ctx, const std::string& command, const std::string& problem) {
    ctx.Err() << "rm7ux " << command << ": " << problem << "\nTry 'rm7ux " << command
              << " --help'.\n";
    return kExitUsage;
}

int RunCli(const std::vector<std::string>& args, const CliIO& io) {
    CliContext ctx{io};
    size_t i = 0;
    for (; i < args.size() && IsOption(args[i]); ++i) {
        const std::string& arg = args[i];
        if (IsHelp(arg)) {
            PrintUsage(io.Out);
            return kExitOk;
        }
        if (arg == "--version" || arg == "-V") {
            io.Out << "rm7ux " << GetPackageVersion() << "\n";
            return kExitOk;
        }
        int status = GlobalOption(arg, args, i, ctx);
        if (status == -1)
            return GlobalUsageError(io, "unknown option " + arg);
        if (status != kExitOk)
            return status;
    }
    if (i >= args.size()) {
        PrintUsage(io.Err);
        return kExitUsage;
    }
    const CliCommand* command = FindCommand(args[i]);
    if (command == nullptr)
        return GlobalUsageError(io, "unknown command '" + args[i] + "'");
    std::span<const std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                      args.end());
    if (std::any_of(rest.begin(), rest.end(), [](const std::string& a) { return IsHelp(a); })) {
        PrintCommandHelp(io.Out, *command);
        return kExitOk;
    }
    if (int status = ParseCommandArgs(*command, rest, ctx); status != kExitOk)
        return status;
    if ((ctx.Port.Number || !ctx.Port.Auto.empty() || !ctx.Port.Address.empty()) &&
        !ctx.Device.empty())
        return GlobalUsageError(io, "--port and --device exclude each other");
    // These never reach a radio: the port options are not theirs to act on.
    const bool portless =
        command->Name == "ports" || command->Name == "simulate" || command->Name == "history";
    // The search identifies radios; a modem in AT mode answers it with "OK", not a prompt.
    if (!ctx.Port.Auto.empty() && ctx.Modem && !portless)
        return GlobalUsageError(io, "--port auto finds plain radios only; give the modem's port");
    ctx.ComPort = ctx.Port.Number;
    TrafficLog log;
    if (!ctx.LogFile.empty()) {
        std::string problem;
        if (!log.Open(ctx.LogFile, problem))
            return GlobalUsageError(io, problem);
        ctx.Log = &log;
    }
    TerminalDialogs dialogs(io.In, io.Err, io.InteractiveInput, ctx.Flag("--yes"));
    // One history and one journal for the whole run: a busy history is waited for once.
    ChangeHistory history;
    OperationJournal journal;
    ctx.History = &history;
    ctx.Journal = &journal;
    int status = kExitOk;
    if (!portless && !ctx.Port.Auto.empty())
        status = FindRadioPort(ctx, ctx.Port.Auto == "auto-all");
    const bool radio = !portless;
    std::optional<TransmitterKeyingWatch> keying;
    if (radio)
        keying.emplace(
            &journal, [label = CliPortLabel(ctx)] { return label; }, "cli");
    if (status == kExitOk && ctx.Modem && radio) {
        status = RunInsideModem(ctx, command->Run);
    } else if (status == kExitOk) {
        if (radio && command->Name != "repair")
            NoticeUnfinished(ctx);
        status = command->Run(ctx);
    }
    keying.reset();
    FinishHistory(ctx);
    if (ctx.Log != nullptr && !log.Finish()) {
        io.Err << "rm7ux: " << TerminalSafe(log.Problem()) << "\n";
        if (status == kExitOk)
            status = kExitUsage;
    }
    return status;
}
