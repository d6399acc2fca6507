// history: what this user's tool has changed in radios, from the window and the command line.
// The entries stream from the history to standard output, so a history of any length prints in
// the same memory.

#include <string>

#include "cli/CliCommands.h"
#include "cli/Json.h"
#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "common/TimeText.h"
#include "config/SerialGuard.h"
#include "history/ChangeHistory.h"
#include "history/HistoryEntries.h"
#include "operations/RadioOperations.h"

namespace {

std::string Arrow(const HistoryEntry& e) {
    if (e.Field == "flash")
        return "saved to flash";
    if (e.Field == kUnfinishedField)
        return "UNFINISHED " + e.NewValue;
    const std::string unit = e.Unit.empty() ? "" : " " + e.Unit;
    return e.Field + " " + (e.OldValue.empty() ? "?" : e.OldValue) + " -> " + e.NewValue + unit;
}

std::string PlainLine(const HistoryEntry& e) {
    // Every part comes from a file that anyone with the user's rights may have written.
    return TerminalSafe(e.Time) + "  " + (e.Serial.empty() ? "--------" : TerminalSafe(e.Serial)) +
           "  " + TerminalSafe(e.Model) + "  " + TerminalSafe(Arrow(e)) + "  (" +
           TerminalSafe(e.Source) + " " + TerminalSafe(e.Action) + ", " + TerminalSafe(e.User) +
           ")\n";
}

std::string JsonEntry(const HistoryEntry& e) {
    Json entry = Json::object();
    for (const HistoryColumn& c : kHistoryColumns)
        entry[std::string(c.Key)] = JsonString(e.*c.Member);
    // As an element of the document's "entries": two levels in.
    return JsonDump(entry, 2, 2);
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
        filter.Since = ParseTimeText(Trim(*since));
        if (!filter.Since)
            return UsageError(ctx, "history",
                              "--since needs a date YYYY-MM-DD, optionally with a time "
                              "HH:MM[:SS] and a zone (Z, +HH:MM); without a zone it is local time");
    }
    const bool json = ctx.Flag("--json"), csv = ctx.Flag("--csv");
    if (json && csv)
        return UsageError(ctx, "history", "--json and --csv exclude each other");
    std::ostream& out = ctx.Out();
    if (json)
        out << "{\n  \"schema\": \"rm7ux\",\n  \"version\": 1,\n  \"kind\": \"history\",\n"
            << "  \"entries\": [";
    else if (csv)
        out << HistoryCsvHeader();
    bool first = true;
    const auto print = [&](const HistoryEntry& e) {
        if (json)
            out << (first ? "\n    " : ",\n    ") << JsonEntry(e);
        else if (csv)
            out << HistoryCsvLine(e);
        else
            out << PlainLine(e);
        first = false;
        // Output that can no longer be written (a full disk) ends the reading.
        return static_cast<bool>(out);
    };
    // The rows of runs that died are written first; what they left unfinished comes first.
    for (const JournalState& s : UnfinishedOperations(*ctx.Journal, ctx.History)) {
        const HistoryEntry e = UnfinishedEntry(s);
        const std::optional<std::time_t> time = ParseTimeText(e.Time);
        if ((filter.Serial.empty() || e.Serial == filter.Serial) &&
            (!filter.Since || (time && *time >= *filter.Since)))
            print(e);
    }
    std::string problem;
    const bool read = ctx.History->Query(filter, print, problem);
    if (json)
        out << (first ? "]\n}\n" : "\n  ]\n}\n");
    if (!read) {
        ctx.Err() << "rm7ux history: " << TerminalSafe(problem) << "\n";
        return kExitUsage;
    }
    return kExitOk;
}
