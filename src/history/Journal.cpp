#include "history/Journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>

#include "common/StrUtils.h"
#include "config/FieldTable.h"
#include "history/ChangeHistory.h"
#include "platform/UserFolders.h"

namespace {

constexpr const char* kEntrySuffix = ".op";
// An entry being made: its intent is not yet durable, so it is no entry until renamed.
constexpr const char* kNewPrefix = ".new-";

using Fields = std::vector<std::pair<std::string, std::string>>;

std::string Escape(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Unescape(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char c = value[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::string Line(std::string_view kind, const Fields& fields) {
    std::string line(kind);
    for (const auto& [key, value] : fields)
        line += "\t" + key + "=" + Escape(value);
    return line + "\n";
}

// One record: its kind and its fields by name.
struct Record {
    std::string Kind;
    std::map<std::string, std::string> Fields;
    const std::string& operator[](const std::string& key) const {
        static const std::string none;
        const auto it = Fields.find(key);
        return it != Fields.end() ? it->second : none;
    }
};

// Complete lines only: a line a kill cut short was never made durable, and nothing after it
// was sent.
std::vector<Record> Records(const std::string& text) {
    std::vector<Record> records;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string_view line(text.data() + start, end - start);
        Record r;
        size_t field = 0;
        for (size_t i = 0; i <= line.size(); ++i) {
            if (i < line.size() && line[i] != '\t')
                continue;
            const std::string_view part = line.substr(field, i - field);
            if (field == 0) {
                r.Kind = std::string(part);
            } else if (const size_t eq = part.find('='); eq != std::string_view::npos) {
                r.Fields[std::string(part.substr(0, eq))] = Unescape(part.substr(eq + 1));
            }
            field = i + 1;
        }
        records.push_back(std::move(r));
    }
    return records;
}

std::string ReadAll(int fd) {
    std::string text;
    char buf[4096];
    ::lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The folder and its parents, each new one made durable in its parent.
bool MakeFolder(const std::string& folder, std::string& problem) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0)
        return true;
    const size_t slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolder(folder.substr(0, slash), problem))
        return false;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = "cannot make " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (slash != std::string::npos && slash > 0)
        SyncFolder(folder.substr(0, slash));
    return true;
}

std::string FileStamp() {
    std::string t = HistoryTimeNow();
    std::string stamp;
    for (char c : t) {
        if (c != '-' && c != ':')
            stamp += c;
    }
    return stamp;
}

std::string Flag(bool on) {
    return on ? "1" : "0";
}

// The window's labels hold commas ("TX Band, low"): a list of them is parted by slashes.
std::string Labels(const std::vector<std::string>& codes) {
    std::string text;
    for (size_t i = 0; i < codes.size(); ++i)
        text += (i == 0 ? "" : " / ") + std::string(FieldLabel(codes[i]));
    return text;
}

}  // namespace

// ---- The state an entry describes ----

bool ParseJournal(const std::string& text, JournalState& s) {
    const std::vector<Record> records = Records(text);
    if (records.empty() || records[0].Kind != "begin")
        return false;
    const Record& b = records[0];
    s.Time = b["t"];
    s.Pid = static_cast<long>(TryStrToInt64(b["pid"]).value_or(0));
    s.User = b["user"];
    JournalIntent& i = s.Intent;
    i.Operation = b["op"];
    i.Source = b["source"];
    i.Action = b["action"];
    i.Port = b["port"];
    i.Serial = b["serial"];
    i.Model = b["model"] == "0" ? 0 : 1;
    i.VersionText = b["version"];
    i.StepCode = b["step"];
    i.Flash = b["flash"] == "1";
    i.Restart = b["restart"] == "1";
    i.Key = b["key"] == "1";
    i.OperatorPTT = static_cast<int>(TryStrToInt64(b["ptt"]).value_or(-1));
    i.Modem = b["modem"] == "1";
    // The intent is durable before the first command: from then on the radio may be keyed, and
    // the modem in its configuration mode.
    s.Keyed = i.Key;
    s.ModemEntering = i.Modem;
    for (size_t n = 1; n < records.size(); ++n) {
        const Record& r = records[n];
        const int record = static_cast<int>(n);
        if (r.Kind == "plan") {
            i.Writes.push_back({r["code"], r["old"], r["new"]});
        } else if (r.Kind == "wrote") {
            s.Writes.push_back({record, r["t"], r["code"], r["old"], r["new"], r["sb"], r["sa"]});
        } else if (r.Kind == kSaving) {
            s.Saving = true;
        } else if (r.Kind == kSaved) {
            s.Saved = true;
            s.SavedRecord = record;
            s.SavedTime = r["t"];
        } else if (r.Kind == kRestarted) {
            s.Restarted = true;
            s.Keyed = false;
        } else if (r.Kind == kKeying) {
            s.Keyed = true;
            if (!r["ptt"].empty())
                i.OperatorPTT = static_cast<int>(TryStrToInt64(r["ptt"]).value_or(-1));
        } else if (r.Kind == kReleased) {
            s.Keyed = false;
        } else if (r.Kind == kModemLeft) {
            s.ModemLeft = true;
        } else if (r.Kind == kLineLost) {
            s.LineLost = true;
        } else if (r.Kind == "row") {
            s.RowsWritten.insert(static_cast<int>(TryStrToInt64(r["n"]).value_or(-1)));
        } else if (r.Kind == "end" || r.Kind == kRepaired) {
            s.Ended = true;
            s.Unresolved = r.Kind == "end" && r["resolved"] != "1";
            s.Why = r["why"];
        }
    }
    return true;
}

