// history: what this user's tool has changed in radios, from the window and the command line.

#include <cctype>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "config/SerialGuard.h"
#include "history/ChangeHistory.h"
#include "history/HistoryEntries.h"
#include "operations/RadioOperations.h"

namespace {

// "2026-12-08", "2026-12-08T09:30" or "2026-12-08 09:30:15": a prefix of the entries' times.
bool SinceText(std::string text, std::string& since) {
    if (text.size() > 10 && text[10] == ' ')
        text[10] = 'T';
    static const std::string kShape = "dddd-dd-ddTdd:dd:dd";
    if (text.size() != 10 && text.size() != 16 && text.size() != 19)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i])
            return false;
    }
    since = text;
    return true;
}

std::string Arrow(const HistoryEntry& e) {
    if (e.Field == "flash")
        return "saved to flash";
    if (e.Field == kUnfinishedField)
        return "UNFINISHED " + e.NewValue;
    const std::string unit = e.Unit.empty() ? "" : " " + e.Unit;
    return e.Field + " " + (e.OldValue.empty() ? "?" : e.OldValue) + " -> " + e.NewValue + unit;
}

void PrintJson(const CliContext& ctx, const std::vector<HistoryEntry>& entries) {
    ctx.Out() << "{\n  \"schema\": \"rm7ux\",\n  \"version\": 1,\n  \"kind\": \"history\",\n"
              << "  \"entries\": [";
    bool first = true;
    for (const HistoryEntry& e : entries) {
        const std::pair<const char*, const std::string*> members[] = {
            {"time", &e.Time},      {"serial", &e.Serial}, {"model", &e.Model},
            {"field", &e.Field},    {"code", &e.Code},     {"unit", &e.Unit},
            {"old", &e.OldValue},   {"new", &e.NewValue},  {"old-raw", &e.OldRaw},
            {"new-raw", &e.NewRaw}, {"source", &e.Source}, {"action", &e.Action},
            {"user", &e.User}};
        ctx.Out() << (first ? "\n    {" : ",\n    {");
        bool firstMember = true;
        for (const auto& [name, value] : members) {
            ctx.Out() << (firstMember ? "" : ", ") << "\"" << name << "\": " << JsonString(*value);
            firstMember = false;
        }
        ctx.Out() << "}";
        first = false;
    }
    ctx.Out() << (entries.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace

int RunHistory(CliContext& ctx) {
    HistoryFilter filter;
    if (const std::string* serial = ctx.Option("--serial")) {
        std::optional<int64_t> n = TryStrToInt64(*serial);
        if (!n || *n < 0 || *n > 0xFFFFFFFFll)
            return UsageError(ctx, "history", "--serial needs a serial number (decimal digits)");
        filter.Serial = FormatSerialNumber(*n);
    }
    if (const std::string* since = ctx.Option("--since")) {
        if (!SinceText(*since, filter.Since))
            return UsageError(ctx, "history",
                              "--since needs a date YYYY-MM-DD, optionally with a time HH:MM[:SS]");
    }
    if (ctx.Flag("--json") && ctx.Flag("--csv"))
        return UsageError(ctx, "history", "--json and --csv exclude each other");
    // The rows of runs that died are written first; what they left unfinished comes first.
    std::vector<HistoryEntry> entries;
    for (const JournalState& s : UnfinishedOperations(*ctx.Journal, ctx.History)) {
        HistoryEntry e = UnfinishedEntry(s);
        if ((filter.Serial.empty() || e.Serial == filter.Serial) && e.Time >= filter.Since)
            entries.push_back(std::move(e));
    }
    std::vector<HistoryEntry> changes;
    std::string problem;
    if (!ctx.History->Query(filter, changes, problem)) {
        ctx.Err() << "rm7ux history: " << TerminalSafe(problem) << "\n";
        return kExitUsage;
    }
    entries.insert(entries.end(), changes.begin(), changes.end());
    if (ctx.Flag("--json")) {
        PrintJson(ctx, entries);
    } else if (ctx.Flag("--csv")) {
        ctx.Out() << HistoryCsv(entries);
    } else {
        for (const HistoryEntry& e : entries) {
            ctx.Out() << e.Time << "  " << (e.Serial.empty() ? "--------" : e.Serial) << "  "
                      << e.Model << "  " << TerminalSafe(Arrow(e)) << "  (" << e.Source << " "
                      << TerminalSafe(e.Action) << ", " << TerminalSafe(e.User) << ")\n";
        }
    }
    return kExitOk;
}
