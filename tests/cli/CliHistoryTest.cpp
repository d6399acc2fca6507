// The change history, the review before programming and watch, through rm7ux against the
// emulated radio: what the radio saw and holds, and what the history then says.

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "CliFixture.h"
#include "TimeZone.h"
#include "common/TimeText.h"
#include "history/ChangeHistory.h"

namespace {

std::vector<HistoryEntry> History(const std::string& dataHome) {
    ChangeHistory history(dataHome + "/KorvaTech/CFG_RM7UX_Radio/history.sqlite");
    std::vector<HistoryEntry> entries;
    std::string problem;
    EXPECT_TRUE(history.Query({}, entries, problem)) << problem;
    return entries;
}

std::string Line(const HistoryEntry& e) {
    return e.Serial + " " + e.Field + " " + e.OldValue + "->" + e.NewValue + " " + e.OldRaw + "->" +
           e.NewRaw + " " + e.Source + "/" + e.Action;
}

std::vector<std::string> Lines(const std::vector<HistoryEntry>& entries) {
    std::vector<std::string> lines;
    for (const auto& e : entries)
        lines.push_back(Line(e));
    return lines;
}

// A configuration file's KEY line replaced, comment kept.
void EditFile(const std::string& path, const std::string& key, const std::string& value) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    const size_t at = s.find("\n" + key + "=$") + key.size() + 3;
    s.replace(at, value.size(), value);
    std::ofstream(path, std::ios::trunc) << s;
}

