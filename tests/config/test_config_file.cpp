// The configuration file: its exact layout, loading with its report lines, bad input, and saving
// into a file that holds more than the configuration.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "common/FormatSettings.h"
#include "config/RM7UXFlashConfigObj.h"

namespace {

std::string Pad(std::string s, size_t width) {
    s.resize(std::max(width, s.size()), ' ');
    return s;
}

std::chrono::system_clock::time_point LocalTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d;
    tm.tm_hour = h, tm.tm_min = mi, tm.tm_sec = s, tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

TRM7UXFlashRecord SampleRecord() {
    TRM7UXFlashRecord r;
    r.Ctcss = 10, r.FreqOffset = 0x80, r.Deviation = 0x3C, r.ModBalance = 0x41;
    r.RxFreq = 0x5328, r.TxFreq = 0x5780, r.FreqRange = {0x5140, 0x5DC0, 0x5141, 0x5DC1};
    r.RevPowerThreshold = 0x20, r.SerialNumber = 12000000, r.PttTimeout = 60;
    r.ChannelSpacing = 1, r.FreqBandCode = 0x8C, r.ShutdownTemp = 0x69, r.PowerLevel = 3;
    r.BandWidth = 0, r.TxPowerCal = {0x12, 0x34, 0x56, 0xFF}, r.RssiOffset = 5;
    r.HardwareVersion = 2, r.RadioCheck = 0, r.RadioTemperature = 0x41;
    r.FirmwareVersion = "RM7UH V1.12A";
    r.TimeLoad = LocalTime(2026, 7, 12, 20, 18, 5);
    return r;
}

// The file SampleRecord() saves, written out from the layout rules.
std::string SampleFile() {
    auto line = [](std::string key, std::string value, std::string comment) {
        size_t width = key.size() == 3 ? 36 : 37;
        return key + "=" + Pad(value, width) + ";" + comment + "\r\n";
    };
    return "[Configuration]\r\n" + std::string("Time=") + Pad("12/07/2026 20:18:05", 38) +
           "; Time load\r\n" + line("SC", "$0A", " CTCSS") +
           line("PF", "$80", " Frequency offset") + line("PD", "$3C", " Deviation") +
           line("PM", "$41", " Modulation balance") + line("PR", "$5328", " Recieve Frequency") +
           line("PT", "$5780", " Transmit Frequency") + line("P1", "$5140", " Frequency Range 1") +
           line("P2", "$5DC0", " Frequency Range 2") + line("P3", "$5141", " Frequency Range 3") +
           line("P4", "$5DC1", " Frequency Range 4") +
           line("PV", "$20", " Reverse Power Threshold") +
           line("PN", "$00B71B00", " Serial Number") + line("PP", "$3C", " Push to talk time out") +
           line("PC", "$01", " Channel spacing") + line("PA", "$8C", " Frequency Band Code") +
           line("PS", "$69", " Shut down temperature") +
           line("PW", "$03", " Selected power level") + line("PB", "$00", " Band width") +
           line("PL0", "$12", " Tx Power Calibration") +
           line("PL1", "$34", " Tx Power Calibration") +
           line("PL2", "$56", " Tx Power Calibration") +
           line("PL3", "$FF", " Tx Power Calibration") + line("PO", "$05", " RSSI Offset") +
           line("RH", "$02", " Hardware version") + line("RC", "$00", " Radio Check") +
           line("RT", "$41", " Radio Temperature") +
           line("RV", "RM7UH V1.12A", " Firmware version");
}

// SampleFile() with one key's line replaced (or removed, for an empty line).
std::string Changed(const std::string& key, const std::string& newLine) {
    std::string text = SampleFile();
    size_t at = text.find("\r\n" + key + "=") + 2;
    size_t end = text.find("\r\n", at) + 2;
    return text.replace(at, end - at, newLine.empty() ? "" : newLine + "\r\n");
}

// SampleFile() with its lines in reverse order and every name in lower case.
std::string Shuffled() {
    std::vector<std::string> lines;
    std::string text = SampleFile();
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find("\r\n", at);
        std::string line = text.substr(at, end - at);
        size_t eq = line.find('=');
        std::transform(line.begin(), eq == std::string::npos ? line.end() : line.begin() + eq,
                       line.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
        lines.push_back(line);
        at = end + 2;
    }
    std::string out = lines.front() + "\r\n";
    for (auto it = lines.rbegin(); it + 1 != lines.rend(); ++it)
        out += *it + "\r\n";
    return out;
}

class ConfigFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetDefaultFormatSettings({'.', "%d/%m/%Y", "%H:%M:%S"});
        flash.SetFileName(file);
    }
    void TearDown() override { SetDefaultFormatSettings(FormatSettings{}); }
    void Write(const std::string& body) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << body;
    }
    std::string Read() {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Loads into a class that already holds a record, which a failed load must leave alone.
    bool Load() {
        flash.Record() = kHeld;
        bool ok = flash.LoadFromFile();
        if (!ok) {
            EXPECT_EQ(kHeld, flash.Record());
        }
        EXPECT_EQ(ok, flash.ConfigFile().ErrorText().empty());
        return ok;
    }

    TempDir dir;
    std::string file = dir.File("radio.RM7UX");
    ScriptedDialogs dialogs;
    TRM7UXFlashRecordClass flash;
    const TRM7UXFlashRecord kHeld = [] {
        TRM7UXFlashRecord r;
        r.SerialNumber = 7;
        return r;
    }();
};

