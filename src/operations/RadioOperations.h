#pragma once
// The radio's operations that take more than one command, each written once, for the window,
// the command line and the alignment view alike. Each runs on an open link to an identified
// radio (the caller opens, identifies and closes), and is all-or-nothing: it reads every field
// it will write first, checks every command's result and stops at the first failure; after a
// failed write it reads back the field in flight and puts back, newest first, every field that
// differs from what it was, so that the working settings are as they were; nothing is saved to
// flash after a failure. The result says what happened in the operator's words and holds the
// radio's values as they were last read or confirmed, for the caller to show exactly those.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/RadioSettings.h"
#include "frequency/CountryFrequency.h"
#include "history/Journal.h"

class ChangeHistory;
class ChangeRecorder;

enum class OperationOutcome {
    Done,              // every step confirmed
    Refused,           // nothing was sent: the radio or a value does not allow it
    NotRead,           // a field could not be read before the first write; nothing was written
    PutBack,           // a write was not confirmed; every field written was put back as it was
    Mixed,             // a write failed and putting back failed too, or the line is gone
    FlashUnconfirmed,  // every field was confirmed, the save to flash was not (it was sent twice)
    ResetUnconfirmed,  // saved to flash, but the restarted radio did not answer
};

// How the radio's working settings stand against its flash after an operation.
enum class UnsavedChanges {
    AsBefore,  // nothing changed them (or everything was put back as it was)
    Changed,   // they may differ from flash now
    Saved,     // a confirmed save to flash (or reset) made them equal
};

struct OperationResult {
    OperationOutcome Outcome = OperationOutcome::Done;
    std::string Operation;   // "frequency step"
    std::string FailedStep;  // "the TX frequency write"; "" when done
    // What the operator is told, lines broken by CR LF; "" when there is nothing to say.
    std::string Message;
    // The fields that may have reached the radio, in the order written.
    std::vector<std::string> Written;
    // The radio's values by code ("PT" -> "5780") as last read or confirmed; nullopt where the
    // value is unknown (the line went before it could be read back).
    std::map<std::string, std::optional<std::string>> Values;
    UnsavedChanges Unsaved = UnsavedChanges::AsBefore;

    bool Done() const { return Outcome == OperationOutcome::Done; }
    // The value the radio holds for `code`: known, and among the operation's fields.
    std::optional<std::string> Value(std::string_view code) const;
    // The step the radio is on afterwards (its PC value), or `fallback`.
    std::string Step(const std::string& fallback) const;
};

// The radio on the open link, as identification and its serial number tell.
struct RadioIdentity {
    int Model = 1;            // 1 RM7UX, 0 RM7VX
    std::string VersionText;  // the identification text
    int64_t Serial = -1;      // -1 when it holds none
    // The context values are decoded in (no step: each operation reads it).
    SettingsContext Context() const;
};

// ---- Which radio is on the cable ----

enum class SameRadio { Yes, Another, NoAnswer };
// Identifies the radio again and reads its serial number; `found` gets what it has read.
SameRadio CheckSameRadio(int64_t expectedSerial, RadioIdentity* found = nullptr);
// Identification and serial number of the radio identified last on the open link; false when
// the serial number cannot be read (the link failed, or the reply is no number).
bool IdentifyOnLink(RadioIdentity& radio);

// ---- Single fields ----

// A field by its code, read as the radio answers it ("PL2" through "PL" with its level); false
// when the exchange fails or the reply is not a value of the field.
bool ReadRadioField(std::string_view code, std::string& raw);
// One field written and confirmed; when the confirmation is lost, the field is read back, so
// the result holds what the radio has either way. One field is taken whole or not at all, so it
// has no journal entry of its own; `entry`, when given, is the operation's it belongs to.
OperationResult WriteRadioField(std::string_view code, const std::string& raw,
                                const SettingsContext& context, ChangeRecorder* recorder,
                                const std::shared_ptr<JournalEntry>& entry = nullptr);
