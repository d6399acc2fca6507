#pragma once
// History entries for what a caller did to a radio, in the units of the settings table.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/RadioSettings.h"
#include "history/ChangeHistory.h"
#include "history/Journal.h"

// The radio and the origin shared by the entries of one piece of work.
struct HistoryOrigin {
    std::string Serial;       // eight digits, "" when the radio holds none
    std::string Model;        // "RM7UX", "RM7VX"
    std::string Source;       // "window", "cli"
    std::string Action;       // "set", "program", ...
    SettingsContext Context;  // decodes the values
    std::string Port;         // "COM7", a device or an address: where the journal finds it
};

// The origin for a radio by its serial number (-1 for none) and version text.
HistoryOrigin OriginOf(int64_t serial, const std::string& versionText, int radioModel,
                       std::string source, std::string action);

// A field that went from `oldRaw` to `newRaw`, decoded in `origin`'s context (the old value in
// `oldContext` where the change moved the grid under it, as a step change does).
HistoryEntry FieldChangeEntry(const HistoryOrigin& origin, std::string_view code,
                              const std::string& oldRaw, const std::string& newRaw);
HistoryEntry FieldChangeEntry(const HistoryOrigin& origin, std::string_view code,
                              const std::string& oldRaw, const std::string& newRaw,
                              const SettingsContext& oldContext);
// A save of the working settings to flash: an entry of its own.
HistoryEntry FlashSaveEntry(const HistoryOrigin& origin);

// What one piece of work does to one radio, recorded as it happens: each field whose meaning
// changed, and each save to flash. A history that cannot be written never stops the work; the
// reason is kept once for the caller to show as it shows things. The operations keep their
// journal of operations in flight through it too (Journal), and each row marks its record in
// the operation's journal entry once it is in the history.
class ChangeRecorder {
  public:
    // `history` may be null: nothing is recorded; `journal` may be null: nothing is journaled.
    ChangeRecorder(ChangeHistory* history, HistoryOrigin origin,
                   OperationJournal* journal = nullptr);

    HistoryOrigin& Origin() { return origin_; }
    OperationJournal* Journal() const { return journal_; }
    // The intent of an operation on the recorder's radio and port, the rest filled from it.
    JournalIntent Intent(std::string operation) const;
    // A field that went from `oldRaw`, meant in `before`, to `newRaw`, meant in `after`; `entry`
    // and `record` are its write's in the journal (null and -1 for none).
    void Field(std::string_view code, const std::string& oldRaw, const std::string& newRaw,
               const SettingsContext& before, const SettingsContext& after,
               const std::shared_ptr<JournalEntry>& entry = nullptr, int record = -1);
    void FlashSaved(const std::shared_ptr<JournalEntry>& entry = nullptr, int record = -1);
    // A row as it stands (one the journal kept for a run that died).
    void Put(const HistoryEntry& e, const std::shared_ptr<JournalEntry>& entry = nullptr,
             int record = -1);
    // Why the history or the journal could not be written, each the first time it is asked; ""
    // otherwise.
    std::string TakeWarning();

  private:
    ChangeHistory* history_;
    HistoryOrigin origin_;
    OperationJournal* journal_;
    std::vector<std::string> warnings_;
};

// The history rows of entries whose runs died (or could not write them): written, each
// record marked in its entry; an ended entry's file goes once they are in. `states` as
// OperationJournal::Scan gives them.
void RecordJournalRows(ChangeHistory& history, OperationJournal& journal,
                       const std::vector<JournalState>& states);
// The entry's radio, origin and context, as its intent recorded them.
HistoryOrigin OriginOfJournal(const JournalState& state);
// An operation that did not finish, as a line of the history shows it: field "unfinished", the
// operation and what was in flight as its new value.
inline constexpr const char* kUnfinishedField = "unfinished";
HistoryEntry UnfinishedEntry(const JournalState& state);
