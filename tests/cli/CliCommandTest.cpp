// identify, status, get, set, flash, read, save, diff, help and the exit statuses, against the
// emulated radio.

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "CliFixture.h"
#include "common/StrUtils.h"
#include "config/Unit_Registry.h"
#include "platform/SerialDevice.h"

namespace {

TEST_F(CliTest, IdentifyNamesModelVariantVersionSerialAndRevision) {
    RadioPersonality vx = WithSerial(RadioPersonality::RM7VX(), 1234567);
    vx.Fields.RH = 2;
    struct Case {
        RadioPersonality Radio;
        std::vector<std::string> Lines;
    };
    const Case cases[] = {
        {RadioPersonality::RM7UH(),
         {"Model: RM7UX", "Power variant: high power (500mW, 1W, 2W, 5W)", "Version: RM7UH V1.12A",
          "Serial number: 12345678", "Hardware revision: 1.5x"}},
        {RadioPersonality::RM7UL(), {"Power variant: low power (10mW, 25mW, 100mW, 500mW)"}},
        {vx, {"Model: RM7VX", "Serial number: 01234567", "Hardware revision: 1.3x"}},
    };
    for (const auto& c : cases) {
        StartRadio(c.Radio);
        CliResult r = Run({"identify"});
        EXPECT_EQ(r.Status, 0) << r.Err;
        for (const auto& line : c.Lines)
            EXPECT_TRUE(Has(r.Out, line + "\n")) << line << " in\n" << r.Out;
    }
}

TEST_F(CliTest, StatusShowsTemperatureRssiAndTheWindowsAlarmTexts) {
    struct Case {
        uint32_t RT, RR, RC;
        std::string Expected;
    };
    const Case cases[] = {
        {0x41, 0x2A, 0x00, "Temperature: 25 °C\nRaw RSSI: 42\nAlarms: No Alarms\n"},
        {0x00, 0xFF, 0x05, "Temperature: -40 °C\nRaw RSSI: 255\nAlarms: Temp, PLL\n"},
        {0x50, 0x00, 0x0F, "Temperature: 40 °C\nRaw RSSI: 0\nAlarms: Temp, PTT, PLL, Ant\n"},
    };
    StartRadio();
    for (const auto& c : cases) {
        Radio().SetField("RT", c.RT);
        Radio().SetField("RR", c.RR);
        Radio().SetField("RC", c.RC);
        CliResult r = Run({"status"});
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out, c.Expected);
    }
}

