// Settings by name and unit, and the JSON record, against the emulated radio: what the radio
// holds afterwards (working and flash values, the commands it saw) and what rm7ux printed.

#include <fstream>

#include "CliFixture.h"
#include "cli/Json.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

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
    std::string problem;
    std::optional<JsonValue> doc = ParseJson(r.Out, problem);
    ASSERT_TRUE(doc) << problem << "\n" << r.Out;
    EXPECT_EQ(doc->Find("version")->Text, "1");
    const JsonValue& tx = *doc->Find("settings")->Find("tx-frequency");
    EXPECT_EQ(tx.Find("value")->Text, "440.00000");
    EXPECT_EQ(tx.Find("raw")->Text, "5780");
    EXPECT_EQ(tx.Find("unit")->Text, "MHz");
    EXPECT_EQ(doc->Find("settings")->Find("power")->Find("value")->Text, "5W");

    // A template edited by hand: a value in MHz with its raw digits taken out.
    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::string edited =
        replaced(r.Out, "\"value\": 440.00000, \"raw\": \"5780\"", "\"value\": 441.25");
    std::ofstream(File("line.json")) << edited;
    r = Run({"program", File("line.json"), "--yes"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().FlashField("PT"), 0x5848u);
    EXPECT_EQ(Run({"diff", File("line.json")}).Status, 0);

    // A value that disagrees with its raw digits is refused, naming the field; nothing sent.
    const std::string stale =
        replaced(edited, "\"value\": 60, \"raw\": \"3C\"", "\"value\": 61, \"raw\": \"3C\"");
    ASSERT_NE(stale, edited);
    std::ofstream(File("stale.json")) << stale;
    Radio().ClearEvents();
    r = Run({"program", File("stale.json"), "--yes"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(Has(r.Err, "ptt-timeout")) << r.Err;
    EXPECT_TRUE(Radio().Events().empty());
}

TEST_F(CliTest, RadioTextReachesTerminalAndJsonEscaped) {
    RadioPersonality p = RadioPersonality::RM7UH();
    p.VersionText = "RM7UH V1.12A \x1b]0;owned\x07\xff";
    StartRadio(p);
    CliResult r = Run({"identify"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_FALSE(Has(r.Out, "\x1b")) << r.Out;
    EXPECT_TRUE(Has(r.Out, "\\x1b]0;owned\\x07\\xff")) << r.Out;
    r = Run({"read", "--json"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_FALSE(Has(r.Out, "\xff"));
    EXPECT_TRUE(Has(r.Out, "\\u001b]0;owned\\u0007\\u00ff")) << r.Out;
    std::string problem;
    EXPECT_TRUE(ParseJson(r.Out, problem)) << problem;
}

}  // namespace
