// `rm7ux history` over a large history: the peak memory (resident set) and time of each output
// form, to show that the rows stream through instead of being held. Half the rows are in the
// old form (local time without a zone), half in UTC, as a history kept across the change is.
//   history_memory [ROWS]        (default 1000000)

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "history/ChangeHistory.h"

namespace {

// The history at `path` with `rows` entries, written in one transaction (entry by entry would
// take an fsync each).
bool MakeHistory(const std::string& path, long rows) {
    ChangeHistory history(path);
    HistoryEntry first;
    first.Serial = "12345678";
    if (!history.Record(first))
        return false;
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        return false;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO changes (time, serial, model, field, code, unit, old_raw,"
                       " new_raw, old_value, new_value, source, action, user)"
                       " VALUES (?1, ?2, 'RM7UX', 'tx-frequency', 'PT', 'MHz', '5780', '5848',"
                       " '440.00000', '441.25000', 'cli', 'set', 'technician')",
                       -1, &st, nullptr);
    for (long i = 1; i < rows; ++i) {
        char time[32];
        // Minutes apart, from 2024 on; the older half without a zone.
        const long minutes = i;
        std::snprintf(time, sizeof time, "%04ld-%02ld-%02ldT%02ld:%02ld:00%s",
                      2024 + minutes / (60 * 24 * 360), 1 + minutes / (60 * 24 * 30) % 12,
                      1 + minutes / (60 * 24) % 28, minutes / 60 % 24, minutes % 60,
                      i < rows / 2 ? "" : "Z");
        const std::string serial = std::to_string(10000000 + i % 1000);
        sqlite3_bind_text(st, 1, time, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, serial.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) != SQLITE_DONE)
            return false;
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

struct Figures {
    int Status = -1;
    double Seconds = 0;
    long PeakKb = 0;
};

// Runs rm7ux with `args`, its output into /dev/null.
Figures Measure(const std::vector<std::string>& args) {
    Figures f;
    std::fflush(stdout);
    const auto start = bench::Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout))
            _exit(127);
        std::vector<char*> argv;
        std::string program = RM7UX_CLI_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return f;
    f.Seconds = bench::Ms(bench::Clock::now() - start) / 1000.0;
    f.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    f.PeakKb = usage.ru_maxrss;
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string dir = bench::PrivateConfigFolder();
    const std::string path = dir + "/data/KorvaTech/CFG_RM7UX_Radio/history.sqlite";
    const auto made = bench::Clock::now();
    if (!MakeHistory(path, rows)) {
        std::fprintf(stderr, "history_memory: cannot make the history in %s\n", path.c_str());
        return 1;
    }
    std::printf("history of %ld entries made in %.1f s (%.0f MB)\n", rows,
                bench::Ms(bench::Clock::now() - made) / 1000.0,
                static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    const std::vector<std::pair<const char*, std::vector<std::string>>> forms = {
        {"plain", {"history"}},
        {"--csv", {"history", "--csv"}},
        {"--json", {"history", "--json"}},
        {"--serial", {"history", "--serial", "10000007"}},
        {"--since", {"history", "--since", "2025-01-01"}},
    };
    std::printf("%-10s %8s %10s %7s\n", "output", "status", "peak RSS", "time");
    for (const auto& [name, args] : forms) {
        const Figures f = Measure(args);
        std::printf("%-10s %8d %7.1f MB %5.1f s\n", name, f.Status,
                    static_cast<double>(f.PeakKb) / 1024.0, f.Seconds);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
