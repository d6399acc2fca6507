// A run killed outright (SIGKILL: nothing of it runs again) at each step of program, set step,
// --modem set and the window's TX test in turn, the kill sent by the radio itself as it records
// the step. The next run says what was in flight and releases the transmitter; 'repair --yes'
// leaves the working settings equal to flash (the old ones, or the new ones saved) and the modem
// in AT mode.

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "CliFixture.h"
#include "SignalAt.h"

namespace {

constexpr const char* kFields[] = {"PF",  "PD", "PM", "PS", "PW", "PL0", "PL1", "PL2",
                                   "PL3", "PP", "PO", "SC", "PB", "PC",  "PA",  "P1",
                                   "P2",  "P3", "P4", "PR", "PT", "PN",  "PV"};

struct KillPoint {
    std::string Event;  // the radio's event the kill comes with ("write PT", "flash")
    int Nth = 1;
};

void PrintTo(const KillPoint& p, std::ostream* out) {
    *out << "the " << p.Nth << ". \"" << p.Event << "\"";
}

std::string Name(const testing::TestParamInfo<KillPoint>& info) {
    std::string name;
    for (char c : info.param.Event)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name + "_" + std::to_string(info.param.Nth);
}

class KillTest : public CliTest, public testing::WithParamInterface<KillPoint> {
  protected:
    void Start(EmulatorOptions options) {
        at_.Signal = SIGKILL;
        at_.Prefix = GetParam().Event;
        at_.Nth = GetParam().Nth;
        options.OnEvent = [this](const RadioEvent& e) { at_.Look(e); };
        radio_ = std::make_unique<RadioEmulator>(options);
        radio_->Start();
    }
    std::string Port() const { return std::to_string(radio_->ComPort()); }
    // Runs `args` (the program first) until the radio's event kills it.
    CliResult RunUntilKilled(std::vector<std::string> args) {
        CliResult r = RunProgram(args, dir_.File("run"), std::chrono::seconds(60),
                                 [this](pid_t pid) { at_.Started(pid); });
        EXPECT_TRUE(at_.Sent) << "the run ended before the radio saw " << GetParam().Event;
        return r;
    }
    std::vector<std::string> Rm7ux(std::vector<std::string> args, bool modem = false) {
        args.insert(args.begin(), {RM7UX_CLI_PATH, "--port", Port()});
        if (modem)
            args.insert(args.begin() + 3, "--modem");
        return args;
    }
    // The next run notices what was in flight and releases the transmitter; repair --yes puts the
    // rest right.
    void ExpectNoticedAndRepaired(const std::string& operation, bool modem = false) {
        std::vector<std::string> status = {"--port", Port(), "status"};
        if (modem)
            status.insert(status.begin() + 2, "--modem");
        const CliResult next = RunPlain(status);
        EXPECT_EQ(next.Status, 0) << next.Err;
        EXPECT_TRUE(Has(next.Err, "did not finish: " + operation)) << next.Err;
        EXPECT_FALSE(Radio().Transmitting()) << "released by the next run, whatever it is";
        std::vector<std::string> repair = {"--port", Port(), "repair", "--yes"};
        if (modem)
            repair.insert(repair.begin() + 2, "--modem");
        const CliResult repaired = RunPlain(repair);
        EXPECT_EQ(repaired.Status, 0) << repaired.Err;
        EXPECT_FALSE(Radio().Transmitting());
        EXPECT_FALSE(Radio().ModemInRadioMode()) << "the modem is back in AT mode";
        for (const char* code : kFields)
            EXPECT_EQ(Radio().Field(code), Radio().FlashField(code)) << code;
        const CliResult again = RunPlain({"--port", Port(), "repair"});
        EXPECT_EQ(again.Status, 0) << again.Err;
        EXPECT_EQ(again.Out, "Nothing to repair\n") << again.Err;
        std::error_code ec;
        EXPECT_TRUE(
            std::filesystem::is_empty(dir_.File("state/KorvaTech/CFG_RM7UX_Radio/journal"), ec))
            << "every entry closed";
    }

