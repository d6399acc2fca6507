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
    sqlite3_close(db_);
}

std::string ChangeHistory::HistoryFileName() {
    return UserDataHome() + "/KorvaTech/CFG_RM7UX_Radio/history.sqlite";
}

bool ChangeHistory::Open(bool create, std::string& problem) {
    if (db_ != nullptr)
        return true;
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
    // The window and a script may record at the same moment; a longer wait would hold up the
    // exchange the entry belongs to.
    sqlite3_busy_timeout(db_, 1000);
    char* error = nullptr;
    if (create && sqlite3_exec(db_, kSchema, nullptr, nullptr, &error) != SQLITE_OK) {
        problem = path_ + ": " + (error != nullptr ? error : "cannot create the table");
        sqlite3_free(error);
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

void ChangeHistory::Failed(const std::string& problem) {
    if (!failed_)
        warning_ = "The history of changes could not be written (" + problem +
                   "); the work goes on without it.";
    failed_ = true;
}

std::string ChangeHistory::TakeWarning() {
    return std::exchange(warning_, std::string());
}

bool ChangeHistory::Record(HistoryEntry e) {
    if (e.Time.empty())
        e.Time = HistoryTimeNow();
    if (e.User.empty())
        e.User = OperatorName();
    std::string problem;
    // A read-only handle from an earlier Query cannot write.
    if (db_ != nullptr && sqlite3_db_readonly(db_, "main") == 1) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
    if (!Open(true, problem)) {
        Failed(problem);
        return false;
    }
    Statement st;
    const char* sql =
        "INSERT INTO changes (time, serial, model, field, code, unit, old_raw, new_raw,"
        " old_value, new_value, source, action, user) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)";
    if (sqlite3_prepare_v2(db_, sql, -1, &st.S, nullptr) != SQLITE_OK) {
        Failed(path_ + ": " + sqlite3_errmsg(db_));
        return false;
    }
    const std::string* values[] = {&e.Time,   &e.Serial, &e.Model,  &e.Field,    &e.Code,
                                   &e.Unit,   &e.OldRaw, &e.NewRaw, &e.OldValue, &e.NewValue,
                                   &e.Source, &e.Action, &e.User};
    int i = 1;
    for (const std::string* v : values)
        sqlite3_bind_text(st.S, i++, v->c_str(), static_cast<int>(v->size()), SQLITE_TRANSIENT);
    // Outside an explicit transaction each statement is one: committed, or not there at all.
    if (sqlite3_step(st.S) != SQLITE_DONE) {
        Failed(path_ + ": " + sqlite3_errmsg(db_));
        return false;
    }
    return true;
}

bool ChangeHistory::Query(const HistoryFilter& filter,
                          const std::function<bool(const HistoryEntry&)>& each,
                          std::string& problem) {
    if (!Open(false, problem))
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
