// Every rm7ux command that takes more than one write, with one character lost on the line at
// each of its writes in turn: the radio's working settings and its flash each stay on one grid
// inside their own limits, nothing reaches flash after a failed field write, rm7ux prints the
// values as the radio holds them, and says what happened.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "CliFixture.h"
#include "LostCharacters.h"

namespace {

using Texts = std::vector<std::string>;

std::string MHz(double mhz) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5f", mhz);
    return text;
}

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// A radio on Hong Kong's plan at 6.25 kHz, TX and RX inside it.
RadioPersonality HongKong() {
    RadioPersonality p = RadioPersonality::RM7UH();
    p.Fields.PA = 110;
    p.Fields.P1 = p.Fields.P3 = 17560;  // 409.75 MHz
    p.Fields.P2 = p.Fields.P4 = 17598;  // 409.9875 MHz
    p.Fields.PT = 17597;                // 409.98125 MHz
    p.Fields.PR = 17568;                // 409.80000 MHz
    p.Flash = p.Fields;
    return p;
}

class CliOperationsTest : public CliTest {
  protected:
    struct Outcome {
        CliResult Result;
        RadioPersonality Before;
        std::string Trace;
    };

    // Runs `args` on a fresh radio once with nothing lost, then once for each of `writes`
    // with a character lost at that write, and hands each outcome to `check`.
    void ForEachLoss(const std::function<RadioPersonality()>& radio,
                     const std::vector<std::string>& args, const Texts& writes,
                     const std::function<void(size_t, const Outcome&)>& check, size_t from = 0,
                     size_t to = 1000) {
        StartRadio(radio());
        Radio().ClearEvents();
        const CliResult dry = Run(args);
        ASSERT_EQ(dry.Status, 0) << dry.Err;
        const Texts dryEvents = Radio().EventTexts();
        for (size_t n = from; n < std::min(to, writes.size()); ++n) {
            StartRadio(radio());
            const LoseOnce lose = LossAt(writes[n], n, dryEvents);
            Outcome o{{}, Radio().Radio(), Describe(lose)};
            SCOPED_TRACE(o.Trace);
            Radio().SetFaults({.Lose = lose});
            o.Result = Run(args);
            ASSERT_FALSE(Radio().Faults().Lose.has_value()) << "nothing was lost";
            EXPECT_EQ(RadioGridProblem(Radio()), "");
            check(n, o);
        }
    }

    // A field write failed: the radio as it was, flash untouched, status 1 and said.
    void PutBack(const Outcome& o, const std::string& operation) {
        EXPECT_TRUE(SameSettings(Radio().Radio().Flash, o.Before.Flash));
        EXPECT_TRUE(SameSettings(Radio().Radio().Fields, o.Before.Fields));
        EXPECT_EQ(o.Result.Status, 1);
        EXPECT_TRUE(Has(o.Result.Err, operation + ": the ")) << o.Result.Err;
        EXPECT_TRUE(Has(o.Result.Err, " write was not confirmed; ")) << o.Result.Err;
    }