// Several fields in one operation (the command line's set): all or nothing.
struct FieldWrite {
    std::string Code;
    std::string Raw;
};
// With `saveToFlash`, the working settings are saved after the last write, in the same
// operation (a kill between the two leaves the save for the next run to offer).
OperationResult WriteRadioFields(const std::string& operation,
                                 const std::vector<FieldWrite>& writes,
                                 const SettingsContext& context, ChangeRecorder* recorder,
                                 bool saveToFlash = false);

// ---- Flash, reset ----

// "EE" then "EP"; sent once more when unconfirmed. FlashUnconfirmed: flash may hold the old or
// the new settings, and the operator is told so.
OperationResult SaveWorkingSettings(ChangeRecorder* recorder);

// ---- Frequency step ----

struct StepChange {
    std::string StepCode;                // "00" 6.25 kHz, "01" 5 kHz
    std::optional<double> TxMHz, RxMHz;  // the frequencies wanted; none: the radio's own
};
// Every limit and both frequencies kept in MHz on the new grid (limits between two channels move
// inward, frequencies are snapped and kept within them), written after the step, saved to flash,
// and the radio reset; then the step, limits and frequencies are read back.
OperationResult ChangeFrequencyStep(const StepChange& change, const RadioIdentity& radio,
                                    ChangeRecorder* recorder);

// ---- Country/band plans ----

// A plan's limits on the radio's grid: a limit between two channels moves inward.
struct PlanChannels {
    int64_t Lower = 0, Upper = 0;
};
PlanChannels ChannelsOfPlan(int radioModel, std::string_view stepCode, const TGroupFreqBand& row);
// The plan of the band whose limits, on the radio's grid, are the radio's on both sides (P1..P4,
// as channel texts); nullptr when none is.
const TGroupFreqBand* PlanOfLimits(int radioModel, std::string_view stepCode, int32_t bandCode,
                                   const std::string& p1, const std::string& p2,
                                   const std::string& p3, const std::string& p4);
// What applying a plan writes, in order: both sides' limits on the radio's grid, both
// frequencies at its centre (P1, P2, PR, P3, P4, PT).
std::vector<FieldWrite> PlanFieldWrites(const TGroupFreqBand& row, int radioModel,
                                        const std::string& stepCode);
// "entire" for the band's whole range, the plan's abbreviation otherwise.
std::string PlanCodeOf(const TGroupFreqBand& row);
// Both sides' limits to the plan's, both frequencies to its centre on the radio's grid: P1, P2,
// PR, P3, P4, PT. Not saved to flash.
OperationResult ApplyPlan(const TGroupFreqBand& row, const RadioIdentity& radio,
                          ChangeRecorder* recorder);

// ---- Program a record ----

// Why a record cannot be programmed into a radio of `radioModel`, naming the field; nullopt
// when it can. Invalid: a value the model cannot hold; OutOfLimits: a frequency outside the
// record's own band limits.
struct RecordRefusal {
    std::string Code;
    SettingRefusal Kind = SettingRefusal::Invalid;
    std::string Problem;
};
std::optional<RecordRefusal> CheckRecordForRadio(const TRM7UXFlashRecord& record, int radioModel);
// The record's fields in their fixed order (its serial number only when it holds one, PV only
// where the firmware takes it), then the save to flash, then a reset. `before` holds what the
// radio held when it was reviewed, read in full: what a failed write puts back. An interrupting
// signal ends the program between two fields with a reset, so the radio runs on its flash.
OperationResult ProgramRecord(const TRM7UXFlashRecord& record, const TRM7UXFlashRecord& before,
                              const RadioIdentity& radio, ChangeRecorder* recorder);

// ---- Transmitter test ----

// The operator's PTT time-out kept (read from the radio), PP set to FF, then "O3". A failed
// PP write keys nothing; an "O3" whose echo is lost is followed by "O4" and PP put back.
// `operatorPTT` gets the time-out the radio had.
OperationResult TransmitterTestOn(int& operatorPTT, const RadioIdentity& radio,
                                  ChangeRecorder* recorder);