namespace {

// Each field the intent writes, with the value it is to hold at the end (a field written twice,
// a plan's frequency then the one asked for, ends with the second).
std::vector<std::pair<std::string, std::string>> FinalValues(const JournalIntent& intent) {
    std::vector<std::pair<std::string, std::string>> finals;
    for (const PlannedWrite& p : intent.Writes) {
        auto same = std::find_if(finals.begin(), finals.end(),
                                 [&](const auto& f) { return f.first == p.Code; });
        if (same != finals.end())
            same->second = p.NewRaw;
        else
            finals.emplace_back(p.Code, p.NewRaw);
    }
    return finals;
}

// Whether the last confirmed write of `code` left `raw`.
bool Holds(const std::vector<JournalWrite>& writes, const std::string& code,
           const std::string& raw) {
    const JournalWrite* last = nullptr;
    for (const JournalWrite& w : writes) {
        if (w.Code == code)
            last = &w;
    }
    return last != nullptr && last->NewRaw == raw;
}

}  // namespace

bool JournalState::AllWritesConfirmed() const {
    for (const auto& [code, raw] : FinalValues(Intent)) {
        if (!Holds(Writes, code, raw))
            return false;
    }
    return true;
}

bool JournalState::PTTToPutBack() const {
    if (!Intent.Key || Intent.OperatorPTT < 0)
        return false;
    const std::string ptt = IntToHex(Intent.OperatorPTT, 2);
    std::string last;
    for (const JournalWrite& w : Writes) {
        if (w.Code == "PP")
            last = w.NewRaw;
    }
    // A PP write with no record may have been in flight: put back all the same, it costs nothing.
    return last != ptt;
}

bool JournalState::WorkingMayBeHalfWritten() const {
    // The TX test's one write is its time-out, which the release puts back; a restart after the
    // writes made the working settings the flash's again.
    if (Intent.Key || Intent.Writes.empty() || Restarted)
        return false;
    return !AllWritesConfirmed();
}

bool JournalState::FlashMissing() const {
    return Intent.Flash && !Saved && !Restarted && AllWritesConfirmed();
}

bool JournalState::RestartMissing() const {
    return Intent.Restart && Saved && !Restarted;
}

bool JournalState::NeedsRepair() const {
    return MayBeKeyed() || PTTToPutBack() || WorkingMayBeHalfWritten() || FlashMissing() ||
           RestartMissing() || ModemMayBeInConfigMode();
}

std::string JournalState::Title() const {
    std::string who =
        Intent.Source == "window" ? "the window, " + Intent.Action : "rm7ux " + Intent.Action;
    std::string time = Time;
    if (time.size() > 10 && time[10] == 'T')
        time[10] = ' ';
    return Intent.Operation + " (" + who + " on " + Intent.Port + ", " + time + ", process " +
           std::to_string(Pid) + ")";
}

