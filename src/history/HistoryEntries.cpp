#include "history/HistoryEntries.h"

#include <utility>

#include "config/SerialGuard.h"

namespace {

// A value in its unit; the raw digits where they are not a value of the field (or are unknown).
std::string InUnit(const RadioSetting* s, const std::string& raw, const SettingsContext& ctx) {
    if (s == nullptr || raw.empty())
        return raw;
    return DecodeSetting(*s, raw, ctx).value_or(raw);
}

}  // namespace

HistoryOrigin OriginOf(int64_t serial, const std::string& versionText, int radioModel,
                       std::string source, std::string action) {
    HistoryOrigin o;
    o.Serial = serial >= 0 ? FormatSerialNumber(serial) : "";
    o.Model = radioModel == 1 ? "RM7UX" : "RM7VX";
    o.Source = std::move(source);
    o.Action = std::move(action);
    o.Context.RadioModel = radioModel;
    o.Context.VersionText = versionText;
    return o;
}

HistoryEntry FieldChangeEntry(const HistoryOrigin& origin, std::string_view code,
                              const std::string& oldRaw, const std::string& newRaw) {
    return FieldChangeEntry(origin, code, oldRaw, newRaw, origin.Context);
}

HistoryEntry FieldChangeEntry(const HistoryOrigin& origin, std::string_view code,
                              const std::string& oldRaw, const std::string& newRaw,
                              const SettingsContext& oldContext) {
    const RadioSetting* s = SettingOfCode(code);
    HistoryEntry e;
    e.Serial = origin.Serial;
    e.Model = origin.Model;
    e.Field = s != nullptr ? std::string(s->Name) : std::string(code);
    e.Code = std::string(code);
    e.Unit = s != nullptr ? std::string(s->Unit) : "";
    e.OldRaw = oldRaw;
    e.NewRaw = newRaw;
    e.OldValue = InUnit(s, oldRaw, oldContext);
    e.NewValue = InUnit(s, newRaw, origin.Context);
    e.Source = origin.Source;
    e.Action = origin.Action;
    return e;
}

HistoryEntry FlashSaveEntry(const HistoryOrigin& origin) {
    HistoryEntry e;
    e.Serial = origin.Serial;
    e.Model = origin.Model;
    e.Field = "flash";
    e.Source = origin.Source;
    e.Action = origin.Action;
    return e;
}

ChangeRecorder::ChangeRecorder(ChangeHistory* history, HistoryOrigin origin,
                               OperationJournal* journal)
    : history_(history), origin_(std::move(origin)), journal_(journal) {}

JournalIntent ChangeRecorder::Intent(std::string operation) const {
    JournalIntent i;
    i.Operation = std::move(operation);
    i.Source = origin_.Source;
    i.Action = origin_.Action;
    i.Port = origin_.Port;
    i.Serial = origin_.Serial;
    i.Model = origin_.Context.RadioModel;
    i.VersionText = origin_.Context.VersionText;
    i.StepCode = origin_.Context.StepCode;
    return i;
}

void ChangeRecorder::Put(const HistoryEntry& e, const std::shared_ptr<JournalEntry>& entry,
                         int record) {
    if (history_ == nullptr)
        return;
    std::function<void()> written;
    auto done = std::make_shared<bool>(false);
    if (entry != nullptr && record >= 0) {
        // The entry stays, locked, until its row is in: a run that dies first leaves it to the
        // next one.
        written = [entry, record, done] {
            *done = true;
            entry->RowWritten(record);
        };
    }
    const bool kept = history_->Record(e, std::move(written));
    if (kept && !*done && entry != nullptr && record >= 0)
        entry->RowPending(record);
    for (std::string w; !(w = history_->TakeWarning()).empty();)
        warnings_.push_back(std::move(w));
}

void ChangeRecorder::Field(std::string_view code, const std::string& oldRaw,
                           const std::string& newRaw, const SettingsContext& before,
                           const SettingsContext& after, const std::shared_ptr<JournalEntry>& entry,
                           int record) {
    if (SameMeaning(code, oldRaw, before, newRaw, after))
        return;
    HistoryOrigin origin = origin_;
    origin.Context = after;
    Put(FieldChangeEntry(origin, code, oldRaw, newRaw, before), entry, record);
}

void ChangeRecorder::FlashSaved(const std::shared_ptr<JournalEntry>& entry, int record) {
    Put(FlashSaveEntry(origin_), entry, record);
}

