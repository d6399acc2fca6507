// A signal to rm7ux (or the window) while the radio is keyed or half-way through a program, sent
// by the radio itself at the moment it records the command; and a transmitter whose "O4" echo is
// lost. The radio must end un-keyed, with working settings equal to its flash.

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>

#include "CliFixture.h"
#include "SignalAt.h"
#include "cli/RadioSession.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t CountOf(const std::vector<std::string>& events, const std::string& event) {
    return static_cast<size_t>(std::count(events.begin(), events.end(), event));
}

class InterruptTest : public CliTest {
  protected:
    void StartSignalling(SignalAt& at, RadioPersonality radio = RadioPersonality::RM7UH()) {
        EmulatorOptions options;
        options.Radio = std::move(radio);
        options.OnEvent = [&at](const RadioEvent& e) { at.Look(e); };
        radio_ = std::make_unique<RadioEmulator>(options);
        radio_->Start();
    }
    CliResult RunUntilSignalled(std::vector<std::string> args, SignalAt& at) {
        return RunProgram(args, dir_.File("run"), std::chrono::seconds(60),
                          [&at](pid_t pid) { at.Started(pid); });
    }
    std::vector<std::string> Rm7ux(std::vector<std::string> args) {
        args.insert(args.begin(), {RM7UX_CLI_PATH, "--port", std::to_string(Radio().ComPort())});
        return args;
    }
    // Ended with 128 + n, the radio released after it was keyed and unchanged.
    void ExpectEndedUnkeyed(const CliResult& r, const SignalAt& at) {
        EXPECT_TRUE(at.Sent);
        EXPECT_EQ(r.Status, 128 + at.Signal) << r.Err;
        EXPECT_FALSE(Radio().Transmitting());
        const auto events = Radio().EventTexts();
        const auto on = std::find(events.begin(), events.end(), "tx on");
        EXPECT_NE(std::find(on, events.end(), "tx off"), events.end());
        EXPECT_TRUE(Has(r.Err, "interrupted by SIG")) << r.Err;
        ExpectWorkingEqualsFlash();
    }
    void ExpectWorkingEqualsFlash() {
        for (const char* code :
             {"PF", "PD", "PM", "PS", "PW", "PL0", "PL1", "PL2", "PL3", "PP", "PO", "SC",
              "PB", "PC", "PA", "P1", "P2", "P3",  "P4",  "PR",  "PT",  "PN", "PV"}) {
            EXPECT_EQ(Radio().Field(code), Radio().FlashField(code)) << code;
        }
    }
};

TEST_F(InterruptTest, ASignalWhileTheReadHasKeyedTheRadioWaitsForItsRelease) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        SignalAt at{"tx on", signal};
        StartSignalling(at);
        CliResult r = RunUntilSignalled(Rm7ux({"read"}), at);
        ExpectEndedUnkeyed(r, at);
        EXPECT_EQ(r.Out, "") << "no record from an interrupted read";
    }
}

TEST_F(InterruptTest, AnInterruptedProgramFinishesItsFieldThenResetsTheRadio) {
    SignalAt at{"write PM", SIGTERM};
    StartSignalling(at);
    const std::string file = File("radio.RM7UX");
    ASSERT_EQ(Run({"save", file}).Status, 0);
    // The radio before the program: other calibration in working settings and flash alike.
    RadioPersonality before = Radio().Radio();
    for (RadioFields* f : {&before.Fields, &before.Flash}) {
        f->PF = 0x11;
        f->PD = 0x22;
        f->PM = 0x33;
        f->PS = 0x44;
    }
    Radio().SwapRadio(before);
    Radio().ClearEvents();

    CliResult r = RunUntilSignalled(Rm7ux({"program", file}), at);
    EXPECT_EQ(r.Status, 128 + SIGTERM) << r.Err;
    const auto events = Radio().EventTexts();
    EXPECT_EQ(CountOf(events, "write PM 80"), 1u);
    EXPECT_FALSE(std::any_of(events.begin(), events.end(), [](const std::string& e) {
        return e.rfind("write PS", 0) == 0;
    })) << "no field after the signal";
    EXPECT_EQ(CountOf(events, "flash"), 0u);
    EXPECT_EQ(CountOf(events, "reset"), 1u);
    EXPECT_EQ(Radio().Field("PM"), 0x33u) << "the working settings are the flash's again";
    ExpectWorkingEqualsFlash();
    EXPECT_TRUE(Has(r.Err, "interrupted by SIGTERM")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "the radio was reset and runs on its flash")) << r.Err;
}

// "O3" taken, the echo of "O4" lost: the read fails, and a carriage return and "O4" follow.
// When that echo is lost too, the operator is told.
// A watch is meant to be ended by a signal: it stops between readings, closes the port and ends
// as done, with every reading whole.
TEST_F(InterruptTest, AWatchEndsBetweenReadingsOnASignal) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        SignalAt at{"read RT", signal};
        StartSignalling(at);
        CliResult r = RunUntilSignalled(Rm7ux({"watch", "--interval", "0", "--csv"}), at);
        EXPECT_TRUE(at.Sent);
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_TRUE(Has(r.Out, ",42,25\n")) << r.Out;
        EXPECT_EQ(r.Out.back(), '\n');
    }
}

TEST_F(InterruptTest, ALostEchoOfTheReleaseIsFollowedByAnotherRelease) {
    for (int lost : {1, -1}) {
        SCOPED_TRACE(lost);
        StartRadio();
        RadioFaults faults;
        faults.LoseEchoOf = "O4";
        faults.LoseEchoTimes = lost;
        Radio().SetFaults(faults);
        const std::string log = File("link.log");
        CliResult r = Run({"--log", log, "read"});
        EXPECT_EQ(r.Status, 1) << r.Err;
        EXPECT_FALSE(Radio().Transmitting());
        EXPECT_EQ(CountOf(Radio().EventTexts(), "tx off"), 2u);
        EXPECT_EQ(Has(r.Err, kTransmitterMayBeOnText), lost < 0) << r.Err;
        EXPECT_TRUE(Has(ReadWholeFile(log), "Setting data bits = 8")) << "8N1 on the line";
    }
}

#ifdef RM7UX_WINDOW_PATH
TEST_F(InterruptTest, TheWindowEndsAfterTheExchangeThatASignalInterrupts) {
    SignalAt at{"tx on", SIGTERM};
    StartSignalling(at);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    CliResult r = RunUntilSignalled(
        {RM7UX_WINDOW_PATH, "--port", std::to_string(Radio().ComPort()), "--connect", "--report"},
        at);
    ExpectEndedUnkeyed(r, at);
}
#endif

}  // namespace
