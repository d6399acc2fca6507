// What the journal of operations in flight and the history do around a run that is interrupted
// or killed, through rm7ux against the emulated radio: a signal around program's flash save, a
// save to flash over an unfinished operation, the history busy, damaged or newer, the modem's
// clean-up, an interrupted set's account, an inherited "ignore", and ATZ after a late answer.

#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "CliFixture.h"
#include "SignalAt.h"
#include "history/ChangeHistory.h"
#include "history/Journal.h"

namespace {

bool Seen(const RadioEmulator& radio, const std::string& event) {
    const auto events = radio.EventTexts();
    return std::find(events.begin(), events.end(), event) != events.end();
}

class JournalTest : public CliTest {
  protected:
    void StartSignalling(SignalAt& at, EmulatorOptions options = {}) {
        options.OnEvent = [&at](const RadioEvent& e) { at.Look(e); };
        radio_ = std::make_unique<RadioEmulator>(options);
        radio_->Start();
    }
    CliResult RunUntilSignalled(std::vector<std::string> args, SignalAt& at) {
        args.insert(args.begin(), {RM7UX_CLI_PATH, "--port", std::to_string(Radio().ComPort())});
        return RunProgram(args, dir_.File("run"), std::chrono::seconds(60),
                          [&at](pid_t pid) { at.Started(pid); });
    }
    std::string HistoryFile() const {
        return dir_.File("data/KorvaTech/CFG_RM7UX_Radio/history.sqlite");
    }
    std::vector<HistoryEntry> Rows() {
        ChangeHistory history(HistoryFile());
        std::vector<HistoryEntry> entries;
        std::string problem;
        EXPECT_TRUE(history.Query({}, entries, problem)) << problem;
        return entries;
    }
    std::vector<std::string> Fields(const std::vector<HistoryEntry>& rows) {
        std::vector<std::string> fields;
        for (const HistoryEntry& e : rows)
            fields.push_back(e.Code.empty() ? e.Field : e.Code);
        std::sort(fields.begin(), fields.end());
        return fields;
    }
    // A set step killed after its first two writes: an operation left half-written.
    void LeaveAStepChangeUnfinished() {
        SignalAt& at = Signalling("write P4", SIGKILL);
        StartSignalling(at);
        RunUntilSignalled({"set", "step", "5", "--yes"}, at);
        ASSERT_TRUE(at.Sent);
    }
};

const std::vector<std::string> kChangedFields = {"PB",  "PD", "PF", "PL0", "PL1",  "PL2",
                                                 "PL3", "PM", "PO", "PP",  "PR",   "PS",
                                                 "PT",  "PV", "PW", "SC",  "flash"};

// A signal while program saves to flash (between EE and EP), just after it, and during the
// reset: the save goes whole, the radio runs on it, the run says what it did, and the history
// holds every field written and the save.
TEST_F(JournalTest, ASignalDuringOrJustAfterProgramsFlashSaveLosesNoHistory) {
    for (const char* event : {"ee", "flash", "reset"}) {
        SCOPED_TRACE(event);
        SignalAt& at = Signalling(event, SIGTERM);
        StartSignalling(at);
        at.Armed = false;
        const std::string file = SaveThenChangeRadio("radio.RM7UX");
        std::filesystem::remove(HistoryFile());
        at.Armed = true;
        const CliResult r = RunUntilSignalled({"program", file}, at);
        EXPECT_TRUE(at.Sent);
        EXPECT_EQ(r.Status, 128 + SIGTERM) << r.Err;
        EXPECT_TRUE(Has(r.Err, "interrupted by SIGTERM")) << r.Err;
        EXPECT_TRUE(Has(r.Err, std::string(event) == "reset"
                                   ? "the radio was programmed, saved to flash and reset"
                                   : "runs on its flash, which holds the file's settings"))
            << r.Err;
        EXPECT_EQ(Radio().FlashField("PT"), 0x5780u) << "the file's, saved whole";
        EXPECT_EQ(Radio().Field("PT"), 0x5780u);
        EXPECT_EQ(Fields(Rows()), kChangedFields);
        EXPECT_EQ(Run({"repair"}).Out, "Nothing to repair\n");
    }
}

// Over an unfinished operation, a save to flash would keep its half-written settings: refused,
// naming it, unless --force; repair puts it right; history shows it until then.
TEST_F(JournalTest, ASaveToFlashOverAnUnfinishedOperationIsRefused) {
    LeaveAStepChangeUnfinished();
    Radio().ClearEvents();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"flash"},
                                                 {"set", "power", "1W", "--flash"},
                                                 {"set", "step", "6.25", "--yes"}}) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.Status, 3) << args[0] << ": " << r.Err;
        EXPECT_TRUE(Has(r.Err, "did not finish: frequency step (rm7ux set step on COM")) << r.Err;
        EXPECT_TRUE(Has(r.Err, "refused: frequency step")) << r.Err;
        EXPECT_TRUE(Has(r.Err, "'rm7ux repair' puts it right; --force saves all the same"))
            << r.Err;
    }
    EXPECT_FALSE(Seen(Radio(), "ee")) << "nothing saved";
    EXPECT_FALSE(Seen(Radio(), "write PW 01"));

    const CliResult listed = RunPlain({"history", "--json"});
    EXPECT_TRUE(Has(listed.Out, "\"field\": \"unfinished\"")) << listed.Out;
    EXPECT_TRUE(Has(listed.Out, "frequency step on COM")) << listed.Out;
    const CliResult text = RunPlain({"history"});
    EXPECT_TRUE(Has(text.Out, "UNFINISHED frequency step on COM")) << text.Out;
    EXPECT_TRUE(
        Has(text.Out, "written: Frequency Step / TX Band, low; not confirmed: TX Band, high"))
        << text.Out;

    // Without --yes and without a terminal, repair does not reset the radio.
    const CliResult asked = Run({"repair"});
    EXPECT_EQ(asked.Status, 3) << asked.Err;
    EXPECT_FALSE(Seen(Radio(), "reset"));
    const CliResult forced = Run({"flash", "--force"});
    EXPECT_EQ(forced.Status, 0) << forced.Err;
    EXPECT_TRUE(Seen(Radio(), "flash"));
}

