#pragma once
// The journal of operations in flight: what a run is about to do to a radio is on disk before it
// does it, so that a run that was killed (SIGKILL, a flat battery) is noticed by the next one and
// its radio put right. One small file per operation in the per-user journal folder
// ($XDG_STATE_HOME/KorvaTech/CFG_RM7UX_Radio/journal/); each record is one line, appended and
// made durable (fdatasync) before the command it describes is sent. It is kept apart from the
// history of changes, so that a locked or damaged history can neither stall nor lose it.
//
// The run doing an operation holds an flock on the operation's file for as long as the operation
// lasts: an entry whose lock can be taken has lost its owner, whatever process has its pid now.
// An operation is unfinished when it ended unresolved, or has no end and its owner is gone.
//
//     OperationJournal journal;
//     auto entry = journal.Begin(intent);        // durable before the first write
//     ... each confirmed write: entry->Wrote(...); the save: entry->Note(kSaving) ...
//     entry->End(true);                          // the file goes once its rows are in the history

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct PlannedWrite {
    std::string Code;    // "PT", "PL2"
    std::string OldRaw;  // what the radio held before; "" when not read
    std::string NewRaw;  // what the operation writes
};

// What an operation is about to do, recorded before its first command.
struct JournalIntent {
    std::string Operation;  // "frequency step", "transmitter test", "program"
    std::string Source;     // "cli", "window"
    std::string Action;     // the history's word: "set step", "adjust", "TX test"
    std::string Port;       // "COM7", a device path or a device server's address
    std::string Serial;     // the radio's eight digits; "" when not known
    int Model = 1;          // 1 RM7UX, 0 RM7VX
    std::string VersionText;
    std::string StepCode;  // the grid the old values are meant in ("" when none)
    std::vector<PlannedWrite> Writes;
    bool Flash = false;    // the writes are saved to flash
    bool Restart = false;  // and the radio restarted on them
    bool Key = false;      // the transmitter is keyed
    int OperatorPTT = -1;  // with Key: the PTT time-out to put back, seconds; -1 none
    bool Modem = false;    // the M82KD modem goes into its radio configuration mode
};

// The steps an entry records besides its writes.
inline constexpr std::string_view kSaving = "saving";  // before EE
inline constexpr std::string_view kSaved = "saved";    // EP confirmed
inline constexpr std::string_view kRestarting = "restarting";
inline constexpr std::string_view kRestarted = "restarted";
// Keyed again after a release (the intent's Key counts from the first command on).
inline constexpr std::string_view kKeying = "keying";
inline constexpr std::string_view kReleased = "released";
inline constexpr std::string_view kModemLeft = "modem-left";
inline constexpr std::string_view kLineLost = "line-lost";
inline constexpr std::string_view kRepaired = "repaired";

// A write the radio confirmed, as the journal holds it.
struct JournalWrite {
    int Record = 0;  // its place in the entry
    std::string Time;
    std::string Code, OldRaw, NewRaw;
    std::string StepBefore, StepAfter;  // the grids the old and the new value are meant in
};

// An entry as read back from its file.
struct JournalState {
    std::string Path;
    std::string Time;  // begun, as the history keeps times
    long Pid = 0;
    std::string User;
    JournalIntent Intent;
    std::vector<JournalWrite> Writes;  // in order, put-backs included
    bool Saving = false, Saved = false;
    int SavedRecord = -1;
    std::string SavedTime;
    bool Restarted = false;
    bool Keyed = false;  // keyed (from the intent on) without a release or restart after it
    bool ModemEntering = false, ModemLeft = false;
    bool LineLost = false;
    bool Ended = false, Unresolved = false;
    std::string Why;            // why it ended unresolved
    std::set<int> RowsWritten;  // records whose history row is in the history

