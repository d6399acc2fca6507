#pragma once
// What the command handlers share: the parsed command line and the streams.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Cli.h"
#include "history/Journal.h"
#include "platform/PortArgument.h"

class ChangeHistory;
class TrafficLog;

struct CliContext {
    const CliIO& IO;
    PortArgument Port;                           // --port as given (its Address for a server)
    std::optional<uint32_t> ComPort;             // --port, resolved
    bool Modem = false;                          // --modem: the radio inside an M82KD
    std::string Device;                          // --device, absolute; "" for a COM number
    std::string LogFile;                         // --log
    TrafficLog* Log = nullptr;                   // open for the whole command with --log
    std::vector<std::string> Args;               // the command's operands
    std::set<std::string> Flags;                 // its flags given ("--force")
    std::map<std::string, std::string> Options;  // its options with a value ("--model")
    ChangeHistory* History = nullptr;            // the run's history of changes
    OperationJournal* Journal = nullptr;         // the journal of operations in flight
    // What earlier runs left unfinished on this radio, as the run found it (NoticeUnfinished).
    std::vector<JournalState> Unfinished;

    std::ostream& Out() const { return IO.Out; }
    std::ostream& Err() const { return IO.Err; }
    bool Flag(const std::string& name) const { return Flags.count(name) != 0; }
    const std::string* Option(const std::string& name) const {
        auto it = Options.find(name);
        return it != Options.end() ? &it->second : nullptr;
    }
};

// A command as the parser takes it. The table is also read by the manual pages' test and by
// the build, which makes the bash completion from it.
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
const std::vector<CliCommand>& CliCommandTable();

// The options before (or after) any command: --port, --device, --log, --modem, --help, --version.
struct CliGlobalOption {
    std::string_view Name;
    std::string_view Short;  // "" when it has none
    std::string_view Value;  // what follows it ("N"), "" for none
};
const std::vector<CliGlobalOption>& CliGlobalOptions();

// The run's end for the history: entries kept while it was busy written (or left to the
// journal), and what went wrong said once.
void FinishHistory(const CliContext& ctx);

// One line per stage of a longer command, on a terminal only: a script's log stays clean.
void Progress(const CliContext& ctx, const std::string& stage);

// "COM9", the device path given with --device, or the address given with --port: the port as
// messages and the journal name it.
std::string CliPortLabel(const CliContext& ctx);

// Says, first, what an earlier run left unfinished on the radio of this port (by its serial
// number) or on the port itself, and releases a transmitter it left keyed; the rest is for
// 'rm7ux repair'. Keeps what is still unfinished in ctx.Unfinished. With `modemOnly`, only the
// modem's configuration mode is looked at, and returned to AT mode (a --modem run, before it
// enters the mode).
void NoticeUnfinished(CliContext& ctx, bool modemOnly = false);
// Whether a flash save would go over an unfinished operation: then says so, naming it, and
// what to do (status 3), unless --force. `serial` is the radio's.
bool RefusedOverUnfinished(const CliContext& ctx, int64_t serial, const std::string& command);

// Prints "rm7ux <command>: <problem>" and the hint to --help; returns kExitUsage.
int UsageError(const CliContext& ctx, const std::string& command, const std::string& problem);

int RunIdentify(CliContext& ctx);
int RunStatus(CliContext& ctx);
int RunGet(CliContext& ctx);
int RunSet(CliContext& ctx);
int RunFlash(CliContext& ctx);
int RunRead(CliContext& ctx);
int RunSave(CliContext& ctx);
int RunProgram(CliContext& ctx);
int RunDiff(CliContext& ctx);
int RunSimulate(CliContext& ctx);
int RunWatch(CliContext& ctx);
int RunHistory(CliContext& ctx);
int RunRepair(CliContext& ctx);

int RunPorts(CliContext& ctx);