std::string JournalState::InFlight() const {
    std::vector<std::string> parts;
    if (!Intent.Writes.empty() && !Intent.Key) {
        std::vector<std::string> confirmed, not_confirmed;
        for (const auto& [code, raw] : FinalValues(Intent))
            (Holds(Writes, code, raw) ? confirmed : not_confirmed).push_back(code);
        if (not_confirmed.empty())
            parts.push_back("every write confirmed (" + Labels(confirmed) + ")");
        else if (confirmed.empty())
            parts.push_back("no write confirmed (to write: " + Labels(not_confirmed) + ")");
        else
            parts.push_back("written: " + Labels(confirmed) +
                            "; not confirmed: " + Labels(not_confirmed));
    }
    if (Intent.Flash)
        parts.push_back(Saved
                            ? "saved to flash"
                            : (Saving ? "the save to flash not confirmed" : "not saved to flash"));
    if (Intent.Restart && Saved)
        parts.push_back(Restarted ? "restarted" : "not restarted");
    if (Keyed)
        parts.push_back("the transmitter may be keyed");
    else if (PTTToPutBack())
        parts.push_back("its PTT time-out may still be the TX test's 255 s");
    if (ModemMayBeInConfigMode())
        parts.push_back("the M82KD modem may be in its radio configuration mode");
    if (LineLost)
        parts.push_back("the connection to the radio was lost");
    if (Unresolved && !Why.empty())
        parts.push_back(Why);
    std::string text;
    for (size_t n = 0; n < parts.size(); ++n)
        text += (n == 0 ? "" : "; ") + parts[n];
    return text;
}

// ---- One entry ----

JournalEntry::JournalEntry(std::string path, int fd, int records)
    : path_(std::move(path)), fd_(fd), records_(records) {}

JournalEntry::~JournalEntry() {
    // Unlinked before the lock goes: no other run can take an ended entry for a live one.
    if (ended_ && resolved_ && pending_.empty())
        ::unlink(path_.c_str());
    if (fd_ >= 0)
        ::close(fd_);
}

bool JournalEntry::Append(const std::string& line, bool durable) {
    if (fd_ < 0 || !healthy_)
        return false;
    // One write: O_APPEND puts it whole at the end.
    if (!WriteAll(fd_, line) || (durable && ::fdatasync(fd_) != 0)) {
        healthy_ = false;
        return false;
    }
    return true;
}

int JournalEntry::Wrote(const std::string& code, const std::string& oldRaw,
                        const std::string& newRaw, const std::string& stepBefore,
                        const std::string& stepAfter) {
    if (!Append(Line("wrote", {{"t", HistoryTimeNow()},
                               {"code", code},
                               {"old", oldRaw},
                               {"new", newRaw},
                               {"sb", stepBefore},
                               {"sa", stepAfter}}),
                true))
        return -1;
    return records_++;
}

int JournalEntry::Note(std::string_view kind, const Fields& fields) {
    Fields all = {{"t", HistoryTimeNow()}};
    all.insert(all.end(), fields.begin(), fields.end());
    if (!Append(Line(kind, all), true))
        return -1;
    return records_++;
}

void JournalEntry::RowPending(int record) {
    if (record < 0)
        return;
    pending_.insert(record);
    if (Append(Line("rowkept", {{"n", std::to_string(record)}}), false))
        ++records_;
}

void JournalEntry::RowWritten(int record) {
    if (record < 0)
        return;
    pending_.erase(record);
    if (Append(Line("row", {{"n", std::to_string(record)}}), false))
        ++records_;
}

void JournalEntry::Forget() {
    ended_ = true;
    resolved_ = true;
}