    // "name=value" lines of `out` as a map.
    static std::map<std::string, std::string> Printed(const std::string& out) {
        std::map<std::string, std::string> values;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            if (const size_t eq = line.find('='); eq != std::string::npos)
                values[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return values;
    }

    std::string HeldMHz(uint32_t channel) {
        const RadioFields f = Radio().Radio().Fields;
        return MHz(ChannelMHz(f, channel));
    }
};

TEST_F(CliOperationsTest, SetStepWithALostCharacterAtEachWrite) {
    ForEachLoss(HongKong, {"set", "step", "5", "--yes"},
                {"PC", "P3", "P4", "PT", "P1", "P2", "PR", "EE", "EP", "OZ"},
                [&](size_t n, const Outcome& o) {
                    const RadioFields w = Radio().Radio().Fields;
                    const auto printed = Printed(o.Result.Out);
                    // What rm7ux printed is what the radio holds.
                    EXPECT_EQ(printed.at("step"), w.PC == 0 ? "6.25" : "5");
                    EXPECT_EQ(printed.at("tx-frequency"), HeldMHz(w.PT));
                    EXPECT_EQ(printed.at("rx-frequency"), HeldMHz(w.PR));
                    if (n < 7) {
                        PutBack(o, "frequency step");
                    } else if (n == 9) {
                        EXPECT_EQ(o.Result.Status, 1);
                        EXPECT_TRUE(Has(o.Result.Err, "Switch the radio off and on"))
                            << o.Result.Err;
                    } else {
                        EXPECT_EQ(o.Result.Status, 0) << o.Result.Err;
                        EXPECT_EQ(Radio().FlashField("PC"), 1u);
                    }
                });
}

TEST_F(CliOperationsTest, SetPlanWithALostCharacterAtEachWrite) {
    ForEachLoss(
        [] {
            RadioPersonality p = RadioPersonality::RM7UH();
            p.Fields.PT = 22600;  // 441.25 MHz
            p.Fields.PR = 23280;  // 445.5 MHz
            p.Flash = p.Fields;
            return p;
        },
        {"set", "plan", "NW"}, {"P1", "P2", "PR", "P3", "P4", "PT"},
        [&](size_t, const Outcome& o) {
            PutBack(o, "set");
            // The plan the radio is on, as rm7ux names it.
            EXPECT_EQ(Printed(o.Result.Out).at("plan"), "entire");
            EXPECT_EQ(Run({"get", "plan"}).Out, "entire\n");
        });
}

TEST_F(CliOperationsTest, SetSeveralAndFlashWithALostCharacterAtEachWrite) {
    ForEachLoss([] { return RadioPersonality::RM7UH(); },
                {"set", "power", "1W", "ptt-timeout", "30", "ctcss", "12", "--flash"},
                {"PW", "PP", "SC", "EE", "EP"},
                [&](size_t n, const Outcome& o) {
                    const auto printed = Printed(o.Result.Out);
                    if (n < 3) {
                        PutBack(o, "set");
                        EXPECT_EQ(printed.at("power"), "5W");
                        EXPECT_EQ(printed.at("ptt-timeout"), "60");
                        EXPECT_EQ(printed.at("ctcss"), "0");
                    } else {
                        // Sent once more, and confirmed.
                        EXPECT_EQ(o.Result.Status, 0) << o.Result.Err;
                        EXPECT_EQ(Radio().FlashField("SC"), 12u);
                        EXPECT_EQ(printed.at("power"), "1W");
                    }
                });
}

// Three tests of a third of the writes each: a whole program takes about two seconds here.
class CliProgramLossTest : public CliOperationsTest, public testing::WithParamInterface<int> {};

TEST_P(CliProgramLossTest, ProgramWithALostCharacterAtEachWrite) {
    // The radio's own file, with every field changed that can be.
    const std::string file = File("radio.RM7UX");
    StartRadio();
    ASSERT_EQ(Run({"save", file}).Status, 0);
    std::string text;
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        text = s.str();
    }
    const std::pair<const char*, const char*> edits[] = {
        {"PF", "$81"},   {"PD", "$33"},   {"PM", "$44"},   {"PS", "$6E"},   {"PW", "$01"},
        {"PL0", "$11"},  {"PL1", "$22"},  {"PL2", "$33"},  {"PL3", "$44"},  {"PP", "$1E"},
        {"PO", "$07"},   {"SC", "$05"},   {"PB", "$01"},   {"PC", "$01"},   {"P1", "$6978"},
        {"P2", "$7148"}, {"P3", "$6978"}, {"P4", "$7148"}, {"PR", "$6A41"}, {"PT", "$6E5A"},
        {"PV", "$21"}};
    for (const auto& [key, value] : edits) {
        const size_t at = text.find("\n" + std::string(key) + "=");
        ASSERT_NE(at, std::string::npos) << key;
        const size_t from = text.find('$', at), to = text.find_first_of(" ;", from);
        text.replace(from, to - from, value);
    }
    std::ofstream(file, std::ios::binary) << text;
    ForEachLoss(
        [] { return RadioPersonality::RM7UH(); }, {"program", file},
        {"PF", "PD", "PM", "PS", "PW", "PL0", "PL1", "PL2", "PL3", "PP", "PO", "SC", "PB",
         "PC", "PA", "P1", "P2", "P3", "P4",  "PR",  "PT",  "PV",  "EE", "EP", "OZ"},
        [&](size_t n, const Outcome& o) {
            if (n < 22) {
                PutBack(o, "program");
                EXPECT_TRUE(Has(o.Result.Err, "Failed to write the configuration to flash"));
                // Each field written, as the radio holds it now.
                for (const auto& [code, value] : Printed(o.Result.Out)) {
                    const int digits = code.size() == 2 && code[0] == 'P' && std::isdigit(code[1])
                                           ? 4
                                           : (code == "PR" || code == "PT" ? 4 : 2);
                    EXPECT_EQ(value, "$" + Hex(Radio().Field(code), digits)) << code;
                }
            } else {
                EXPECT_EQ(Radio().FlashField("PT"), 0x6E5Au);
                EXPECT_TRUE(Has(o.Result.Out, "Programmed and verified")) << o.Result.Err;
            }
        },
        static_cast<size_t>(GetParam()) * 9, static_cast<size_t>(GetParam()) * 9 + 9);
}

INSTANTIATE_TEST_SUITE_P(Thirds, CliProgramLossTest, testing::Values(0, 1, 2));

}  // namespace

namespace {

// A file of the radio with one key's value replaced ("PT", "$FFFF").
void EditKey(const std::string& path, const std::string& key, const std::string& value) {
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        text = s.str();
    }
    const size_t at = text.find("\n" + key + "=");
    const size_t from = text.find('$', at), to = text.find_first_of(" ;", from);
    text.replace(from, to - from, value);
    std::ofstream(path, std::ios::binary) << text;
}

