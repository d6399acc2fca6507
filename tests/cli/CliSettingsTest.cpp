// Settings by name and unit, and the JSON record, against the emulated radio: what the radio
// holds afterwards (working and flash values, the commands it saw) and what rm7ux printed.

#include <fstream>

#include "CliFixture.h"
#include "cli/Json.h"

namespace {

bool SawWrite(const RadioEmulator& radio) {
    for (const auto& e : radio.Events()) {
        if (e.Kind == "write" || e.Kind == "flash" || e.Kind == "reset")
            return true;
    }
    return false;
}

TEST_F(CliTest, SetAndGetByNameInUnitsWithTheWindowsRulesAndNoSilentClamp) {
    StartRadio();
    CliResult r = Run({"set", "tx-frequency", "441.25"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().Field("PT"), 0x5848u);  // 22600 steps of 6.25 kHz above 300 MHz
    EXPECT_EQ(r.Out, "tx-frequency=441.25000\n");
    EXPECT_EQ(Run({"get", "tx-frequency"}).Out, "441.25000\n");
    EXPECT_EQ(Run({"get", "PT"}).Out, "5848\n");  // the raw code as before

    // Off the grid: snapped, and the snapped value is what is printed and sent.
    r = Run({"set", "rx-frequency", "441.253MHz"});
    EXPECT_EQ(r.Out, "rx-frequency=441.25000\n");
    EXPECT_EQ(Radio().Field("PR"), 0x5848u);

    // Outside every model's range: refused before the port is opened.
    Radio().ClearEvents();
    r = Run({"set", "tx-frequency", "999"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(Radio().Events().empty()) << r.Err;
    // Not this model's (an RM7VX frequency on an RM7UX): status 2, nothing written.
    r = Run({"set", "tx-frequency", "161"});
    EXPECT_EQ(r.Status, 2);
    // Outside the radio's band limits: status 3, the limits named, nothing written.
    r = Run({"set", "tx-frequency", "460", "power", "1W"});
    EXPECT_EQ(r.Status, 3);
    EXPECT_TRUE(Has(r.Err, "430.00000 to 450.00000 MHz")) << r.Err;
    EXPECT_FALSE(SawWrite(Radio()));
    EXPECT_EQ(Radio().Field("PT"), 0x5848u);

    // A cut-out below the recommended minimum needs the operator's say.
    EXPECT_EQ(Run({"set", "cutout-temperature", "-10"}).Status, 3);
    EXPECT_FALSE(SawWrite(Radio()));
    r = Run({"set", "cutout-temperature", "-10", "--yes"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().Field("PS"), 30u);

    // Several settings in one exchange, saved to flash at the end.
    Radio().ClearEvents();
    r = Run({"set", "power", "1W", "ptt-timeout", "30", "ctcss", "12", "--flash"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().FlashField("PW"), 1u);
    EXPECT_EQ(Radio().FlashField("PP"), 30u);
    EXPECT_EQ(Radio().FlashField("SC"), 12u);
    int identifications = 0;
    for (const auto& e : Radio().EventTexts())
        identifications += e == "rv";
    EXPECT_EQ(identifications, 1);
    EXPECT_EQ(Run({"get", "power", "ptt-timeout", "cutout-temperature", "step", "model"}).Out,
              "1W\n30\n-10\n6.25\nRM7UX\n");
}

TEST_F(CliTest, PlanAndStepChangeKeepFrequenciesInMHz) {
    StartRadio();
    EXPECT_EQ(Run({"get", "plan"}).Out, "entire\n");
    CliResult r = Run({"set", "plan", "NW"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().Field("P3"), 0x5780u);  // 440 MHz
    EXPECT_EQ(Radio().Field("P4"), 0x58C0u);  // 442 MHz
    EXPECT_EQ(Radio().Field("PT"), 0x5820u);  // centre 441 MHz
    EXPECT_EQ(Run({"get", "plan", "rx-low", "rx-high"}).Out, "NW\n440.00000\n442.00000\n");
    EXPECT_EQ(Run({"set", "plan", "UK"}).Status, 2);  // not a plan of band 140

    // The step resets the radio through flash: not without --yes.
    Radio().ClearEvents();
    EXPECT_EQ(Run({"set", "step", "5"}).Status, 3);
    EXPECT_FALSE(SawWrite(Radio()));
    r = Run({"set", "step", "5", "--yes"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().FlashField("PC"), 1u);
    EXPECT_EQ(Radio().FlashField("P3"), 28000u);  // 440 MHz in 5 kHz steps
    EXPECT_EQ(Radio().FlashField("PT"), 28200u);  // 441 MHz
    EXPECT_TRUE(Radio().WaitForEvent("reset", std::chrono::milliseconds(0)));
    EXPECT_EQ(Run({"get", "step", "tx-frequency", "tx-high"}).Out, "5\n441.00000\n442.00000\n");

    StartRadio(RadioPersonality::RM7VX());
    EXPECT_EQ(Run({"set", "step", "5", "--yes"}).Status, 2);
    EXPECT_FALSE(SawWrite(Radio()));
}

TEST_F(CliTest, JsonRecordGivesUnitsAndRawAndProgramTakesItBack) {
    StartRadio();
    CliResult r = Run({"read", "--json"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(JsonAt(r.Out, {"version"}), "1");
    EXPECT_EQ(SettingEntry(r.Out, "tx-frequency"), "PT MHz 440.0 5780");
    EXPECT_EQ(JsonAt(r.Out, {"settings", "power", "value"}), "5W");
    // When it was read, in local time with its offset.
    const std::string time = JsonAt(r.Out, {"time"});
    ASSERT_EQ(time.size(), 25u) << time;
    EXPECT_TRUE(time[19] == '+' || time[19] == '-') << time;

    // A template edited by hand: a value in MHz with its raw digits taken out, a whole number
    // written with an exponent.
    Json edited = Json::parse(r.Out);
    edited["settings"]["tx-frequency"]["value"] = 441.25;
    edited["settings"]["tx-frequency"].erase("raw");
    edited["settings"]["ptt-timeout"].erase("raw");
    std::string text = edited.dump(2);
    const std::string sixty = "\"value\": 60";
    ASSERT_NE(text.find(sixty), std::string::npos) << text;
    text.replace(text.find(sixty), sixty.size(), "\"value\": 6e1");
    std::ofstream(File("line.json")) << text;
    r = Run({"program", File("line.json"), "--yes"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().FlashField("PT"), 0x5848u);
    EXPECT_EQ(Radio().FlashField("PP"), 60u);
    EXPECT_EQ(Run({"diff", File("line.json")}).Status, 0);

    // Refused, naming what is wrong, with nothing sent: a value that disagrees with its raw
    // digits; a number JSON does not allow (a leading zero); a setting given twice, where one
    // reader would take the first and another the last.
    Json stale = edited;
    stale["settings"]["power"]["value"] = "1W";
    const std::string dup = edited.dump(2).insert(edited.dump(2).find("\"settings\": {") + 13,
                                                  "\"ctcss\": {\"raw\": \"05\"}, ");
    const std::pair<std::string, std::string> refused[] = {
        {stale.dump(2), "power: value '1W' and raw '03' disagree"},
        {text.replace(text.find("6e1"), 3, "060"), "unexpected number literal"},
        {dup, "the member \"ctcss\" in \"settings\" is given twice"},
    };
    for (const auto& [json, said] : refused) {
        std::ofstream(File("refused.json"), std::ios::trunc) << json;
        Radio().ClearEvents();
        r = Run({"program", File("refused.json"), "--yes"});
        EXPECT_EQ(r.Status, 2);
        EXPECT_TRUE(Has(r.Err, said)) << r.Err;
        EXPECT_TRUE(Radio().Events().empty());
    }
}

// Text from the radio reaches a terminal escaped byte by byte, and a JSON document escaped
// character by character: every control as one \u00NN, a byte that is not UTF-8 as the
// character of the same number.
TEST_F(CliTest, RadioTextReachesTerminalAndJsonEscaped) {
    RadioPersonality p = RadioPersonality::RM7UH();
    p.VersionText = "RM7UH V1.12A \x1b]0;owned\x07\xff\x7f\xc2\x9b\x9b";
    StartRadio(p);
    CliResult r = Run({"identify"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_FALSE(Has(r.Out, "\x1b")) << r.Out;
    EXPECT_TRUE(Has(r.Out, "\\x1b]0;owned\\x07\\xff\\x7f\\xc2\\x9b\\x9b")) << r.Out;
    r = Run({"read", "--json"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Has(r.Out, "\"RM7UH V1.12A \\u001b]0;owned\\u0007\xc3\xbf\\u007f\\u009b\\u009b\""))
        << r.Out;
    for (const char* raw : {"\x1b", "\x07", "\x7f", "\xc2\x9b"})
        EXPECT_FALSE(Has(r.Out, raw)) << r.Out;
    EXPECT_EQ(JsonAt(r.Out, {"settings", "firmware", "raw"}),
              "RM7UH V1.12A \x1b]0;owned\x07\xc3\xbf\x7f\xc2\x9b\xc2\x9b");
}

}  // namespace
