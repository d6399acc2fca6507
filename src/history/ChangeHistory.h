#pragma once
// The per-user history of every change the tool makes to a radio: one SQLite file under the XDG
// data folder, one transaction per entry, so a crash loses nothing already recorded. The window
// and the command line write it; the History view and `rm7ux history` only read it.
//
// A history that cannot be written never stops the work it records: Record says false, and the
// reason is handed out once through TakeWarning, for the caller to show as it shows things.
// A history another program holds is waited for once, briefly; then the entries are kept and
// written at the run's end (FlushPending). A damaged history is set aside and a new one started;
// one of a newer version of the tool is left as it is.

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

struct HistoryEntry {
    int64_t Id = 0;
    std::string Time;    // UTC, "2026-12-08T09:30:00Z"; Record fills it when empty
    std::string Serial;  // the radio's eight digits; "" when it holds none
    std::string Model;   // "RM7UX", "RM7VX"
    std::string Field;   // the setting's name ("tx-frequency"), a code without one, or "flash"
    std::string Code;    // the radio's field ("PT"); "" for a flash save
    std::string Unit;    // "MHz", "°C", ...; "" for names and counts
    std::string OldRaw, NewRaw;      // the field's digits as the radio gives them
    std::string OldValue, NewValue;  // in the unit
    std::string Source;              // "window" or "cli"
    std::string Action;              // "set", "set step", "program", "adjust", "plan", ...
    std::string User;                // the operator; Record fills it when empty
};

// An entry's members by the one name the command line's JSON and CSV give them.
struct HistoryColumn {
    std::string_view Key;
    std::string HistoryEntry::*Member;
};
inline constexpr HistoryColumn kHistoryColumns[] = {
    {"time", &HistoryEntry::Time},      {"serial", &HistoryEntry::Serial},
    {"model", &HistoryEntry::Model},    {"field", &HistoryEntry::Field},
    {"code", &HistoryEntry::Code},      {"unit", &HistoryEntry::Unit},
    {"old", &HistoryEntry::OldValue},   {"new", &HistoryEntry::NewValue},
    {"old-raw", &HistoryEntry::OldRaw}, {"new-raw", &HistoryEntry::NewRaw},
    {"source", &HistoryEntry::Source},  {"action", &HistoryEntry::Action},
    {"user", &HistoryEntry::User},
};

struct HistoryFilter {
    std::string Serial;                // "" for every radio
    std::optional<std::time_t> Since;  // the entries from this moment on
};

class ChangeHistory {
  public:
    // The default is the user's history file (HistoryFileName).
    explicit ChangeHistory(std::string path = HistoryFileName());
    ~ChangeHistory();
    ChangeHistory(const ChangeHistory&) = delete;
    ChangeHistory& operator=(const ChangeHistory&) = delete;

    static std::string HistoryFileName();

    // Writes one entry in a transaction of its own; false when the history cannot be written.
    // While another program holds the history the entry is kept for FlushPending (true);
    // `written` runs once the entry is in the history, now or then.
    bool Record(HistoryEntry entry, std::function<void()> written = {});
    // Writes the entries kept, waiting at most `waitMs` for the history; false when some are still
    // kept (the history still busy).
    bool FlushPending(int waitMs);
    bool HasPending() const { return !pending_.empty(); }
    // What went wrong with the history (could not be written, busy, set aside), each said once;
    // "" when there is nothing (more) to say.
    std::string TakeWarning();

    // The entries that pass the filter, newest first, handed to `each` one at a time, so a
    // history of any length is read in the same memory; `each` returns false to stop. An entry
    // written before times were kept in UTC (local time without a zone) comes with its time in
    // UTC too. False with the reason in `problem` when the history cannot be read; a history
    // never written is empty, not a failure.
    bool Query(const HistoryFilter& filter, const std::function<bool(const HistoryEntry&)>& each,
               std::string& problem);
    // The same, all at once.
    bool Query(const HistoryFilter& filter, std::vector<HistoryEntry>& entries,
               std::string& problem);

    const std::string& Path() const { return path_; }

    // How long Record waits for a history another program holds, once.
    static constexpr int kBusyWaitMs = 250;

  private:
    // `busy`, when given, learns whether another program's lock is what failed it.
    bool Open(bool create, std::string& problem, int waitMs, bool* busy = nullptr);
    // Open(true), replacing a read-only handle a Query left.
    bool OpenForWriting(std::string& problem, int waitMs, bool& busy);
    // Once, for writing: a damaged file set aside, one of a newer version refused. False with
    // `problem` set.
    bool CheckWritable(std::string& problem, bool* busy);
    bool SetAside(const std::string& why, std::string& problem);
    bool Insert(const HistoryEntry& e, int& rc);
    void Failed(const std::string& problem);
    void Warn(const std::string& text);

    std::string path_;
    sqlite3* db_ = nullptr;
    bool failed_ = false;
    bool checked_ = false;
    std::vector<std::string> warnings_;
    struct Pending {
        HistoryEntry Entry;
        std::function<void()> Written;
    };
    std::vector<Pending> pending_;
    bool deferredSaid_ = false;
};

// The operator's user name, from the login database ($USER where it has none).
std::string OperatorName();
// Now, in UTC, as history entries keep it.
std::string HistoryTimeNow();

// The entries as CSV (common/Csv.h: CR LF lines, safe in a spreadsheet), a header line of the
// columns' keys first.
std::string HistoryCsvHeader();
std::string HistoryCsvLine(const HistoryEntry& entry);
std::string HistoryCsv(const std::vector<HistoryEntry>& entries);