// The step and the plans keep the band limits inside the country plan on either grid, and the
// plan is recognised again afterwards.
TEST_F(CliOperationsTest, StepAndPlanKeepTheLimitsInsideThePlan) {
    StartRadio(HongKong());
    ASSERT_EQ(Run({"set", "step", "5", "--yes"}).Status, 0);
    // 409.9875 lies between two 5 kHz channels: the limit moves inward, to 409.985.
    EXPECT_EQ(Radio().FlashField("P4"), 21997u);
    EXPECT_EQ(Radio().FlashField("P2"), 21997u);
    EXPECT_EQ(Run({"get", "plan", "tx-high"}).Out, "HK\n409.98500\n");

    RadioPersonality band180 = RadioPersonality::RM7UH();
    band180.Fields.PA = 180, band180.Fields.PC = 1;
    band180.Fields.P1 = band180.Fields.P3 = 34000;  // 470 MHz on the 5 kHz grid
    band180.Fields.P2 = band180.Fields.P4 = 38000;  // 490 MHz
    band180.Fields.PT = band180.Fields.PR = 36000;
    band180.Flash = band180.Fields;
    StartRadio(band180);
    CliResult r = Run({"set", "plan", "OZ"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    // Australia, 472.0125 to 472.1125 MHz: on this grid 472.015 to 472.110.
    EXPECT_EQ(Radio().Field("P3"), 34403u);
    EXPECT_EQ(Radio().Field("P4"), 34422u);
    EXPECT_EQ(Run({"get", "plan"}).Out, "OZ\n");
}

// A record is checked as a set is: a value the model cannot hold is refused with status 2, a
// frequency outside the record's own limits with 3, naming the field, and nothing is written.
TEST_F(CliOperationsTest, ProgramRefusesWhatSetRefuses) {
    StartRadio();
    const std::string saved = File("radio.RM7UX");
    ASSERT_EQ(Run({"save", saved}).Status, 0);
    struct Case {
        const char* Key;
        const char* Value;
        int Status;
        const char* Said;
    };
    const Case cases[] = {
        {"SC", "$99", 2, "ctcss: 153 is not a CTCSS tone"},
        {"PW", "$09", 2, "power: level 9 is not a power level"},
        {"PT", "$FFFF", 2, "tx-frequency: 709.59375 MHz is outside the RM7UX's range"},
        {"PT", "$6400", 3, "tx-frequency: 460.00000 MHz is outside the record's own band limits"},
        {"PR", "$83E0", 3, "rx-frequency: 511.00000 MHz is outside the record's own band limits"},
        {"P4", "$6400", 2, "tx-high: 460.00000 MHz lies outside band 140"},
        {"PC", "$01", 2, "rx-low: 404.00000 MHz lies outside band 140"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Key) + "=" + c.Value);
        const std::string file = File("edited.RM7UX");
        std::ifstream in(saved, std::ios::binary);
        std::ofstream(file, std::ios::binary) << in.rdbuf();
        EditKey(file, c.Key, c.Value);
        Radio().ClearEvents();
        CliResult r = Run({"program", file, "--yes"});
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        EXPECT_TRUE(Has(r.Err, c.Said)) << r.Err;
        for (const std::string& e : Radio().EventTexts())
            EXPECT_TRUE(e.rfind("write", 0) != 0 && e != "flash") << e;
    }

    // The same from a JSON record's raw digits.
    std::string json = Run({"read", "--json"}).Out;
    const size_t ctcss = json.find("\"ctcss\"");
    ASSERT_NE(ctcss, std::string::npos);
    const size_t end = json.find('}', ctcss);
    json.replace(ctcss, end + 1 - ctcss, "\"ctcss\": {\"code\": \"SC\", \"raw\": \"99\"}");
    std::ofstream(File("radio.json")) << json;
    CliResult r = Run({"program", File("radio.json"), "--yes"});
    EXPECT_EQ(r.Status, 2) << r.Err;
    EXPECT_TRUE(Has(r.Err, "ctcss: 153 is not a CTCSS tone")) << r.Err;
}

// The review compares what the fields mean: a file whose every frequency is the same MHz on
// another grid changes one field, the step.
TEST_F(CliOperationsTest, ProgramReviewsFieldsByWhatTheyMean) {
    StartRadio();
    const std::string file = File("radio.RM7UX");
    ASSERT_EQ(Run({"save", file}).Status, 0);
    EditKey(file, "PC", "$01");
    for (const char* key : {"P1", "P3"})
        EditKey(file, key, "$6590");  // 430 MHz on the 5 kHz grid
    for (const char* key : {"P2", "P4"})
        EditKey(file, key, "$7530");  // 450 MHz
    for (const char* key : {"PR", "PT"})
        EditKey(file, key, "$6D60");  // 440 MHz
    CliResult r = Run({"program", file});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Has(r.Out, "step     kHz   6.25   5\n")) << r.Out;
    EXPECT_TRUE(Has(r.Out, "1 field changes, 21 unchanged\n")) << r.Out;
}

}  // namespace
