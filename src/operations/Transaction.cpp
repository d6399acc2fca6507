#include "operations/Transaction.h"

#include <cctype>
#include <utility>

#include "common/StrUtils.h"
#include "config/FieldTable.h"
#include "history/HistoryEntries.h"
#include "history/Journal.h"
#include "link/RM7UXcomms.h"

namespace {

const char kCR = '\r';

// The level of a "PL0".."PL3" code.
std::string LevelOf(std::string_view code) {
    return std::string(code.substr(2));
}

bool IsValueOf(const RadioFieldInfo& f, const std::string& raw) {
    if (raw.size() != static_cast<size_t>(f.Digits))
        return false;
    for (char c : raw) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

bool WriteField(const RadioFieldInfo& f, const std::string& raw) {
    if (f.Access == FieldAccess::Level)
        return SetFieldPair("PL", LevelOf(f.Code), raw);
    return SetField(std::string(f.Code), raw);
}

}  // namespace

bool WriteFieldRaw(std::string_view code, const std::string& raw) {
    const RadioFieldInfo* f = FindRadioField(code);
    return f != nullptr && f->Writable() && WriteField(*f, raw);
}

void Resynchronise() {
    TVVComm2* link = RM7UXLink();
    if (link == nullptr || !link->IsOpen())
        return;
    link->WriteChar(kCR);
    FlushRadioLink();
}

std::string LabelOf(std::string_view code) {
    return std::string(FieldLabel(code));
}

OperationResult Refusal(std::string operation, std::string why) {
    OperationResult r;
    r.Outcome = OperationOutcome::Refused;
    r.Operation = std::move(operation);
    r.Message = r.Operation + ": " + why;
    return r;
}

std::optional<std::string> OperationResult::Value(std::string_view code) const {
    const auto it = Values.find(std::string(code));
    if (it == Values.end())
        return std::nullopt;
    return it->second;
}

std::string OperationResult::Step(const std::string& fallback) const {
    return Value("PC").value_or(fallback);
}

bool ReadRadioField(std::string_view code, std::string& raw) {
    const RadioFieldInfo* f = FindRadioField(code);
    if (f == nullptr)
        return false;
    std::string reply;
    bool ok = false;
    switch (f->Access) {
        case FieldAccess::Text:
            ok = QueryUntilPrompt("RV", reply, ">");
            if (ok)
                raw = Trim(reply);
            return ok;
        case FieldAccess::ReadOnly:
            ok = QueryField(std::string(f->Code), reply, 2, f->Digits);
            break;
        case FieldAccess::Editable:
            ok = ReadField(std::string(f->Code), reply, 2, f->Digits);
            break;
        case FieldAccess::Level:
            ok = QueryFieldWithArgument("PL", LevelOf(f->Code), reply, 2, f->Digits);
            break;
    }
    if (!ok || !IsValueOf(*f, UpperCase(reply)))
        return false;
    raw = UpperCase(reply);
    return true;
}

FieldTransaction::FieldTransaction(std::string operation, SettingsContext context,
                                   ChangeRecorder* recorder)
    : operation_(std::move(operation)), context_(std::move(context)), recorder_(recorder) {
    result_.Operation = operation_;
}

FieldTransaction::~FieldTransaction() {
    if (entry_ == nullptr || keepEntry_ || entry_->Ended())
        return;
    bool resolved = resolved_.value_or(result_.Outcome != OperationOutcome::Mixed);
    // A connection lost mid-exchange: whatever it was writing is not known to be done.
    const TVVComm2* link = RM7UXLink();
    if (link != nullptr && !link->LineLost().empty()) {
        entry_->Note(kLineLost);
        resolved = false;
    }
    entry_->End(resolved, resolved ? "" : result_.FailedStep);
}

void FieldTransaction::Intend(const std::vector<FieldWrite>& writes, IntendedSteps steps) {
    if (recorder_ == nullptr || recorder_->Journal() == nullptr || entry_ != nullptr)
        return;
    JournalIntent intent = recorder_->Intent(operation_);
    intent.StepCode = context_.StepCode;
    for (const FieldWrite& w : writes)
        intent.Writes.push_back({w.Code, Before(w.Code), w.Raw});
    intent.Flash = steps.Flash;
    intent.Restart = steps.Restart;
    intent.Key = steps.Key;
    intent.OperatorPTT = steps.OperatorPTT;
    entry_ = recorder_->Journal()->Begin(intent);
}

void FieldTransaction::Note(std::string_view kind) {
    if (entry_ != nullptr)
        entry_->Note(kind);
}

std::shared_ptr<JournalEntry> FieldTransaction::KeepEntry() {
    keepEntry_ = true;
    return entry_;
}

bool FieldTransaction::ReadBefore(const std::vector<std::string>& codes) {
    for (const std::string& code : codes) {
        std::string raw;
        if (!ReadRadioField(code, raw)) {
            Resynchronise();
            failed_ = true;
            result_.Outcome = OperationOutcome::NotRead;
            result_.FailedStep = "reading the " + LabelOf(code);
            result_.Message = operation_ + ": the radio's " + LabelOf(code) +
                              " could not be read; nothing was written.";
            return false;
        }
        before_[code] = raw;
        result_.Values[code] = raw;
    }
    return true;
}

void FieldTransaction::KnowBefore(const std::string& code, const std::string& raw) {
    before_[code] = raw;
    result_.Values[code] = raw;
}

const std::string& FieldTransaction::Before(const std::string& code) const {
    static const std::string none;
    const auto it = before_.find(code);
    return it != before_.end() ? it->second : none;
}

void FieldTransaction::Record(const std::string& code, const std::string& oldRaw,
                              const std::string& newRaw, const SettingsContext& before,
                              const SettingsContext& after) {
    const int record = entry_ != nullptr
                           ? entry_->Wrote(code, oldRaw, newRaw, before.StepCode, after.StepCode)
                           : -1;
    if (recorder_ != nullptr)
        recorder_->Field(code, oldRaw, newRaw, before, after, entry_, record);
}

bool FieldTransaction::Write(const std::string& code, const std::string& raw,
                             const SettingsContext* meantIn) {
    if (failed_)
        return false;
    const RadioFieldInfo* f = FindRadioField(code);
    const SettingsContext& after = meantIn != nullptr ? *meantIn : context_;
    if (f != nullptr && WriteField(*f, raw)) {
        written_.push_back({code, raw, after});
        result_.Written.push_back(code);
        result_.Values[code] = raw;
        result_.Unsaved = UnsavedChanges::Changed;
        Record(code, Before(code), raw, context_, after);
        return true;
    }
    Recover(code, after);
    return false;
}

std::string FieldTransaction::WrittenLabels() const {
    std::string text;
    for (const std::string& code : result_.Written)
        text += (text.empty() ? "" : ", ") + LabelOf(code);
    return text;
}

void FieldTransaction::Recover(const std::string& inFlight, const SettingsContext& meantIn) {
    failed_ = true;
    result_.FailedStep = "the " + LabelOf(inFlight) + " write";
    Resynchronise();
    // The field in flight: the radio may have taken it with only the echo lost.
    bool lineGone = false;
    std::string now;
    if (ReadRadioField(inFlight, now)) {
        result_.Values[inFlight] = now;
        if (now != Before(inFlight)) {
            written_.push_back({inFlight, now, meantIn});
            result_.Written.push_back(inFlight);
            Record(inFlight, Before(inFlight), now, context_, meantIn);
        }
    } else {
        lineGone = true;
        result_.Values[inFlight] = std::nullopt;
        result_.Written.push_back(inFlight);
    }
    PutBack(operation_ + ": the " + LabelOf(inFlight) + " write was not confirmed", lineGone);
}

void FieldTransaction::Undo(const std::string& why) {
    failed_ = true;
    result_.FailedStep = why;
    Resynchronise();
    PutBack(operation_ + ": " + why, false);
}

void FieldTransaction::PutBack(const std::string& failed, bool lineGone) {
    // Newest first, each read back: a put-back that is itself unconfirmed is judged by the radio.
    bool allBack = !lineGone;
    std::string now;
    for (auto w = written_.rbegin(); w != written_.rend(); ++w) {
        if (lineGone) {
            result_.Values[w->Code] = std::nullopt;
            continue;
        }
        const std::string& was = Before(w->Code);
        if (was.empty()) {
            // Nothing known to put back (a serial number the radio did not have).
            allBack = false;
            continue;
        }
        const RadioFieldInfo* f = FindRadioField(w->Code);
        if (f == nullptr || !WriteField(*f, was)) {
            Resynchronise();
            if (!ReadRadioField(w->Code, now)) {
                lineGone = true;
                allBack = false;
                result_.Values[w->Code] = std::nullopt;
                continue;
            }
        } else {
            now = was;
        }
        result_.Values[w->Code] = now;
        if (now != w->Raw)
            Record(w->Code, w->Raw, now, w->MeantIn, context_);
        if (now != was)
            allBack = false;
    }
    if (allBack) {
        result_.Outcome = OperationOutcome::PutBack;
        result_.Unsaved = UnsavedChanges::AsBefore;
        result_.Message = failed + (written_.empty() ? "; nothing was changed."
                                                     : "; the fields written were put back.");
        return;
    }
    result_.Outcome = OperationOutcome::Mixed;
    result_.Unsaved = UnsavedChanges::Changed;
    result_.Message =
        failed +
        (lineGone ? ", and the radio no longer answers" : ", and putting back the fields failed") +
        ": the radio may hold mixed settings.\r\nFields written: " + WrittenLabels() +
        ".\r\nA reset (which takes the radio back to its flash) or programming its "
        "configuration file will bring it back.";
}

bool FieldTransaction::SaveToFlash() {
    if (failed_)
        return false;
    Note(kSaving);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (SaveToFlashSilently()) {
            result_.Unsaved = UnsavedChanges::Saved;
            const int record = entry_ != nullptr ? entry_->Note(kSaved) : -1;
            if (recorder_ != nullptr)
                recorder_->FlashSaved(entry_, record);
            return true;
        }
        Resynchronise();
    }
    failed_ = true;
    result_.Outcome = OperationOutcome::FlashUnconfirmed;
    result_.FailedStep = "the save to flash";
    result_.Unsaved = UnsavedChanges::Changed;
    result_.Message = operation_ +
                      ": the radio did not confirm the save to flash (sent twice): its flash may "
                      "hold either the old or the new settings. Save to flash again.";
    return false;
}

bool FieldTransaction::Restart() {
    if (failed_)
        return false;
    Note(kRestarting);
    if (RestartRadio()) {
        Note(kRestarted);
        return true;
    }
    failed_ = true;
    result_.Outcome = OperationOutcome::ResetUnconfirmed;
    result_.FailedStep = "the reset";
    result_.Message = operation_ +
                      ": saved to flash, but the radio did not answer after its reset. Switch the "
                      "radio off and on.";
    return false;
}

void FieldTransaction::ReadBack(const std::vector<std::string>& codes) {
    for (const std::string& code : codes) {
        std::string raw;
        if (ReadRadioField(code, raw)) {
            result_.Values[code] = raw;
        } else {
            Resynchronise();
            result_.Values[code] = std::nullopt;
        }
    }
}