TEST_F(ConfigFileTest, ANewFileHasTheExactLayoutAndLoadsBack) {
    flash.Record() = SampleRecord();
    ASSERT_TRUE(flash.SaveToFile());
    EXPECT_EQ(SampleFile(), Read());

    ASSERT_TRUE(Load());
    TRM7UXFlashRecord expected = SampleRecord();
    expected.TimeLoad = {};
    EXPECT_EQ(expected, flash.Record());
}

TEST_F(ConfigFileTest, TimeLine) {
    const std::pair<std::chrono::system_clock::time_point, std::string> cases[] = {
        {{}, "Time="},
        {LocalTime(2026, 1, 2, 0, 0, 0), "Time=" + Pad("02/01/2026", 38) + "; Time load"},
        {LocalTime(2026, 1, 2, 0, 0, 1), "Time=" + Pad("02/01/2026 00:00:01", 38) + "; Time load"},
    };
    for (const auto& [time, expected] : cases) {
        flash.Record() = SampleRecord();
        flash.Record().TimeLoad = time;
        std::filesystem::remove(file);
        ASSERT_TRUE(flash.SaveToFile());
        EXPECT_EQ(expected + "\r\n", Read().substr(17, expected.size() + 2));
    }
}

TEST_F(ConfigFileTest, LoadChecksEveryKey) {
    struct Case {
        const char* name;
        std::string body;
        bool ok;
        std::string errorText;
        std::function<bool(const TRM7UXFlashRecord&)> check;
    };
    auto sample = SampleRecord();
    const Case cases[] = {
        {"no PV", Changed("PV", ""), true, "", [](auto& r) { return r.RevPowerThreshold == -1; }},
        {"PV too large", Changed("PV", "PV=$1FF"), true, "",
         [](auto& r) { return r.RevPowerThreshold == -1; }},
        {"no RH RC RT", Changed("RH", "RT=junk"), true, "",
         [](auto& r) { return r.HardwareVersion == -1 && r.RadioTemperature == -1; }},
        {"decimal", Changed("PW", "PW=200"), true, "", [](auto& r) { return r.PowerLevel == 200; }},
        {"comments", Changed("PD", "PD= $3D ; one ; two"), true, "",
         [](auto& r) { return r.Deviation == 0x3D; }},
        {"RV comment", Changed("RV", "RV=  RM7UH V1.13 ; x"), true, "",
         [](auto& r) { return r.FirmwareVersion == "RM7UH V1.13"; }},
        {"any order and case", Shuffled(), true, "",
         [&](auto& r) { return r.SerialNumber == sample.SerialNumber; }},
        {"no PN", Changed("PN", ""), false,
         "[Configuration]: 'PN' missing, Valid range: 0 to 4294967295\r\n", nullptr},
        {"SC too large", Changed("SC", "SC=$100"), false,
         "[Configuration]: 'SC' =$100 not valid  Valid range: 0 to 255\r\n", nullptr},
        {"negative", Changed("PR", "PR=-1"), false,
         "[Configuration]: 'PR' =-1 not valid  Valid range: 0 to 65535\r\n", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.body);
        EXPECT_EQ(c.ok, Load());
        EXPECT_EQ(c.errorText, flash.ConfigFile().ErrorText());
        EXPECT_EQ(c.ok ? 0 : 1, flash.ConfigFile().ErrorCount());
        if (c.check) {
            EXPECT_TRUE(c.check(flash.Record()));
        }
        if (!c.ok) {
            EXPECT_EQ("", flash.ConfigFile().Record.FirmwareVersion) << "only from a good file";
        }
    }
    Write(Changed("SC", "SC=$100"));
    Load();
    EXPECT_EQ(255, flash.ConfigFile().Record.Ctcss);
}