    SignalAt& at_ = Signalling("", 0);
};

// ---- program: each field, the save and the reset ----

class ProgramKillTest : public KillTest {};

TEST_P(ProgramKillTest, TheNextRunNoticesAndRepairLeavesWorkingEqualToFlash) {
    Start({});
    at_.Armed = false;
    const std::string file = SaveThenChangeRadio("radio.RM7UX");
    at_.Armed = true;
    RunUntilKilled(Rm7ux({"program", file}));
    ExpectNoticedAndRepaired("program");
}

std::vector<KillPoint> ProgramSteps() {
    std::vector<KillPoint> steps;
    for (const char* code : kFields) {
        if (std::string(code) != "PN")
            steps.push_back({"write " + std::string(code) + " "});
    }
    for (const char* step : {"ee", "flash", "reset"})
        steps.push_back({step});
    return steps;
}

INSTANTIATE_TEST_SUITE_P(EachStep, ProgramKillTest, testing::ValuesIn(ProgramSteps()), Name);

// ---- set step: each field of the new grid, the save and the reset ----

class StepKillTest : public KillTest {};

TEST_P(StepKillTest, TheNextRunNoticesAndRepairLeavesWorkingEqualToFlash) {
    Start({});
    RunUntilKilled(Rm7ux({"set", "step", "5", "--yes"}));
    ExpectNoticedAndRepaired("frequency step");
}

INSTANTIATE_TEST_SUITE_P(EachStep, StepKillTest,
                         testing::Values(KillPoint{"write PC"}, KillPoint{"write P3"},
                                         KillPoint{"write P4"}, KillPoint{"write PT"},
                                         KillPoint{"write P1"}, KillPoint{"write P2"},
                                         KillPoint{"write PR"}, KillPoint{"ee"}, KillPoint{"flash"},
                                         KillPoint{"reset"}),
                         Name);

// ---- --modem set: each AT step in and out, each field, the save ----

class ModemKillTest : public KillTest {};

TEST_P(ModemKillTest, TheNextRunLeavesTheModemAndRepairLeavesWorkingEqualToFlash) {
    EmulatorOptions options;
    options.Modem = true;
    Start(options);
    RunUntilKilled(Rm7ux({"set", "power", "1W", "ctcss", "5", "--flash"}, true));
    ExpectNoticedAndRepaired("M82KD radio configuration mode", true);
}

INSTANTIATE_TEST_SUITE_P(EachStep, ModemKillTest,
                         testing::Values(KillPoint{"at"}, KillPoint{"at ATI"}, KillPoint{"at AT#R"},
                                         KillPoint{"password"}, KillPoint{"at AT#C9"},
                                         KillPoint{"write PW"}, KillPoint{"write SC"},
                                         KillPoint{"ee"}, KillPoint{"flash"}, KillPoint{"etx"},
                                         KillPoint{"at ATZ"}),
                         Name);

// ---- A read's keying: "O3" journaled before it is sent ----

class ReadKillTest : public KillTest {};

TEST_P(ReadKillTest, TheNextRunReleasesTheTransmitter) {
    Start({});
    RunUntilKilled(Rm7ux({"read"}));
    ASSERT_TRUE(Radio().Transmitting());
    ExpectNoticedAndRepaired("read (its transmitter pulse)");
}

INSTANTIATE_TEST_SUITE_P(KeyedByTheRead, ReadKillTest, testing::Values(KillPoint{"tx on"}), Name);

#ifdef RM7UX_WINDOW_DRIVER_PATH
// ---- The window's TX test: its read's pulse, TX ON's steps, TX OFF's ----

class WindowKillTest : public KillTest {
  protected:
    std::vector<std::string> Window(bool off) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<std::string> args = {RM7UX_WINDOW_DRIVER_PATH, "--port", Port()};
        if (off)
            args.push_back("--off");
        return args;
    }
};

TEST_P(WindowKillTest, TheNextRunReleasesTheTransmitterAndPutsItsTimeOutBack) {
    Start({});
    // Kills that come after TX ON need the driver to go on to TX OFF.
    const bool off = Has(GetParam().Event, "3C") || GetParam().Event == "tx off";
    RunUntilKilled(Window(off));
    const std::string operation =
        GetParam().Nth == 1 && GetParam().Event == "tx on" ? "read" : "transmitter test";
    ExpectNoticedAndRepaired(operation);
    EXPECT_EQ(Radio().Field("PP"), 0x3Cu) << "the operator's 60 s, not the test's 255";
}

INSTANTIATE_TEST_SUITE_P(EachStep, WindowKillTest,
                         testing::Values(KillPoint{"tx on", 1}, KillPoint{"write PP FF"},
                                         KillPoint{"tx on", 2}, KillPoint{"write PP 3C"},
                                         KillPoint{"tx off", 2}),
                         Name);

// A live window's TX test is its own: a concurrent rm7ux says nothing of it and leaves the radio
// keyed; once the window is killed, the next run releases it.
TEST_F(CliTest, ALiveWindowsTxTestIsNotUnfinishedToAConcurrentRun) {
    StartRadio();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Subprocess window({RM7UX_WINDOW_DRIVER_PATH, "--port", std::to_string(Radio().ComPort())});
    ASSERT_EQ(window.Line(), "KEYED");
    ASSERT_TRUE(Radio().Transmitting());
    const CliResult concurrent = Run({"status"});
    EXPECT_EQ(concurrent.Status, 0) << concurrent.Err;
    EXPECT_EQ(concurrent.Err, "");
    EXPECT_TRUE(Radio().Transmitting()) << "the window's test goes on";

    window.Kill();
    const CliResult next = Run({"status"});
    EXPECT_EQ(next.Status, 0) << next.Err;
    EXPECT_TRUE(Has(next.Err, "did not finish: transmitter test (the window, TX test")) << next.Err;
    EXPECT_TRUE(Has(next.Err, "its transmitter was released and its PTT time-out put back to 60 s"))
        << next.Err;
    EXPECT_FALSE(Radio().Transmitting());
    EXPECT_EQ(Radio().Field("PP"), 0x3Cu);
    EXPECT_EQ(Run({"repair"}).Out, "Nothing to repair\n");
}
#endif

}  // namespace