TEST_F(CliTest, SetChangesOnlyTheWorkingSettingsUntilFlash) {
    StartRadio();
    CliResult r = Run({"set", "PT", "5781"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().Field("PT"), 0x5781u);
    EXPECT_EQ(Radio().FlashField("PT"), 0x5780u);

    EXPECT_EQ(Run({"set", "pl2", "$7"}).Status, 0);
    EXPECT_EQ(Radio().Field("PL2"), 0x07u);
    EXPECT_TRUE(Radio().WaitForEvent("write PL2 07", std::chrono::milliseconds(0)));

    r = Run({"get", "PT"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "5781\n");
    EXPECT_EQ(Run({"get", "PL2"}).Out, "07\n");
    EXPECT_EQ(Run({"get", "RV"}).Out, "RM7UH V1.12A\n");

    auto events = Radio().EventTexts();
    EXPECT_EQ(std::count(events.begin(), events.end(), "flash"), 0);
    EXPECT_EQ(Run({"flash"}).Status, 0);
    EXPECT_EQ(Radio().FlashField("PT"), 0x5781u);
}

TEST_F(CliTest, PVIsRefusedOnFirmwareWithoutIt) {
    StartRadio(RadioPersonality::RM7UL());
    CliResult r = Run({"get", "PV"});
    EXPECT_EQ(r.Status, 3);
    EXPECT_TRUE(Has(r.Err, "has no PV")) << r.Err;
    EXPECT_EQ(Run({"set", "PV", "10"}).Status, 3);
    auto events = Radio().EventTexts();
    EXPECT_EQ(std::count(events.begin(), events.end(), "read PV"), 0);
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndSendNothing) {
    StartRadio();
    const std::vector<std::vector<std::string>> cases = {
        {"get", "XX"},
        {"set", "RT", "10"},
        {"set", "PT", "12345"},
        {"set", "PT", "5G"},
        {"set", "PT"},
        {"frobnicate"},
        {"read", "--bogus"},
        {"identify", "extra"},
        {"save"},
        {"simulate", "--port"},
        {"simulate", "--model", "XR900"},
    };
    for (const auto& args : cases) {
        CliResult r = Run(args);
        EXPECT_EQ(r.Status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_TRUE(Has(r.Err, "--help")) << r.Err;
    }
    EXPECT_EQ(RunPlain({"--port", "0", "identify"}).Status, 2);
    EXPECT_EQ(RunPlain({"--port", "9", "--device", "/dev/null", "identify"}).Status, 2);
    EXPECT_EQ(RunPlain({}).Status, 2);
    EXPECT_EQ(RunPlain({"--log", File("no/such/folder/log"), "identify"}).Status, 2);
    EXPECT_TRUE(Radio().EventTexts().empty());
}

TEST_F(CliTest, HelpOnEveryCommand) {
    CliResult all = RunPlain({"--help"});
    EXPECT_EQ(all.Status, 0);
    EXPECT_TRUE(Has(all.Out, "Exit status:"));
    for (std::string command : {"identify", "status", "read", "save", "program", "diff", "get",
                                "set", "flash", "simulate"}) {
        EXPECT_TRUE(Has(all.Out, "  " + command + " ")) << command;
        CliResult r = RunPlain({command, "--help"});
        EXPECT_EQ(r.Status, 0) << command;
        EXPECT_TRUE(Has(r.Out, "Usage: rm7ux [--port N | --device PATH] " + command)) << r.Out;
    }
    EXPECT_TRUE(Has(RunPlain({"set", "--help"}).Out, "  PL3  2  "));
}

TEST_F(CliTest, LinkFailuresExitWithOneAndTheStateText) {
    struct Case {
        RadioFaults Faults;
        std::string State;
    };
    Case cases[3];
    cases[0].Faults.Silent = true;
    cases[0].State = ": No Connection\n";
    cases[1].Faults.NoModel = true;
    cases[1].State = ": Invalid Device\n";
    cases[2].Faults.NoEcho = true;
    cases[2].State = ": Time out\n";
    StartRadio();
    for (const auto& c : cases) {
        Radio().SetFaults(c.Faults);
        CliResult r = Run({"identify"});
        EXPECT_EQ(r.Status, 1) << c.State;
        EXPECT_TRUE(Has(r.Err, c.State)) << r.Err;
        EXPECT_EQ(r.Out, "");
    }
}

TEST_F(CliTest, MissingPortIsNotAvailableWithTheReason) {
    CliResult r = RunPlain({"--port", "200", "status"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Err, "rm7ux: COM200: status: Not Available\n")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "COM200 maps to no device")) << r.Err;

    r = RunPlain({"--device", File("nothing-here"), "identify"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Err, File("nothing-here") + " does not exist")) << r.Err;
}

TEST_F(CliTest, BusyPortNamesTheProcessThatHoldsIt) {
    StartRadio();
    SerialDevice holder;
    ASSERT_TRUE(holder.Open(Radio().SlavePath()));
    CliResult r = Run({"identify"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Err, "Not Available")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "in use by process " + std::to_string(::getpid()))) << r.Err;
}

TEST_F(CliTest, DeviceOpensAPathDirectly) {
    StartRadio();
    CliResult r = RunPlain({"--device", Radio().SlavePath(), "get", "PN"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "00BC614E\n");
}

TEST_F(CliTest, WithoutAPortTheWindowsLastPortIsUsed) {
    StartRadio();
    TRadioConfigRegistry registry;
    registry.CommPort = Radio().ComPort();
    registry.WriteSettings();
    CliResult r = RunPlain({"get", "PT"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "5780\n");
}

TEST_F(CliTest, SaveRefusesAnExistingFileWithoutForce) {
    StartRadio();
    const std::string file = File("radio.RM7UX");
    ASSERT_EQ(Run({"save", file}).Status, 0);
    const std::string first = ReadWholeFile(file);
    EXPECT_TRUE(Has(first, "PN=$00BC614E")) << first;

    Radio().SetField("PT", 0x5790);
    Radio().ClearEvents();
    CliResult r = Run({"save", file});
    EXPECT_EQ(r.Status, 3);
    EXPECT_TRUE(Has(r.Err, "--force")) << r.Err;
    EXPECT_EQ(ReadWholeFile(file), first);
    EXPECT_TRUE(Radio().EventTexts().empty());

    EXPECT_EQ(Run({"save", file, "--force"}).Status, 0);
    EXPECT_TRUE(Has(ReadWholeFile(file), "PT=$5790"));
}

TEST_F(CliTest, SaveWithoutARadioLeavesNoFile) {
    CliResult r = RunPlain({"--port", "200", "save", File("x.RM7UX")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Err, "Failed to read the configuration from flash: Not Available")) << r.Err;
    EXPECT_FALSE(std::filesystem::exists(File("x.RM7UX")));
}

TEST_F(CliTest, ReadPrintsTheRecordByFileKeysOrAsJson) {
    StartRadio(RadioPersonality::RM7UL());
    CliResult text = Run({"read"});
    EXPECT_EQ(text.Status, 0) << text.Err;
    for (std::string line :
         {"SC=$00\n", "PT=$5780\n", "PL3=$C8\n", "PN=$00BC6101\n", "RV=RM7UL V1.11Z\n"})
        EXPECT_TRUE(Has(text.Out, line)) << line;
    EXPECT_FALSE(Has(text.Out, "PV="));

    CliResult json = Run({"read", "--json"});
    EXPECT_EQ(json.Status, 0) << json.Err;
    const std::pair<const char*, const char*> entries[] = {
        {"ctcss", "SC  0 00"},
        {"rx-low", "P1 MHz 430.0 5140"},
        {"power", "PW  500mW 03"},
        {"serial", "PN  12345601 00BC6101"},
        {"reverse-power-threshold", "PV  null null"},
        {"firmware", "RV  RM7UL V1.11Z RM7UL V1.11Z"},
    };
    for (const auto& [name, entry] : entries)
        EXPECT_EQ(SettingEntry(json.Out, name), entry) << name << " in\n" << json.Out;
}

TEST_F(CliTest, DiffListsWhatASetChanged) {
    StartRadio();
    const std::string file = File("radio.RM7UX");
    ASSERT_EQ(Run({"save", file}).Status, 0);
    CliResult same = Run({"diff", file});
    EXPECT_EQ(same.Status, 0) << same.Err;
    EXPECT_EQ(same.Out, "");

    ASSERT_EQ(Run({"set", "PT", "5781"}).Status, 0);
    ASSERT_EQ(Run({"set", "PL0", "41"}).Status, 0);
    CliResult r = Run({"diff", file});
    EXPECT_EQ(r.Status, 1) << r.Err;  // as diff(1)
    // The raw codes, and the setting by name in its unit where it has one.
    EXPECT_EQ(r.Out,
              "PT file=$5780 radio=$5781 (tx-frequency: file 440.00000 MHz, radio 440.00625 MHz)\n"
              "PL0 file=$40 radio=$41 (power-calibration-0: file 64, radio 65)\n");

    EXPECT_EQ(Run({"diff", File("absent.RM7UX")}).Status, 2);
}

}  // namespace
