// program: the serial-number decision, write, flash, reset and read-back; and rm7ux simulate
// serving a radio to save from and program into.

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "CliFixture.h"
#include "Subprocess.h"

namespace {

std::vector<std::string> Writes(const std::vector<std::string>& events) {
    std::vector<std::string> writes;
    std::copy_if(events.begin(), events.end(), std::back_inserter(writes),
                 [](const std::string& e) { return e.rfind("write ", 0) == 0; });
    return writes;
}

bool Saw(const std::vector<std::string>& events, const std::string& event) {
    return std::find(events.begin(), events.end(), event) != events.end();
}

TEST_F(CliTest, ProgramDecidesByTheSerialNumbers) {
    struct Case {
        const char* Name;
        uint32_t FileSerial;
        uint32_t RadioSerial;
        bool Yes;
        int Status;
        std::string WritePN;                // "" when PN must not be written
        std::vector<std::string> ErrParts;  // in standard error
    };
    const Case cases[] = {
        {"same radio", 12345678, 12345678, false, 0, "", {"Configuration Saved to Flash"}},
        {"another module",
         1234567,
         7654321,
         true,
         3,
         "",
         {"Wrong device !!", "serial number '01234567'", "serial number '07654321'"}},
        {"no valid serial, not confirmed",
         1000000,
         0,
         false,
         3,
         "",
         {"Invalid serial number in connect device!!", "pass --yes"}},
        {"no valid serial, confirmed",
         1000000,
         0,
         true,
         0,
         "write PN 000F4240",
         {"Program Serial Number ?", "'01000000'"}},
        {"above the highest valid", 13000000, 0, true, 3, "", {"Wrong device !!"}},
        {"saved from serial 0", 0, 0, false, 0, "", {}},
        {"saved from serial 0, other radio", 0, 12345678, true, 3, "", {"Wrong device !!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        StartRadio(WithSerial(RadioPersonality::RM7UH(), c.FileSerial));
        const std::string file = File(std::string(c.Name) + ".RM7UX");
        ASSERT_EQ(Run({"save", file}).Status, 0);

        // Another radio (or the same one) with a transmit frequency the file will change.
        RadioPersonality radio = WithSerial(RadioPersonality::RM7UH(), c.RadioSerial);
        radio.Fields.PT = radio.Flash.PT = 0x5000;
        Radio().SwapRadio(radio);
        Radio().ClearEvents();

        std::vector<std::string> args = {"program", file};
        if (c.Yes)
            args.push_back("--yes");
        CliResult r = Run(args);
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        for (const auto& part : c.ErrParts)
            EXPECT_TRUE(Has(r.Err, part)) << part << " in\n" << r.Err;

        const auto events = Radio().EventTexts();
        const auto writes = Writes(events);
        const bool wrotePN = std::any_of(writes.begin(), writes.end(), [](const std::string& w) {
            return w.rfind("write PN", 0) == 0;
        });
        if (c.Status != 0) {
            EXPECT_TRUE(writes.empty());
            EXPECT_FALSE(Saw(events, "flash"));
            EXPECT_EQ(Radio().Field("PT"), 0x5000u);
            continue;
        }
        EXPECT_EQ(wrotePN, !c.WritePN.empty());
        if (!c.WritePN.empty()) {
            EXPECT_TRUE(Saw(events, c.WritePN));
        }
        EXPECT_TRUE(Saw(events, "flash"));
        EXPECT_TRUE(Saw(events, "reset"));
        EXPECT_EQ(Radio().FlashField("PT"), 0x5780u);
        EXPECT_EQ(Radio().Field("PN"), c.FileSerial);
        EXPECT_TRUE(Has(r.Out, "Programmed and verified")) << r.Out;
    }
}

TEST_F(CliTest, ProgramRefusesFilesItCannotLoad) {
    StartRadio();
    EXPECT_EQ(Run({"program", File("absent.RM7UX")}).Status, 2);
    {
        std::ofstream junk(File("junk.RM7UX"));
        junk << "[Configuration]\r\nSC=$100\r\n";
    }
    CliResult r = Run({"program", File("junk.RM7UX"), "--yes"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(Has(r.Err, "Failed to load from the configuration from the file")) << r.Err;
    EXPECT_TRUE(Writes(Radio().EventTexts()).empty());
}

TEST_F(CliTest, ARadioLostWhileWritingIsNotFlashed) {
    StartRadio();
    const std::string file = File("radio.RM7UX");
    ASSERT_EQ(Run({"save", file}).Status, 0);
    int readCommands = 0;  // one whole read, as the review before writing makes it
    for (const auto& e : Radio().Events())
        readCommands += e.Kind != "cr" ? 1 : 0;
    StartRadio();  // the same radio afresh: its command count starts at 0
    RadioFaults faults;
    // RV and PN decide; the review reads; RV and PN check the radio once more; PF, PD and PM
    // are written; the radio is gone at PS.
    faults.HangUpAfterCommands = 7 + readCommands;
    Radio().SetFaults(faults);
    CliResult r = Run({"program", file});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Err,
                    "Failed to write the configuration to flash: program: the Cutout Temp write "
                    "was not confirmed, and the radio no longer answers: the radio may hold mixed "
                    "settings."))
        << r.Err;
    EXPECT_TRUE(
        Has(r.Err, "Fields written: RF Offset, Deviation, Modulation Balance, Cutout Temp."))
        << r.Err;
    EXPECT_TRUE(Saw(Radio().EventTexts(), "write PM 80"));
    EXPECT_FALSE(Saw(Radio().EventTexts(), "flash"));
}

// rm7ux simulate as a separate process; its first line names the COM port once it is attached.
Subprocess Simulator(std::vector<std::string> args) {
    args.insert(args.begin(), {RM7UX_CLI_PATH, "simulate"});
    return Subprocess(args);
}

TEST_F(CliTest, SimulatedRadioTakesItsOwnFileAndAnotherRefusesIt) {
    const std::string file = File("a.RM7UX");
    {
        Subprocess sim = Simulator({"--port", "9"});
        ASSERT_EQ(sim.Line(), "COM 9");
        CliResult save = RunPlain({"--port", "9", "save", file});
        ASSERT_EQ(save.Status, 0) << save.Err;
        CliResult program = RunPlain({"--port", "9", "program", file, "--yes"});
        EXPECT_EQ(program.Status, 0) << program.Err;
        EXPECT_EQ(sim.Stop(), 0);
    }
    Subprocess other = Simulator({"--port", "9", "--model", "RM7VX"});
    ASSERT_EQ(other.Line(), "COM 9");
    CliResult refused = RunPlain({"--port", "9", "program", file, "--yes"});
    EXPECT_EQ(refused.Status, 3) << refused.Err;
    EXPECT_TRUE(Has(refused.Err, "Wrong device !!")) << refused.Err;
    EXPECT_EQ(other.Stop(), 0);
}

}  // namespace
