#include "history/ChangeHistory.h"

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <utility>

#include "common/Csv.h"
#include "common/TimeText.h"
#include "platform/UserFolders.h"

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS changes ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, serial TEXT NOT NULL,"
    " model TEXT NOT NULL, field TEXT NOT NULL, code TEXT NOT NULL, unit TEXT NOT NULL,"
    " old_raw TEXT NOT NULL, new_raw TEXT NOT NULL, old_value TEXT NOT NULL,"
    " new_value TEXT NOT NULL, source TEXT NOT NULL, action TEXT NOT NULL, user TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS changes_serial ON changes(serial, time);";

// The schema's version in the file's user_version: a file of a newer version is never written.
constexpr int kSchemaVersion = 1;
constexpr const char* kSchemaVersionSql = "PRAGMA user_version = 1";
// How long the run's end waits for a history another program holds.
constexpr int kFinalWaitMs = 2000;

// A statement finalised however the function leaves.
struct Statement {
    sqlite3_stmt* S = nullptr;
    ~Statement() { sqlite3_finalize(S); }
};

std::string Column(sqlite3_stmt* s, int i) {
    const unsigned char* text = sqlite3_column_text(s, i);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

std::string OperatorName() {
    if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr)
        return pw->pw_name;
    const char* user = std::getenv("USER");
    return user != nullptr ? user : std::to_string(geteuid());
}

std::string HistoryTimeNow() {
    return UtcTimeText(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
}

ChangeHistory::ChangeHistory(std::string path) : path_(std::move(path)) {}

ChangeHistory::~ChangeHistory() {
    // The run's end: what waited for a busy history goes in now, or stays in the journal.
    FlushPending(kFinalWaitMs);
    sqlite3_close(db_);
}

std::string ChangeHistory::HistoryFileName() {
    return UserDataHome() + "/KorvaTech/CFG_RM7UX_Radio/history.sqlite";
}

bool ChangeHistory::Open(bool create, std::string& problem, int waitMs, bool* busy) {
    if (db_ != nullptr) {
        sqlite3_busy_timeout(db_, waitMs);
        return true;
    }
    std::error_code ec;
    if (!create && !std::filesystem::exists(path_, ec))
        return false;
    if (create) {
        std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
        if (ec) {
            problem = "cannot make the folder for " + path_ + ": " + ec.message();
            return false;
        }
    }
    const int flags = create ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        problem = path_ + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "cannot open");
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    // The window and a script may record at the same moment: the wait is brief, and after it the
    // entries wait for the run's end rather than the radio for the history.
    sqlite3_busy_timeout(db_, waitMs);
    if (create && !CheckWritable(problem, busy)) {
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    char* error = nullptr;
    const int rc = create ? sqlite3_exec(db_, kSchema, nullptr, nullptr, &error) : SQLITE_OK;
    if (rc != SQLITE_OK) {
        if (busy != nullptr)
            *busy = rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
        problem = path_ + ": " + (error != nullptr ? error : "cannot create the table");
        sqlite3_free(error);
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

bool ChangeHistory::OpenForWriting(std::string& problem, int waitMs, bool& busy) {
    // A read-only handle from an earlier Query cannot write.
    if (db_ != nullptr && sqlite3_db_readonly(db_, "main") == 1) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
    return Open(true, problem, waitMs, &busy);
}

bool ChangeHistory::CheckWritable(std::string& problem, bool* busy) {
    if (checked_)
        return true;
    // One pass over the file: a damaged one would fail (and warn) on every run.
    bool damaged = false;
    std::string why;
    {
        Statement st;
        int rc = sqlite3_prepare_v2(db_, "PRAGMA quick_check(1)", -1, &st.S, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(st.S);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            // Another program is writing it: busy, not damaged. Checked when next opened.
            if (busy != nullptr)
                *busy = true;
            problem = path_ + ": " + sqlite3_errmsg(db_);
            return false;
        }
        if (rc == SQLITE_ROW && Column(st.S, 0) != "ok") {
            damaged = true;
            why = Column(st.S, 0);
        } else if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT) {
            damaged = true;
            why = sqlite3_errmsg(db_);
        }
    }
    if (damaged) {
        // Renamed while still open: on closing, SQLite removes the journal files it sees beside
        // the file, and they belong with it.
        const bool setAside = SetAside(why, problem);
        sqlite3_close(db_);
        db_ = nullptr;
        if (!setAside)
            return false;
        if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            problem = path_ + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "cannot open");
            return false;
        }
        sqlite3_busy_timeout(db_, kBusyWaitMs);
    }
    Statement version;
    if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &version.S, nullptr) == SQLITE_OK &&
        sqlite3_step(version.S) == SQLITE_ROW &&
        sqlite3_column_int(version.S, 0) > kSchemaVersion) {
        // Its columns may mean something this version does not know: left as it is.
        problem = path_ + " was made by a newer version of the tool";
        return false;
    }
    sqlite3_exec(db_, kSchemaVersionSql, nullptr, nullptr, nullptr);
    checked_ = true;
    return true;
}