TEST_F(ConfigFileTest, BadInputFailsCleanly) {
    std::string good = SampleFile();
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) & 0xFF);
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"truncated", good.substr(0, good.size() / 2)},
        {"binary", binary},
        {"binary after the section", "[Configuration]\r\n" + binary},
        {"100 kB value", Changed("PD", "PD=$" + std::string(100000, 'Q'))},
        {"huge", good + "; " + std::string(TINIRM7UX::MaxFileSize, 'x') + "\r\n"},
    };
    for (const auto& [name, body] : cases) {
        SCOPED_TRACE(name);
        Write(body);
        EXPECT_FALSE(Load());
        EXPECT_GT(flash.ConfigFile().ErrorCount(), 0);
    }
    EXPECT_NE(std::string::npos, flash.ConfigFile().ErrorText().find("larger than"));

    // A long line that is not a value does no harm.
    Write(good + "; " + std::string(100000, 'x') + "\r\n");
    EXPECT_TRUE(Load());

    flash.SetFileName(dir.Path());
    EXPECT_FALSE(flash.LoadFromFile());
    EXPECT_EQ((std::vector<std::string>{"Error opening " + dir.Path()}), dialogs.Texts());
}

TEST_F(ConfigFileTest, SavingIntoAnExistingFileKeepsWhatItDoesNotWrite) {
    const std::string before =
        "; notes\r\n[Other]\r\nA=1\r\n\r\n[configuration]\r\nPV=$10 ; old\r\n"
        "PN=$00BC614E ; old\r\nSC=$01\r\nMine=keep\r\n\r\n[Tail]\r\nB=2\r\n";
    Write(before);
    flash.Record() = SampleRecord();
    flash.Record().RevPowerThreshold = -1;
    flash.Record().SerialNumber = -1;
    ASSERT_TRUE(flash.SaveToFile());
    std::string after = Read();

    EXPECT_EQ(0u, after.find("; notes\r\n[Other]\r\nA=1\r\n\r\n[configuration]\r\n"
                             "PN=$00BC614E ; old\r\nSC=$0A"));
    EXPECT_EQ(std::string::npos, after.find("PV="));
    EXPECT_NE(std::string::npos, after.find("Mine=keep\r\nTime="));
    size_t rv = after.find("RV=RM7UH V1.12A");
    EXPECT_LT(rv, after.find("\r\n[Tail]\r\nB=2\r\n"));
    ASSERT_TRUE(Load());
    EXPECT_EQ(12345678, flash.Record().SerialNumber);
}

// The write is refused by the file size limit, which holds for root too.
TEST_F(ConfigFileTest, ASaveThatCannotWriteLeavesTheOldFile) {
    Write(SampleFile() + "; the old one\r\n");
    const std::string before = Read();
    flash.Record() = SampleRecord();
    flash.Record().FirmwareVersion = std::string(4000, 'V');

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = before.size() + 100;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    try {
        flash.SaveToFile();
    } catch (const EIniFileException& e) {
        error = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ("Unable to write to " + file, error);
    EXPECT_EQ(before, Read());
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir.Path()),
                               std::filesystem::directory_iterator()))
        << "no temporary file left";
}

}  // namespace