void JournalEntry::End(bool resolved, const std::string& why) {
    if (ended_)
        return;
    ended_ = true;
    resolved_ = resolved && healthy_;
    if (Append(Line("end", {{"t", HistoryTimeNow()}, {"resolved", Flag(resolved)}, {"why", why}}),
               !resolved))
        ++records_;
    // An unresolved entry is the next run's: its lock goes with the file handle.
    if (!resolved_ && fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

// ---- The folder ----

OperationJournal::OperationJournal(std::string folder) : folder_(std::move(folder)) {}

std::string OperationJournal::JournalFolder() {
    return UserStateHome() + "/KorvaTech/CFG_RM7UX_Radio/journal";
}

void OperationJournal::Failed(const std::string& problem) {
    if (!failed_)
        warning_ = "The journal of operations in flight could not be written (" + problem +
                   "); the work goes on, but a run killed now would not be noticed.";
    failed_ = true;
}

std::string OperationJournal::TakeWarning() {
    return std::exchange(warning_, std::string());
}

std::shared_ptr<JournalEntry> OperationJournal::Begin(const JournalIntent& intent) {
    std::string problem;
    if (!MakeFolder(folder_, problem)) {
        Failed(problem);
        return nullptr;
    }
    static std::atomic<unsigned> counter{0};
    const std::string name = FileStamp() + "-" + std::to_string(::getpid()) + "-" +
                             std::to_string(++counter) + kEntrySuffix;
    const std::string path = folder_ + "/" + name;
    // Made without a name, locked, filled and made durable, then given its name in one step: no
    // other run ever sees it half made.
    std::string temp;
    int fd = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        // A file system without unnamed files: a hidden name until it is ready.
        temp = folder_ + "/" + kNewPrefix + name;
        fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    }
    if (fd < 0) {
        Failed(folder_ + ": " + std::strerror(errno));
        return nullptr;
    }
    // Held until the operation ends.
    ::flock(fd, LOCK_EX | LOCK_NB);
    const JournalIntent& i = intent;
    std::string text = Line("begin", {{"t", HistoryTimeNow()},
                                      {"pid", std::to_string(::getpid())},
                                      {"user", OperatorName()},
                                      {"op", i.Operation},
                                      {"source", i.Source},
                                      {"action", i.Action},
                                      {"port", i.Port},
                                      {"serial", i.Serial},
                                      {"model", std::to_string(i.Model)},
                                      {"version", i.VersionText},
                                      {"step", i.StepCode},
                                      {"flash", Flag(i.Flash)},
                                      {"restart", Flag(i.Restart)},
                                      {"key", Flag(i.Key)},
                                      {"ptt", std::to_string(i.OperatorPTT)},
                                      {"modem", Flag(i.Modem)}});
    for (const PlannedWrite& w : i.Writes)
        text += Line("plan", {{"code", w.Code}, {"old", w.OldRaw}, {"new", w.NewRaw}});
    // Named only once durable: the name is the intent.
    const auto publish = [&] {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        return temp.empty() ? ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(),
                                       AT_SYMLINK_FOLLOW) == 0
                            : ::rename(temp.c_str(), path.c_str()) == 0;
    };
    if (!WriteAll(fd, text) || ::fdatasync(fd) != 0 || !publish() || !SyncFolder(folder_)) {
        Failed(path + ": " + std::strerror(errno));
        if (!temp.empty())
            ::unlink(temp.c_str());
        ::unlink(path.c_str());
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<JournalEntry>(
        new JournalEntry(path, fd, 1 + static_cast<int>(i.Writes.size())));
}

std::shared_ptr<JournalEntry> OperationJournal::Claim(const std::string& path,
                                                      JournalState& state) {
    if (auto held = claimed_[path].lock()) {
        state = JournalState{};
        state.Path = path;
        if (held->fd_ < 0 || !ParseJournal(ReadAll(held->fd_), state))
            return nullptr;
        return held;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    // The lock may have come with a file that its last holder removed.
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) != 0 || ::stat(path.c_str(), &named) != 0 ||
        held.st_ino != named.st_ino) {
        ::close(fd);
        return nullptr;
    }
    const std::string text = ReadAll(fd);
    state = JournalState{};
    state.Path = path;
    if (!ParseJournal(text, state)) {
        ::unlink(path.c_str());
        ::close(fd);
        return nullptr;
    }
    int records = 0;
    for (char c : text)
        records += c == '\n' ? 1 : 0;
    // A cut line gets its end, so that the next record starts a line of its own.
    if (!text.empty() && text.back() != '\n')
        WriteAll(fd, "\n");
    auto entry = std::shared_ptr<JournalEntry>(new JournalEntry(path, fd, records));
    claimed_[path] = entry;
    return entry;
}

std::vector<JournalState> OperationJournal::Scan(std::vector<JournalState>* ended) {
    std::vector<JournalState> unfinished;
    DIR* dir = ::opendir(folder_.c_str());
    if (dir == nullptr)
        return unfinished;
    std::vector<std::string> names;
    while (const dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (EndsWith(name, kEntrySuffix))
            names.push_back(name);
    }
    ::closedir(dir);
    // Oldest first: the names begin with the time.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = folder_ + "/" + name;
        if (StartsWith(name, kNewPrefix)) {
            // Its owner died before the intent was durable: nothing was sent after it. A minute
            // old, so that one being made now (unlocked for an instant) is not taken.
            struct stat st {};
            const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_mtime + 60 < ::time(nullptr) &&
                ::flock(fd, LOCK_EX | LOCK_NB) == 0)
                ::unlink(path.c_str());
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        JournalState state;
        // Looked at and let go: the caller claims what it acts on.
        if (Claim(path, state) == nullptr)
            continue;
        if (state.Ended && !state.Unresolved) {
            if (ended != nullptr)
                ended->push_back(state);
        } else {
            unfinished.push_back(state);
        }
    }
    return unfinished;
}