// A busy history is waited for once: the run goes on, says so once, and its entries reach the
// history at its end, or through the journal when the history is busy even then.
TEST_F(JournalTest, ABusyHistoryIsWaitedForOnceAndLosesNothing) {
    for (bool freedDuringTheRun : {true, false}) {
        SCOPED_TRACE(freedDuringTheRun);
        sqlite3* holder = nullptr;
        std::atomic<bool> held{false};
        EmulatorOptions options;
        options.OnEvent = [&](const RadioEvent& e) {
            // The other program lets go while the radio restarts, before the run's end.
            if (freedDuringTheRun && e.Text() == "reset" && held.exchange(false))
                sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        };
        radio_ = std::make_unique<RadioEmulator>(options);
        radio_->Start();
        const std::string file = SaveThenChangeRadio("radio.RM7UX");
        std::filesystem::remove(HistoryFile());
        ASSERT_EQ(Run({"set", "ctcss", "2"}).Status, 0);
        ASSERT_EQ(sqlite3_open(HistoryFile().c_str(), &holder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        held = true;
        const CliResult r = Run({"program", file});
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(CountOf(r.Err, "is in use by another program"), 1u) << r.Err;
        EXPECT_EQ(Has(r.Err, "stay in the journal, and the next run writes them"),
                  !freedDuringTheRun)
            << r.Err;
        if (held.exchange(false))
            sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        if (!freedDuringTheRun) {
            // The next run, whatever it is, writes what the journal kept.
            const CliResult history = RunPlain({"history"});
            EXPECT_EQ(history.Status, 0) << history.Err;
        }
        std::vector<HistoryEntry> rows = Rows();
        ASSERT_FALSE(rows.empty());
        rows.pop_back();  // the set before
        EXPECT_EQ(Fields(rows), kChangedFields);
        ASSERT_EQ(RunPlain({"history"}).Status, 0);
        EXPECT_EQ(Rows().size(), kChangedFields.size() + 1) << "each written once";
    }
}

// A damaged history is set aside with its journal files, once, and a new one started; one made
// by a newer version of the tool is left as it is.
TEST_F(JournalTest, ADamagedHistoryIsSetAsideOnceAndANewerOneLeftAlone) {
    StartRadio();
    std::filesystem::create_directories(std::filesystem::path(HistoryFile()).parent_path());
    for (const char* suffix : {"", "-wal", "-shm"})
        std::ofstream(HistoryFile() + suffix) << std::string(4096, 'x');
    CliResult r = Run({"set", "power", "1W"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(CountOf(r.Err, "The history of changes was damaged"), 1u) << r.Err;
    EXPECT_TRUE(Has(r.Err, "history.sqlite.corrupt-")) << r.Err;
    int aside = 0;
    for (const auto& f :
         std::filesystem::directory_iterator(std::filesystem::path(HistoryFile()).parent_path())) {
        const std::string name = f.path().filename().string();
        if (name.rfind("history.sqlite.corrupt-", 0) == 0)
            ++aside;
    }
    EXPECT_EQ(aside, 3) << "the file and its -wal and -shm";
    EXPECT_EQ(Fields(Rows()), std::vector<std::string>{"PW"});
    r = Run({"set", "power", "2W"});
    EXPECT_EQ(r.Err.find("history"), std::string::npos) << r.Err;

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(HistoryFile().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    r = Run({"set", "power", "5W"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Has(r.Err, "was made by a newer version of the tool")) << r.Err;
    EXPECT_FALSE(Has(r.Err, "damaged")) << r.Err;
    EXPECT_EQ(Rows().size(), 2u) << "not written, not renamed";
}

// What a crash can leave in the journal folder: a file that holds no entry goes without a word,
// and an entry's last record cut short by the crash is not read (nothing after it was sent).
TEST_F(JournalTest, ATornOrForeignJournalFileIsNoEntry) {
    StartRadio();
    const std::string folder = dir_.File("state/KorvaTech/CFG_RM7UX_Radio/journal");
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/20260101T000000-1-1.op") << std::string(300, '\x01') << "\n";
    std::ofstream(folder + "/20260101T000000-1-2.op")
        << "begin\tt=2026-01-01T00:00:00\tpid=1\top=set\tsource=cli\taction=set\tport=COM1"
           "\tserial=12345678\tmodel=1\n"
           "plan\tcode=PW\told=03\tnew=01\n"
           "wrote\tt=2026-01-01T00:00:00\tcode=PW\told=03\tne";
    const CliResult r = Run({"status"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Has(r.Err, "did not finish: set (rm7ux set on COM1")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "no write confirmed (to write: RF Level)")) << r.Err;
    EXPECT_FALSE(std::filesystem::exists(folder + "/20260101T000000-1-1.op"));
    EXPECT_EQ(Run({"repair", "--yes"}).Status, 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// What the journal's records say is left to do, and how it is put in words: the rules repair
// and every notice go by.
TEST(JournalState, WhatIsLeftToDoFollowsTheRecords) {
    TempDir dir;
    OperationJournal journal(dir.File("journal"));
    JournalIntent intent;
    intent.Operation = "set";
    intent.Source = "cli";
    intent.Action = "set plan NW";
    intent.Port = "COM7";
    intent.Serial = "12345678";
    // A plan's frequency, then the one asked for: PT ends with the second.
    intent.Writes = {{"P3", "5140", "5200"}, {"PT", "5780", "5300"}, {"PT", "5300", "5848"}};
    intent.Flash = true;
    const auto state = [&](const std::shared_ptr<JournalEntry>& entry) {
        JournalState s;
        EXPECT_TRUE(ParseJournal(ReadWholeFile(entry->Path()), s));
        return s;
    };
    auto entry = journal.Begin(intent);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(state(entry).WorkingMayBeHalfWritten()) << "the first write may be in flight";
    entry->Wrote("P3", "5140", "5200", "00", "00");
    entry->Wrote("PT", "5780", "5300", "00", "00");
    JournalState s = state(entry);
    EXPECT_TRUE(s.WorkingMayBeHalfWritten());
    EXPECT_EQ(s.InFlight(),
              "written: TX Band, low; not confirmed: TX Frequency; not saved to flash");
    entry->Wrote("PT", "5300", "5848", "00", "00");
    s = state(entry);
    EXPECT_FALSE(s.WorkingMayBeHalfWritten());
    EXPECT_TRUE(s.FlashMissing());
    entry->Note(kSaving);
    EXPECT_TRUE(state(entry).FlashMissing()) << "EE without EP: saved again";
    entry->Note(kSaved);
    EXPECT_FALSE(state(entry).NeedsRepair());
    EXPECT_EQ(state(entry).Title().rfind("set (rm7ux set plan NW on COM7, ", 0), 0u);

    JournalIntent test;
    test.Operation = "transmitter test";
    test.Key = true;
    test.OperatorPTT = 60;
    test.Writes = {{"PP", "3C", "FF"}};
    auto keyed = journal.Begin(test);
    ASSERT_NE(keyed, nullptr);
    EXPECT_TRUE(state(keyed).MayBeKeyed()) << "keyed from the intent on";
    EXPECT_TRUE(state(keyed).PTTToPutBack());
    EXPECT_FALSE(state(keyed).WorkingMayBeHalfWritten()) << "the release puts its one write back";
    keyed->Wrote("PP", "3C", "FF", "", "");
    keyed->Note(kReleased);
    EXPECT_FALSE(state(keyed).MayBeKeyed());
    EXPECT_TRUE(state(keyed).PTTToPutBack());
    keyed->Wrote("PP", "FF", "3C", "", "");
    EXPECT_FALSE(state(keyed).NeedsRepair());
}

// A write of the value the radio already holds, by its meaning, changes nothing to record.
TEST_F(JournalTest, WritesOfTheValuesHeldAreNoHistoryRows) {
    StartRadio();
    const CliResult r = Run({"set", "power", "5W", "ctcss", "0"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Seen(Radio(), "write PW 03"));
    EXPECT_TRUE(Seen(Radio(), "write SC 00"));
    EXPECT_TRUE(Rows().empty());
}

// A journal that cannot be written never stops the work: said once.
TEST_F(JournalTest, AJournalThatCannotBeWrittenIsSaidOnce) {
    StartRadio();
    std::ofstream(dir_.File("state")) << "a file where the folder would be";
    const CliResult r = Run({"set", "power", "1W", "ctcss", "3", "--flash"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(CountOf(r.Err, "The journal of operations in flight could not be written"), 1u)
        << r.Err;
    EXPECT_EQ(Radio().FlashField("PW"), 1u);
}

// Signalled while it enters the modem's configuration mode, --modem still leaves it: the
// clean-up is there before the first AT command.
TEST_F(JournalTest, ASignalWhileTheModemSwitchesLeavesItInAtMode) {
    for (const char* event : {"at", "at AT#R", "at AT#C9"}) {
        SCOPED_TRACE(event);
        SignalAt& at = Signalling(event, SIGTERM);
        EmulatorOptions options;
        options.Modem = true;
        StartSignalling(at, options);
        std::vector<std::string> args = {"--modem", "identify"};
        const CliResult r = RunUntilSignalled(args, at);
        EXPECT_TRUE(at.Sent);
        EXPECT_EQ(r.Status, 128 + SIGTERM) << r.Err;
        EXPECT_FALSE(Radio().ModemInRadioMode());
        EXPECT_TRUE(Seen(Radio(), "at ATZ"));
        EXPECT_EQ(Run({"--modem", "identify"}).Status, 0) << "the next --modem command works";
    }
}

// Interrupted after its values were applied, set says which before it names the signal.
TEST_F(JournalTest, AnInterruptedSetSaysWhatItApplied) {
    SignalAt& at = Signalling("write SC", SIGTERM);
    StartSignalling(at);
    const CliResult r = RunUntilSignalled({"set", "power", "1W", "ctcss", "5"}, at);
    EXPECT_EQ(r.Status, 128 + SIGTERM) << r.Err;
    EXPECT_EQ(r.Out, "power=1W\nctcss=5\n");
    EXPECT_TRUE(Has(r.Err, "interrupted by SIGTERM")) << r.Err;
    EXPECT_EQ(Radio().Field("SC"), 5u);
}

// Started with SIGHUP and SIGINT ignored (nohup), rm7ux leaves them ignored.
TEST_F(JournalTest, AnInheritedIgnoreStaysIgnored) {
    StartRadio();
    Subprocess watch({"/bin/sh", "-c",
                      "trap '' HUP INT; exec " + std::string(RM7UX_CLI_PATH) + " --port " +
                          std::to_string(Radio().ComPort()) + " watch --interval 0 --csv"});
    ASSERT_EQ(watch.Line(), "time,rssi,temperature-c\r");
    ASSERT_FALSE(watch.Line().empty());
    watch.Signal(SIGHUP);
    watch.Signal(SIGINT);
    // Still reading: lines keep coming.
    for (int n = 0; n < 20; ++n)
        ASSERT_FALSE(watch.Line().empty()) << "ended after " << n << " lines";
    EXPECT_EQ(watch.Stop(), 0) << "SIGTERM, which was not ignored, ends it";
}

// A modem slow to answer ETX (a loaded machine) still gets ATZ, and goes back to AT mode.
TEST_F(JournalTest, ALateAnswerToEtxStillGetsAtz) {
    EmulatorOptions options;
    options.Modem = true;
    radio_ = std::make_unique<RadioEmulator>(options);
    radio_->Start();
    RadioFaults faults;
    faults.EtxReplyDelayMs = 400;
    Radio().SetFaults(faults);
    const CliResult r = Run({"--modem", "identify"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Seen(Radio(), "at ATZ"));
    EXPECT_FALSE(Radio().ModemInRadioMode());
    EXPECT_FALSE(Has(r.Err, "Config loaded OK")) << r.Err;
}

}  // namespace