    // The planned writes all confirmed with their new values, and none put back.
    bool AllWritesConfirmed() const;
    bool MayBeKeyed() const { return Keyed; }
    // The TX test's time-out (FF) may still be in the radio.
    bool PTTToPutBack() const;
    bool WorkingMayBeHalfWritten() const;
    bool FlashMissing() const;
    bool RestartMissing() const;
    bool ModemMayBeInConfigMode() const { return Intent.Modem && ModemEntering && !ModemLeft; }
    // Anything left for a later run to do to the radio.
    bool NeedsRepair() const;

    // "frequency step (rm7ux set step on COM7, 2026-12-08 09:30:00, process 1234)"
    std::string Title() const;
    // What was in flight, in the operator's words: the writes confirmed and not, the save, the
    // transmitter, the modem. One sentence.
    std::string InFlight() const;
};

class JournalEntry {
  public:
    ~JournalEntry();
    JournalEntry(const JournalEntry&) = delete;
    JournalEntry& operator=(const JournalEntry&) = delete;

    const std::string& Path() const { return path_; }

    // A confirmed write; its record number (for RowWritten), -1 when it could not be recorded.
    int Wrote(const std::string& code, const std::string& oldRaw, const std::string& newRaw,
              const std::string& stepBefore, const std::string& stepAfter);
    // A step (kSaving, kKeying...); the record number, -1 when it could not be recorded.
    int Note(std::string_view kind,
             const std::vector<std::pair<std::string, std::string>>& fields = {});
    // The history row of a record is kept (RowPending) and later written (RowWritten). Not made
    // durable: a kill loses nothing the page cache has, and a lost marker costs at most a row
    // written twice after a power failure.
    void RowPending(int record);
    void RowWritten(int record);
    // The end: resolved (the radio as the operation meant it, or put back) or not. A resolved
    // entry's file goes when the object does, unless a history row is still pending.
    void End(bool resolved, const std::string& why = "");
    // An entry that ended earlier, taken to write its rows: its file goes when the object does,
    // unless a history row is still pending.
    void Forget();
    bool Ended() const { return ended_; }
    // Whether every record so far reached the disk.
    bool Healthy() const { return healthy_; }

  private:
    friend class OperationJournal;
    JournalEntry(std::string path, int fd, int records);
    bool Append(const std::string& line, bool durable);

    std::string path_;
    int fd_ = -1;
    int records_ = 0;
    bool ended_ = false;
    bool resolved_ = false;
    bool healthy_ = true;
    std::set<int> pending_;
};

class OperationJournal {
  public:
    // The default is the user's journal folder (JournalFolder).
    explicit OperationJournal(std::string folder = JournalFolder());

    static std::string JournalFolder();
    const std::string& Folder() const { return folder_; }

    // A new entry, its intent durable (and its name in the folder) before it returns. Null when
    // the journal cannot be written: the operation goes on without it, and TakeWarning says why.
    std::shared_ptr<JournalEntry> Begin(const JournalIntent& intent);

    // Every entry whose owner is gone: the ended ones come back in `ended` (for their history
    // rows; their files are removed once those are written, see Finish), the others are
    // unfinished. Entries of live runs are left alone; a file that holds no entry is removed.
    std::vector<JournalState> Scan(std::vector<JournalState>* ended = nullptr);
    // Takes the entry at `path` to act on it (repair it, or write its rows): locked and read
    // again into `state`. Null when another run has it, or it is gone. An entry this journal has
    // claimed and still holds comes back as it is.
    std::shared_ptr<JournalEntry> Claim(const std::string& path, JournalState& state);

    // Why the journal could not be written, the first time it is asked; "" otherwise.
    std::string TakeWarning();

  private:
    void Failed(const std::string& problem);

    std::string folder_;
    bool failed_ = false;
    std::string warning_;
    std::map<std::string, std::weak_ptr<JournalEntry>> claimed_;
};

// The state an entry's text describes; false when it holds no entry.
bool ParseJournal(const std::string& text, JournalState& state);