std::string ChangeRecorder::TakeWarning() {
    if (journal_ != nullptr) {
        if (std::string w = journal_->TakeWarning(); !w.empty())
            warnings_.push_back(std::move(w));
    }
    if (warnings_.empty())
        return "";
    std::string first = std::move(warnings_.front());
    warnings_.erase(warnings_.begin());
    return first;
}

HistoryOrigin OriginOfJournal(const JournalState& state) {
    HistoryOrigin o;
    o.Serial = state.Intent.Serial;
    o.Model = state.Intent.Model == 1 ? "RM7UX" : "RM7VX";
    o.Source = state.Intent.Source;
    o.Action = state.Intent.Action;
    o.Context.RadioModel = state.Intent.Model;
    o.Context.VersionText = state.Intent.VersionText;
    o.Context.StepCode = state.Intent.StepCode.empty() ? "00" : state.Intent.StepCode;
    o.Port = state.Intent.Port;
    return o;
}

HistoryEntry UnfinishedEntry(const JournalState& state) {
    const HistoryOrigin origin = OriginOfJournal(state);
    HistoryEntry e;
    e.Time = state.Time;
    e.Serial = origin.Serial;
    e.Model = origin.Model;
    e.Field = kUnfinishedField;
    e.NewValue = state.Intent.Operation + " on " + state.Intent.Port +
                 (state.InFlight().empty() ? "" : ": " + state.InFlight());
    e.Source = origin.Source;
    e.Action = origin.Action;
    e.User = state.User;
    return e;
}

namespace {

bool SameRow(const HistoryEntry& a, const HistoryEntry& b) {
    return a.Serial == b.Serial && a.Field == b.Field && a.Code == b.Code && a.OldRaw == b.OldRaw &&
           a.NewRaw == b.NewRaw && a.Source == b.Source && a.Action == b.Action && a.Time >= b.Time;
}

// A row the dead run wrote just before it could mark it: among the radio's newest ones.
bool AlreadyThere(ChangeHistory& history, const HistoryEntry& row, const std::string& since) {
    HistoryFilter filter;
    filter.Serial = row.Serial;
    HistoryEntry from = row;
    from.Time = since;
    bool found = false;
    int looked = 0;
    std::string problem;
    history.Query(
        filter,
        [&](const HistoryEntry& e) {
            found = SameRow(e, from);
            return !found && ++looked < 64;
        },
        problem);
    return found;
}

}  // namespace

void RecordJournalRows(ChangeHistory& history, OperationJournal& journal,
                       const std::vector<JournalState>& states) {
    for (const JournalState& listed : states) {
        JournalState state;
        std::shared_ptr<JournalEntry> entry = journal.Claim(listed.Path, state);
        if (entry == nullptr)
            continue;
        const HistoryOrigin origin = OriginOfJournal(state);
        ChangeRecorder recorder(&history, origin);
        // Only the last record's row can be in without its mark: a kill between the two.
        int unmarked = 0;
        for (const JournalWrite& w : state.Writes) {
            if (state.RowsWritten.count(w.Record) != 0)
                continue;
            SettingsContext before = origin.Context, after = origin.Context;
            if (!w.StepBefore.empty())
                before.StepCode = w.StepBefore;
            if (!w.StepAfter.empty())
                after.StepCode = w.StepAfter;
            if (SameMeaning(w.Code, w.OldRaw, before, w.NewRaw, after))
                continue;
            HistoryOrigin at = origin;
            at.Context = after;
            HistoryEntry row = FieldChangeEntry(at, w.Code, w.OldRaw, w.NewRaw, before);
            row.Time = w.Time;
            row.User = state.User;
            if (unmarked++ == 0 && AlreadyThere(history, row, w.Time)) {
                entry->RowWritten(w.Record);
                continue;
            }
            recorder.Put(row, entry, w.Record);
        }
        if (state.Saved && state.RowsWritten.count(state.SavedRecord) == 0) {
            HistoryEntry row = FlashSaveEntry(origin);
            row.Time = state.SavedTime;
            row.User = state.User;
            if (unmarked++ == 0 && AlreadyThere(history, row, state.SavedTime))
                entry->RowWritten(state.SavedRecord);
            else
                recorder.Put(row, entry, state.SavedRecord);
        }
        if (state.Ended && !state.Unresolved)
            entry->Forget();
    }
}