bool ChangeHistory::SetAside(const std::string& why, std::string& problem) {
    std::string stamp = HistoryTimeNow();
    for (char& c : stamp) {
        if (c == ':')
            c = '-';
    }
    std::string aside = path_ + ".corrupt-" + stamp;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(aside, ec); ++n)
        aside = path_ + ".corrupt-" + stamp + "-" + std::to_string(n);
    std::filesystem::rename(path_, aside, ec);
    if (ec) {
        problem = path_ + " is damaged (" + why + ") and cannot be set aside: " + ec.message();
        return false;
    }
    // Its journal files belong with it: left beside a new file, SQLite would apply them to it.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        std::error_code ignored;
        if (std::filesystem::exists(path_ + suffix, ignored))
            std::filesystem::rename(path_ + suffix, aside + suffix, ignored);
    }
    Warn("The history of changes was damaged (" + why + "); it was set aside as " + aside +
         " and a new one started.");
    return true;
}

void ChangeHistory::Warn(const std::string& text) {
    warnings_.push_back(text);
}

void ChangeHistory::Failed(const std::string& problem) {
    if (!failed_)
        Warn("The history of changes could not be written (" + problem +
             "); the work goes on without it.");
    failed_ = true;
}

std::string ChangeHistory::TakeWarning() {
    if (warnings_.empty())
        return "";
    std::string first = std::move(warnings_.front());
    warnings_.erase(warnings_.begin());
    return first;
}

bool ChangeHistory::Insert(const HistoryEntry& e, int& rc) {
    Statement st;
    const char* sql =
        "INSERT INTO changes (time, serial, model, field, code, unit, old_raw, new_raw,"
        " old_value, new_value, source, action, user) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)";
    rc = sqlite3_prepare_v2(db_, sql, -1, &st.S, nullptr);
    if (rc != SQLITE_OK)
        return false;
    const std::string* values[] = {&e.Time,   &e.Serial, &e.Model,  &e.Field,    &e.Code,
                                   &e.Unit,   &e.OldRaw, &e.NewRaw, &e.OldValue, &e.NewValue,
                                   &e.Source, &e.Action, &e.User};
    int i = 1;
    for (const std::string* v : values)
        sqlite3_bind_text(st.S, i++, v->c_str(), static_cast<int>(v->size()), SQLITE_TRANSIENT);
    // Outside an explicit transaction each statement is one: committed, or not there at all.
    rc = sqlite3_step(st.S);
    return rc == SQLITE_DONE;
}

bool ChangeHistory::Record(HistoryEntry e, std::function<void()> written) {
    if (e.Time.empty())
        e.Time = HistoryTimeNow();
    if (e.User.empty())
        e.User = OperatorName();
    // Once waited for, the history is not waited for again: the entries keep their order.
    if (!pending_.empty()) {
        pending_.push_back({std::move(e), std::move(written)});
        return true;
    }
    std::string problem;
    bool busy = false;
    int rc = SQLITE_OK;
    if (OpenForWriting(problem, kBusyWaitMs, busy) && Insert(e, rc)) {
        if (written)
            written();
        return true;
    }
    if (busy || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        if (!deferredSaid_)
            Warn(
                "The history of changes is in use by another program; this run's entries are "
                "kept and written when it ends.");
        deferredSaid_ = true;
        pending_.push_back({std::move(e), std::move(written)});
        return true;
    }
    Failed(problem.empty() ? path_ + ": " + sqlite3_errmsg(db_) : problem);
    return false;
}