// PP put back to `operatorPTT`, then "O4" (sent once more when its echo is lost). The result is
// Done only when the release and the time-out were both confirmed.
OperationResult TransmitterTestOff(int operatorPTT, const RadioIdentity& radio,
                                   ChangeRecorder* recorder);
// A read that keyed and released the radio during a TX test ended the test: the operator's
// time-out put back, and the test's journal entry closed.
OperationResult TransmitterTestEnded(int operatorPTT, const RadioIdentity& radio,
                                     ChangeRecorder* recorder);
// Whether the radio may still be keyed after the last operation.
bool TransmitterMayStillBeOn();
// While it lives, every "O3" outside a TX test (a read's pulse) is journaled from before it is
// sent until its release, as an operation on the port `port` names at the time.
class TransmitterKeyingWatch {
  public:
    TransmitterKeyingWatch(OperationJournal* journal, std::function<std::string()> port,
                           std::string source);
    ~TransmitterKeyingWatch();
    TransmitterKeyingWatch(const TransmitterKeyingWatch&) = delete;
    TransmitterKeyingWatch& operator=(const TransmitterKeyingWatch&) = delete;
};

// ---- The M82KD modem ----

// EnterModemConfigMode, journaled on `port` from before the first AT command (journal may be
// null) until LeaveModemConfiguration has the modem back in AT mode.
bool EnterModemConfiguration(const std::string& password, std::string* reply,
                             OperationJournal* journal, const std::string& port,
                             const std::string& source);
bool LeaveModemConfiguration(bool& configLoaded);

// ---- What a full read corrects ----

// A cut-out temperature below `minimum` set to the top (215 °C); saved to flash at once only
// when nothing else is unsaved (`othersUnsaved` false), since a save stores everything.
OperationResult CorrectCutout(int32_t minimum, bool othersUnsaved, const RadioIdentity& radio,
                              ChangeRecorder* recorder);

// ---- Operations an earlier run left unfinished ----

// Every operation whose run died or which ended unresolved; live runs' are not. On the way, the
// history gets the rows of every entry whose run died (`history` may be null).
std::vector<JournalState> UnfinishedOperations(OperationJournal& journal, ChangeHistory* history);
// Whether it is an operation on the radio with `serial` (eight digits, "" when not known) on
// `port`: by serial number on any port (USB names move), and without a serial number on the
// same port.
bool OperationOf(const JournalState& state, const std::string& serial, const std::string& port);
std::vector<JournalState> OperationsOf(const std::vector<JournalState>& states,
                                       const std::string& serial, const std::string& port);
// What a repair does to the working settings and flash.
enum class RepairKind {
    None,
    Save,   // every write confirmed, only the save to flash (and a reset) missing
    Reset,  // half-written, or saved but not reset onto it: the radio restarts on its flash
};
RepairKind RepairOffered(const JournalState& state);
// Why, in the operator's words ("every write was confirmed; only the save to flash is missing").
std::string RepairOfferText(const JournalState& state);
// On an open link to the entry's radio: released ("O4", sent again when unconfirmed) and the PTT
// time-out the entry recorded put back. Done at once by every run that meets it.
OperationResult ReleaseLeftKeyed(const JournalState& state, OperationJournal& journal,
                                 const RadioIdentity& radio, ChangeRecorder* recorder);
// On an open link: the save (and the reset the operation meant), or the reset onto flash.
OperationResult RepairWorkingSettings(const JournalState& state, OperationJournal& journal,
                                      const RadioIdentity& radio, ChangeRecorder* recorder);
// The modem back in AT mode (an exchange of its own); false when it did not answer.
bool ReturnModemToAtMode(const JournalState& state, OperationJournal& journal);
// An entry with nothing left to do (it ended unresolved, but the radio is as meant) closed.
void CloseUnlessUnfinished(const JournalState& state, OperationJournal& journal);