TEST_F(CliTest, EveryChangeIsRecordedOnceWithTheValueItReplaced) {
    StartRadio();
    CliResult r = Run({"set", "tx-frequency", "441.25", "power", "1W", "--flash"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = Run({"set", "cutout-temperature", "70"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().FlashField("PT"), 0x5848u);

    // Newest first; old values are what the radio showed, not what was asked for.
    EXPECT_EQ(Lines(History(dir_.Path() + "/data")),
              (std::vector<std::string>{
                  "12345678 cutout-temperature 65->70 69->6E cli/set",
                  "12345678 flash -> -> cli/set",
                  "12345678 power 5W->1W 03->01 cli/set",
                  "12345678 tx-frequency 440.00000->441.25000 5780->5848 cli/set",
              }));

    r = RunPlain({"history", "--serial", "12345678", "--csv"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("tx-frequency,PT,MHz,440.00000,441.25000,5780,5848,cli,set,"),
              std::string::npos)
        << r.Out;
    EXPECT_EQ(RunPlain({"history", "--serial", "1"}).Out, "");
    EXPECT_EQ(RunPlain({"history", "--since", "yesterday"}).Status, 2);
}

// Times are kept in UTC; a row written before that, in local time without a zone, is read as
// local time. --since takes a zone, or means local time. The CSV is a spreadsheet's, and safe.
TEST_F(CliTest, HistoryTimesAreUtcAndItsCsvIsSafeInASpreadsheet) {
    TimeZone cet(kCentralEurope);
    StartRadio();
    {
        ChangeHistory history(dir_.Path() + "/data/KorvaTech/CFG_RM7UX_Radio/history.sqlite");
        HistoryEntry old;
        old.Time = "2026-01-15T10:00:00";
        old.Serial = "12345678";
        old.Model = "RM7UX";
        old.Field = "cutout-temperature";
        old.Code = "PS";
        old.Unit =
            "\xC2\xB0"
            "C";
        old.OldValue = "65";
        old.NewValue = "-40";
        old.Source = "window";
        old.Action = "adjust";
        old.User = "=1+1";
        ASSERT_TRUE(history.Record(old));
    }
    ASSERT_EQ(Run({"set", "power", "1W"}).Status, 0);

    CliResult csv = RunPlain({"history", "--csv"});
    ASSERT_EQ(csv.Status, 0) << csv.Err;
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = csv.Out.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(csv.Out.substr(at, end - at));
    ASSERT_EQ(lines.size(), 3u) << csv.Out;
    EXPECT_EQ(std::count(csv.Out.begin(), csv.Out.end(), '\n'), 3) << "CR LF ends every line";
    EXPECT_EQ(lines[0],
              "time,serial,model,field,code,unit,old,new,old-raw,new-raw,source,action,user");
    // Now, in UTC.
    const std::string now = lines[1].substr(0, lines[1].find(','));
    ASSERT_EQ(now.size(), 20u) << now;
    EXPECT_EQ(now.back(), 'Z');
    EXPECT_LT(std::abs(*ParseTimeText(now) - std::time(nullptr)), 120) << now;
    EXPECT_EQ(lines[1].substr(20),
              ",12345678,RM7UX,power,PW,,5W,1W,03,01,cli,set," + OperatorName());
    // 10:00 in winter in Central Europe; -40 is a number, "=1+1" would be a formula.
    EXPECT_EQ(lines[2],
              "2026-01-15T09:00:00Z,12345678,RM7UX,cutout-temperature,PS,\xC2\xB0"
              "C,65,-40,,,window,adjust,'=1+1");

    CliResult json = RunPlain({"history", "--json"});
    std::string problem;
    const std::optional<JsonValue> doc = ParseJson(json.Out, problem);
    ASSERT_TRUE(doc) << problem << json.Out;
    ASSERT_EQ(doc->Find("entries")->Items.size(), 2u);
    const JsonValue& entry = doc->Find("entries")->Items[1];
    EXPECT_EQ(entry.Find("time")->Text, "2026-01-15T09:00:00Z");
    EXPECT_EQ(entry.Find("user")->Text, "=1+1");
    EXPECT_EQ(entry.Find("old-raw")->Text, "");

    // From 09:30 local time (08:30 UTC) both; from 09:30 UTC the newer only.
    const std::pair<std::string, size_t> since[] = {
        {"2026-01-15T09:30", 2},       {"2026-01-15 09:30:00", 2},      {"2026-01-15T09:30Z", 1},
        {"2026-01-15T10:00+01:00", 2}, {"2026-01-15T10:00:01+0100", 1}, {"2026-01-16", 1},
    };
    for (const auto& [from, count] : since) {
        CliResult r = RunPlain({"history", "--since", from});
        EXPECT_EQ(r.Status, 0) << from << ": " << r.Err;
        EXPECT_EQ(static_cast<size_t>(std::count(r.Out.begin(), r.Out.end(), '\n')), count)
            << from << ":\n"
            << r.Out;
    }
    for (const std::string bad :
         {"2026-02-30", "2026-01-15T25:00", "2026-01-15T09:30+1", "15.01.2026"}) {
        CliResult r = RunPlain({"history", "--since", bad});
        EXPECT_EQ(r.Status, 2) << bad;
        EXPECT_TRUE(Has(r.Err, "without a zone it is local time")) << r.Err;
    }
}

TEST_F(CliTest, ProgramReviewsExactlyTheFieldsAnEditedFileChanges) {
    StartRadio();
    ASSERT_EQ(Run({"save", File("radio.RM7UX")}).Status, 0);
    EditFile(File("radio.RM7UX"), "PT", "5848");  // 441.25 MHz
    EditFile(File("radio.RM7UX"), "PS", "6E");    // 70 °C
    CliResult r = Run({"program", File("radio.RM7UX")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("tx-frequency        MHz   440.00000  441.25000\n"), std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("cutout-temperature  °C    65         70\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("2 fields change, 20 unchanged\n"), std::string::npos) << r.Out;
    EXPECT_EQ(Radio().FlashField("PS"), 0x6Eu);
    const auto history = Lines(History(dir_.Path() + "/data"));
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0], "12345678 flash -> -> cli/program");
    // As written: the cut-out before the frequency.
    EXPECT_EQ(history[1], "12345678 tx-frequency 440.00000->441.25000 5780->5848 cli/program");
    EXPECT_EQ(history[2], "12345678 cutout-temperature 65->70 69->6E cli/program");

    // Programmed again, nothing changes, and the history says so by saying nothing new.
    r = Run({"program", File("radio.RM7UX")});
    EXPECT_NE(r.Out.find("No field changes (22 unchanged)"), std::string::npos) << r.Out;
    EXPECT_EQ(History(dir_.Path() + "/data").size(), 4u);  // the flash save alone
}

TEST_F(CliTest, AHistoryThatCannotBeWrittenDoesNotStopASaveToFlash) {
    StartRadio();
    // A folder nobody may write into; as root that is not enough, so the history's folder is
    // taken by a plain file as well.
    const std::string readOnly = dir_.Path() + "/data";
    ASSERT_EQ(mkdir(readOnly.c_str(), 0555), 0);
    std::ofstream(readOnly + "/KorvaTech") << "not a folder";
    chmod(readOnly.c_str(), 0555);
    CliResult r = Run({"set", "power", "1W", "ctcss", "4", "--flash"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Radio().FlashField("PW"), 1u);
    EXPECT_EQ(Radio().FlashField("SC"), 4u);
    // Said once, not once per entry.
    const size_t first = r.Err.find("history of changes could not be written");
    ASSERT_NE(first, std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("history of changes could not be written", first + 1), std::string::npos);
    chmod(readOnly.c_str(), 0755);
}

TEST_F(CliTest, WatchReadsOnlyRssiAndTemperatureHoldingThePort) {
    StartRadio();
    Radio().ClearEvents();
    CliResult r = Run({"watch", "--interval", "0", "--count", "20", "--csv"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::istringstream lines(r.Out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "time,rssi,temperature-c\r");
    int readings = 0;
    while (std::getline(lines, line)) {
        ++readings;
        EXPECT_TRUE(line.ends_with(",42,25\r")) << line;
    }
    EXPECT_EQ(readings, 20);
    int rr = 0, rt = 0;
    for (const auto& e : Radio().Events()) {
        const std::string t = e.Text();
        if (t == "read RR")
            ++rr;
        else if (t == "read RT")
            ++rt;
        else
            EXPECT_TRUE(t == "rv" || t == "cr" || t == "read PN") << t;
    }
    EXPECT_EQ(rr, 20);
    // As the alignment view reads it: with the identification, every few seconds.
    EXPECT_EQ(rt, 1);
}

}  // namespace
