#include "cli/Cli.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <span>
#include <string_view>

#include "cli/CliCommands.h"
#include "cli/FieldTable.h"
#include "cli/FindRadio.h"
#include "cli/InsideModem.h"
#include "cli/TerminalDialogs.h"
#include "common/StrUtils.h"

namespace {

struct CliCommand {
    std::string_view Name;
    std::string_view Synopsis;  // operands and options after the name
    std::string_view Summary;   // one line for the command list
    std::string_view Details;   // the rest of its --help
    std::vector<std::string_view> Flags;
    std::vector<std::string_view> ValueOptions;
    size_t MinOperands;
    size_t MaxOperands;
    int (*Run)(CliContext&);
};

const std::vector<CliCommand>& Commands() {
    static const std::vector<CliCommand> kCommands = {
        {"identify",
         "",
         "model, power variant, version, serial number, hardware revision",
         "Identifies the radio and prints one 'Name: value' line each for its model, power\n"
         "variant, version text, serial number (eight digits) and hardware revision.\n",
         {},
         {},
         0,
         0,
         RunIdentify},
        {"status",
         "",
         "temperature, raw RSSI and alarms",
         "Prints the radio's temperature in degrees Celsius, its raw RSSI and its alarms\n"
         "(\"No Alarms\", or the names of the active ones: Temp, PTT, PLL, Ant).\n",
         {},
         {},
         0,
         0,
         RunStatus},
        {"read",
         "[--json]",
         "the whole flash record",
         "Reads every field of the radio's flash record and prints it, one KEY=value line each\n"
         "named as the configuration file names them; with --json, one JSON object named by\n"
         "the record's fields (Ctcss, FreqRange as an array, FirmwareVersion...).\n",
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
         "lists every field that did not take (status 1).\n",
         {"--yes"},
         {},
         1,
         1,
         RunProgram},
        {"diff",
         "FILE",
         "fields that differ between a configuration file and the radio",
         "Reads the radio and prints, for each configuration field whose value differs from\n"
         "FILE's, 'KEY file=VALUE radio=VALUE'. Nothing printed means they agree (status 0\n"
         "either way). Status fields (RH, RC, RT, RV) are not compared.\n",
         {},
         {},
         1,
         1,
         RunDiff},
        {"get",
         "CODE",
         "one field of the radio",
         "Prints the value of one field as the radio gives it (hexadecimal digits; the text\n"
         "for RV). CODE is one of the codes listed below.\n",
         {},
         {},
         1,
         1,
         RunGet},
        {"set",
         "CODE VALUE",
         "change one field (not saved to flash)",
         "Sets one field of the radio's working settings. VALUE is hexadecimal, at most the\n"
         "field's width (shorter values are zero-filled; a leading $ is allowed). Use 'flash'\n"
         "to keep it over a reset.\n",
         {},
         {},
         2,
         2,
         RunSet},
        {"flash",
         "",
         "save the working settings to flash",
         "Makes the radio copy its working settings into flash (EE, then EP).\n",
         {},
         {},
         0,
         0,
         RunFlash},
        {"ports",
         "[--json] [--pin N DEVICE]",
         "the serial ports present; keep a cable as COM N",
         "Lists the serial ports present: built-in UARTs, USB adapters (ttyUSB, ttyACM) and the\n"
         "links of the per-user ports folder, each with its COM number, device, stable\n"
         "/dev/serial/by-id name and, for USB, maker, product, serial number and driver.\n"
         "  --json          one JSON array instead of the table\n"
         "  --pin N DEVICE  make COM N lead to DEVICE (such as /dev/ttyUSB0) by its by-id name,\n"
         "                  so the number stays with the cable when it is plugged in again\n",
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

const CliCommand* FindCommand(std::string_view name) {
    for (const auto& c : Commands()) {
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
    "  2  usage error, or a file that cannot be read or written\n"
    "  3  refused: wrong device, not confirmed, file exists, field the firmware lacks\n";

void PrintUsage(std::ostream& out) {
    out << "Usage: rm7ux [--port N | --device PATH] [--log FILE] [--modem] COMMAND [ARGS]\n"
           "Configures an RM7UX or RM7VX data radio on a serial port.\n\n"
           "  --port N       the radio is on COM N (default: the port the window last used);\n"
           "                 a link COMn in the per-user ports folder names its device;\n"
           "                 auto: the first USB port or link where a radio answers (auto-all:\n"
           "                 built-in ttyS ports too); ports other programs hold are not tried\n"
           "  --device PATH  the radio is on this device (such as /dev/ttyUSB0)\n"
           "  --log FILE     write the link's traffic log to FILE\n"
           "  --modem        the radio is inside an M82KD modem: switch the modem to its radio\n"
           "                 configuration mode first and back to AT mode afterwards\n\n"
           "Commands:\n";
    for (const auto& c : Commands()) {
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
        out << "\nCodes (digits, meaning):\n";
        for (const auto& f : RadioFieldTable()) {
            bool writable = f.Access == FieldAccess::Editable || f.Access == FieldAccess::Level;
            if (c.Name == "set" && !writable)
                continue;
            std::string code(f.Code);
            out << "  " << code << std::string(5 - code.size(), ' ')
                << (f.Width == 0 ? std::string("text") : std::to_string(f.Width)) << "  "
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
    io.Err << "rm7ux: " << problem << "\nTry 'rm7ux --help'.\n";
    return kExitUsage;
}

// The command's operands, flags and valued options, in any order.
int ParseCommandArgs(const CliCommand& c, std::span<const std::string> args, CliContext& ctx) {
    const std::string name(c.Name);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-') {
            if (ListHas(c.Flags, arg)) {
                ctx.Flags.insert(arg);
            } else if (ListHas(c.ValueOptions, arg)) {
                if (i + 1 >= args.size())
                    return UsageError(ctx, name, arg + " needs a value");
                ctx.Options[arg] = args[++i];
            } else {
                return UsageError(ctx, name, "unknown option " + arg);
            }
        } else {
            ctx.Args.push_back(arg);
        }
    }
    if (ctx.Args.size() < c.MinOperands)
        return UsageError(ctx, name, "missing operand");
    if (ctx.Args.size() > c.MaxOperands)
        return UsageError(ctx, name, "unexpected operand '" + ctx.Args[c.MaxOperands] + "'");
    return kExitOk;
}

}  // namespace

int UsageError(const CliContext& ctx, const std::string& command, const std::string& problem) {
    ctx.Err() << "rm7ux " << command << ": " << problem << "\nTry 'rm7ux " << command
              << " --help'.\n";
    return kExitUsage;
}

int RunCli(const std::vector<std::string>& args, const CliIO& io) {
    CliContext ctx{io};
    std::optional<PortChoice> autoPort;
    bool modem = false;
    size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
        const std::string& arg = args[i];
        if (IsHelp(arg)) {
            PrintUsage(io.Out);
            return kExitOk;
        }
        if (arg == "--modem") {
            modem = true;
            continue;
        }
        if (arg != "--port" && arg != "--device" && arg != "--log")
            return GlobalUsageError(io, "unknown option " + arg);
        if (i + 1 >= args.size())
            return GlobalUsageError(io, arg + " needs a value");
        const std::string& value = args[++i];
        if (arg == "--port") {
            std::optional<PortChoice> port = ParsePortChoice(value);
            if (!port)
                return GlobalUsageError(io, "--port needs a COM number from 1 to 256, or auto");
            if (port->Auto) {
                autoPort = port;
            } else {
                ctx.ComPort = port->Number;
            }
        } else if (arg == "--device") {
            if (value.empty())
                return GlobalUsageError(io, "--device needs a path");
            std::error_code ec;
            ctx.Device = std::filesystem::absolute(value, ec).string();
            if (ec)
                ctx.Device = value;
        } else {
            // Checked here: the link would only say that the port is not available.
            if (!std::ofstream(value, std::ios::app))
                return GlobalUsageError(io, "cannot write the log file " + value);
            ctx.LogFile = value;
        }
    }
    // The search identifies radios; a modem in AT mode answers it with "OK", not a prompt.
    if (autoPort && modem)
        return GlobalUsageError(io, "--port auto finds plain radios only; give the modem's port");
    if ((ctx.ComPort || autoPort) && !ctx.Device.empty())
        return GlobalUsageError(io, "--port and --device exclude each other");
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
    TerminalDialogs dialogs(io.In, io.Err, io.InteractiveInput, ctx.Flag("--yes"));
    if (autoPort && command->Name != "ports" && command->Name != "simulate") {
        if (int status = FindRadioPort(ctx, autoPort->BuiltIn); status != kExitOk)
            return status;
    }
    if (modem && command->Name != "ports" && command->Name != "simulate")
        return RunInsideModem(ctx, command->Run);
    return command->Run(ctx);
}