bool ChangeHistory::FlushPending(int waitMs) {
    if (pending_.empty())
        return true;
    std::string problem;
    bool busy = false;
    if (!OpenForWriting(problem, waitMs, busy)) {
        if (!busy) {
            Failed(problem);
            pending_.clear();
        }
        return false;
    }
    // All or none, in one transaction: a kill in the middle leaves them all to the journal.
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    bool ok = rc == SQLITE_OK;
    for (size_t i = 0; ok && i < pending_.size(); ++i)
        ok = Insert(pending_[i].Entry, rc);
    if (ok)
        ok = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_busy_timeout(db_, kBusyWaitMs);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED && rc != SQLITE_OK) {
            Failed(path_ + ": " + sqlite3_errmsg(db_));
            pending_.clear();
        }
        return false;
    }
    sqlite3_busy_timeout(db_, kBusyWaitMs);
    std::vector<Pending> written = std::move(pending_);
    pending_.clear();
    for (Pending& p : written) {
        if (p.Written)
            p.Written();
    }
    return true;
}

bool ChangeHistory::Query(const HistoryFilter& filter,
                          const std::function<bool(const HistoryEntry&)>& each,
                          std::string& problem) {
    if (!Open(false, problem, kBusyWaitMs))
        return problem.empty();
    Statement st;
    const char* sql =
        "SELECT id, time, serial, model, field, code, unit, old_value, new_value, old_raw,"
        " new_raw, source, action, user FROM changes"
        " WHERE (?1 = '' OR serial = ?1) ORDER BY id DESC";
    if (sqlite3_prepare_v2(db_, sql, -1, &st.S, nullptr) != SQLITE_OK) {
        problem = path_ + ": " + sqlite3_errmsg(db_);
        return false;
    }
    sqlite3_bind_text(st.S, 1, filter.Serial.c_str(), -1, SQLITE_TRANSIENT);
    int rc;
    HistoryEntry e;
    while ((rc = sqlite3_step(st.S)) == SQLITE_ROW) {
        e.Id = sqlite3_column_int64(st.S, 0);
        // The columns in the order of kHistoryColumns.
        int column = 1;
        for (const HistoryColumn& c : kHistoryColumns)
            e.*c.Member = Column(st.S, column++);
        // Times were once kept in local time without a zone; those read as local time.
        const std::optional<std::time_t> time = ParseTimeText(e.Time);
        if (time)
            e.Time = UtcTimeText(*time);
        // A time that cannot be read cannot be told to be on or after Since.
        if (filter.Since && (!time || *time < *filter.Since))
            continue;
        if (!each(e))
            return true;
    }
    if (rc != SQLITE_DONE) {
        problem = path_ + ": " + sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool ChangeHistory::Query(const HistoryFilter& filter, std::vector<HistoryEntry>& entries,
                          std::string& problem) {
    entries.clear();
    return Query(
        filter,
        [&entries](const HistoryEntry& e) {
            entries.push_back(e);
            return true;
        },
        problem);
}

std::string HistoryCsvHeader() {
    std::vector<std::string_view> keys;
    for (const HistoryColumn& c : kHistoryColumns)
        keys.push_back(c.Key);
    return CsvLine(keys);
}

std::string HistoryCsvLine(const HistoryEntry& e) {
    std::vector<std::string_view> cells;
    for (const HistoryColumn& c : kHistoryColumns)
        cells.push_back(e.*c.Member);
    return CsvLine(cells);
}

std::string HistoryCsv(const std::vector<HistoryEntry>& entries) {
    std::string out = HistoryCsvHeader();
    for (const HistoryEntry& e : entries)
        out += HistoryCsvLine(e);
    return out;
}
