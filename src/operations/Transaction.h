#pragma once
// The all-or-nothing write that every operation is made of: every field read before the first
// write, each write checked, and on the first failure the field in flight read back and every
// field that differs from its earlier value put back, newest first, each read back. A lost echo
// may mean that the radio took the value or that it did not: the radio is read, not guessed.
// With a journal (the recorder's), what the operation is about to do is on disk before its first
// write (Intend), each confirmed write, the save and the restart as they happen, and its end:
// unresolved when the radio was not left as meant or put back.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/RadioSettings.h"
#include "operations/RadioOperations.h"

class ChangeRecorder;
class JournalEntry;

// What an operation does besides its writes, for its journal entry.
struct IntendedSteps {
    bool Flash = false;    // saves to flash after the writes
    bool Restart = false;  // restarts the radio after the save
    bool Key = false;      // keys the transmitter
    int OperatorPTT = -1;  // with Key: the time-out to put back
};

class FieldTransaction {
  public:
    // `operation` names it in messages ("frequency step"); `context` is what the radio's
    // values mean now (its model, captions and step).
    FieldTransaction(std::string operation, SettingsContext context, ChangeRecorder* recorder);
    // Ends the journal entry: resolved unless the result is Mixed, the line was lost, or
    // Resolved(false) said otherwise; kept open after KeepEntry.
    ~FieldTransaction();
    FieldTransaction(const FieldTransaction&) = delete;
    FieldTransaction& operator=(const FieldTransaction&) = delete;

    // What the operation is about to do, on disk before the first write (the values read before
    // go with it). Without a journal, nothing.
    void Intend(const std::vector<FieldWrite>& writes, IntendedSteps steps = {});
    // A step of the operation for its journal entry (kRestarting...).
    void Note(std::string_view kind);
    // The entry outlives the transaction (the TX test's lasts until TX OFF).
    std::shared_ptr<JournalEntry> KeepEntry();
    const std::shared_ptr<JournalEntry>& Entry() const { return entry_; }
    // How the operation left the radio, where its result does not say it.
    void Resolved(bool resolved) { resolved_ = resolved; }

    // Reads the present value of each field that may be written. False, with the result
    // NotRead, when one cannot be read: nothing has been written.
    bool ReadBefore(const std::vector<std::string>& codes);
    // A value known without reading it (a record read in full just before).
    void KnowBefore(const std::string& code, const std::string& raw);
    // The value read before; "" for a field not read.
    const std::string& Before(const std::string& code) const;

    // Writes one field; `meantIn` is the context of the new value when it differs from the one
    // the radio's values had (a step change). False after a failure: the recovery has run and
    // the result says how it ended. Nothing more may be written then.
    bool Write(const std::string& code, const std::string& raw,
               const SettingsContext* meantIn = nullptr);
    // After every write: EE then EP, once more when unconfirmed. False: FlashUnconfirmed.
    bool SaveToFlash();
    // After the save: the radio restarted from its flash ("O", "Z", its greeting). False:
    // ResetUnconfirmed.
    bool Restart();
    // Reads fields again after a restart into the result's values; unreadable ones unknown.
    void ReadBack(const std::vector<std::string>& codes);

    // Ends the operation without a failed write (the radio refused what followed the writes):
    // every field written is put back as after a failed write.
    void Undo(const std::string& why);

    OperationResult& Result() { return result_; }
    // What the radio's values mean before the writes: its step is known once read.
    SettingsContext& Context() { return context_; }
    bool Failed() const { return failed_; }

  private:
    void Recover(const std::string& inFlight, const SettingsContext& meantIn);
    void PutBack(const std::string& failed, bool lineGone);
    // The confirmed write in the journal, then in the history.
    void Record(const std::string& code, const std::string& oldRaw, const std::string& newRaw,
                const SettingsContext& before, const SettingsContext& after);
    std::string WrittenLabels() const;

    std::string operation_;
    SettingsContext context_;
    ChangeRecorder* recorder_;
    std::map<std::string, std::string> before_;
    // Each field written, in order, with the context its new value is meant in.
    struct Written {
        std::string Code;
        std::string Raw;
        SettingsContext MeantIn;
    };
    std::vector<Written> written_;
    OperationResult result_;
    bool failed_ = false;
    std::shared_ptr<JournalEntry> entry_;
    bool keepEntry_ = false;
    std::optional<bool> resolved_;
};

// One field typed with its echo checked ("PL2" through "PL" with its level).
bool WriteFieldRaw(std::string_view code, const std::string& raw);
// "O4", and once more when its echo is lost; false when neither was confirmed.
bool ReleaseTransmitter();
// What is left of a command that failed (its echo, a prompt, a carriage return's answer) goes,
// so that it does not pass for the next reply.
void Resynchronise();
// "TX frequency", "RF level": a field as the window names it.
std::string LabelOf(std::string_view code);
// The result for an operation that sent nothing, with why.
OperationResult Refusal(std::string operation, std::string why);
