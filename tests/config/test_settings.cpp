#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "TempDir.h"
#include "config/INIunit.h"
#include "config/Unit_Registry.h"
#include "config/Version.h"
#include "platform/UserFolders.h"

namespace {

TEST(SetSettingsFolder, JoinsWithSlash) {
    struct Case {
        const char *folder, *settings, *dev;
    };
    const Case cases[] = {
        {"", "CFG_RM7UX_Radio.INI", "CFG_RM7UX_Radio_DEV.INI"},
        {"/opt/rm7ux/", "/opt/rm7ux/CFG_RM7UX_Radio.INI", "/opt/rm7ux/CFG_RM7UX_Radio_DEV.INI"},
        {"/opt/rm7ux", "/opt/rm7ux/CFG_RM7UX_Radio.INI", "/opt/rm7ux/CFG_RM7UX_Radio_DEV.INI"},
    };
    for (const auto& c : cases) {
        SetSettingsFolder(c.folder);
        EXPECT_EQ(SettingsFileName, c.settings);
        EXPECT_EQ(DevSettingsFileName, c.dev);
    }
}

TEST(LoadSettings, EdgeValues) {
    struct Case {
        const char* body;  // nullptr: no settings file
        int32_t minCutout;
        bool minCutoutSet;
        int32_t interval;
        int32_t adjust;
        bool hide;
    };
    const Case cases[] = {
        {nullptr, 50, false, 1000, 2, false},
        {"[LIMITS]\nMIN_CUTOUT_TEMP=300\n", 215, true, 1000, 2, false},
        {"[LIMITS]\nMIN_CUTOUT_TEMP=-60\n", -40, true, 1000, 2, false},
        {"[LIMITS]\nMIN_CUTOUT_TEMP=$32\n", 50, true, 1000, 2, false},
        {"[LIMITS]\nMIN_CUTOUT_TEMP=$3c\n", 60, true, 1000, 2, false},
        {"[LIMITS]\nMIN_CUTOUT_TEMP=abc\n", 50, false, 1000, 2, false},
        {"[Timer]\nInterval=499\nAdjustPowerIntervals=0\n", 50, false, 1000, 2, false},
        {"[Timer]\nInterval=500\nAdjustPowerIntervals=1\n", 50, false, 500, 1, false},
        {"[Timer]\nInterval=10000\nAdjustPowerIntervals=10\n", 50, false, 10000, 10, false},
        {"[Timer]\nInterval=10001\nAdjustPowerIntervals=11\n", 50, false, 1000, 2, false},
        {"[Timer]\nInterval=fast\nAdjustPowerIntervals=\n", 50, false, 1000, 2, false},
        {"[timer]\nconnecthide= yes \n", 50, false, 1000, 2, true},
        {"[Timer]\nConnectHide=YES please\n", 50, false, 1000, 2, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        SetSettingsFolder(dir.Path());
        if (c.body != nullptr)
            std::ofstream(SettingsFileName) << c.body;
        ProgramSettings = TProgramSettings{};
        ProgramSettings.MinCutoutTemp = 99;  // left over from an earlier load
        ProgramSettings.MinCutoutTempSet = true;
        LoadSettings();
        const char* name = c.body ? c.body : "no file";
        EXPECT_EQ(ProgramSettings.MinCutoutTemp, c.minCutout) << name;
        EXPECT_EQ(ProgramSettings.MinCutoutTempSet, c.minCutoutSet) << name;
        EXPECT_EQ(ProgramSettings.TimerInterval, c.interval) << name;
        EXPECT_EQ(ProgramSettings.AdjustPowerIntervals, c.adjust) << name;
        EXPECT_EQ(ProgramSettings.ConnectHide, c.hide) << name;
    }
}

// A settings file gone wrong (100 MB of it) must not hold up the start: not read, and said so.
TEST(LoadSettings, OversizedFileKeepsTheDefaultsWithAReason) {
    TempDir dir;
    SetSettingsFolder(dir.Path());
    std::ofstream(SettingsFileName) << "[LIMITS]\nMIN_CUTOUT_TEMP=60\n"
                                    << std::string(kMaxSettingsFileSize, ';');
    LoadSettings();
    EXPECT_FALSE(ProgramSettings.MinCutoutTempSet);
    EXPECT_NE(SettingsProblem.find("larger than 1 MB"), std::string::npos) << SettingsProblem;
    std::ofstream(SettingsFileName) << "\xEF\xBB\xBF[LIMITS]\r\nMIN_CUTOUT_TEMP=60\r\n";
    LoadSettings();
    EXPECT_EQ(ProgramSettings.MinCutoutTemp, 60);  // a byte-order mark is no part of a line
    EXPECT_EQ(SettingsProblem, "");
}

TEST(LoadDevelopmentSettings, YesInAnyCase) {
    struct Case {
        const char* body;
        bool development;
    };
    const Case cases[] = {
        {nullptr, false}, {"[MISC]\nDEVELOPMENT=yEs\n", true}, {"[MISC]\nDEVELOPMENT=1\n", false}};
    for (const auto& c : cases) {
        TempDir dir;
        SetSettingsFolder(dir.Path() + "/");
        if (c.body != nullptr)
            std::ofstream(DevSettingsFileName) << c.body;
        ProgramSettings.Development = !c.development;
        EXPECT_TRUE(LoadDevelopmentSettings());
        EXPECT_EQ(ProgramSettings.Development, c.development) << (c.body ? c.body : "no file");
    }
}

TEST(TRadioConfigRegistry, CommPortRange) {
    struct Case {
        const char* stored;  // nullptr: no store
        uint32_t port;
    };
    const Case cases[] = {{nullptr, 1}, {"0", 1},  {"1", 1},   {"256", 256},
                          {"300", 1},   {"-1", 1}, {"abc", 1}, {"$10", 16}};
    for (const auto& c : cases) {
        TempDir dir;
        dir.PointConfigHere();
        if (c.stored != nullptr) {
            TRegistry reg;
            ASSERT_TRUE(reg.OpenKey("\\Software\\KorvaTech\\CFG_RM7UX_Radio\\Serial", true));
            reg.WriteString("CommPort", c.stored);
        }
        TRadioConfigRegistry settings;
        settings.CommPort = 77;
        settings.ReadSettings();
        EXPECT_EQ(settings.CommPort, c.port) << (c.stored ? c.stored : "no store");
    }
}

TEST(TRadioConfigRegistry, WriteThenRead) {
    TempDir dir;
    dir.PointConfigHere();
    TRadioConfigRegistry settings;
    EXPECT_EQ(settings.KeyPath, "\\Software\\KorvaTech\\CFG_RM7UX_Radio");
    EXPECT_EQ(settings.SubKeyName, "Serial");
    settings.CommPort = 42;
    settings.WriteSettings();
    std::ifstream in(UserStoreFileName(), std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "[Serial]\r\nCommPort=42\r\n");
    TRadioConfigRegistry again;
    again.ReadSettings();
    EXPECT_EQ(again.CommPort, 42u);
}

TEST(TRadioConfigRegistry, UnwritableStoreIsIgnored) {
    TempDir dir;
    std::ofstream(dir.File("plain")) << "x";
    TRadioConfigRegistry settings(dir.File("plain") + "/store.conf");
    settings.CommPort = 5;
    settings.WriteSettings();
    settings.ReadSettings();
    EXPECT_EQ(settings.CommPort, 1u);
}

TEST(Version, Texts) {
    EXPECT_EQ(FormatVersionText(1, 1, 0, 15), "1.1 build 15");
    EXPECT_EQ(FormatVersionText(2, 0, 3, 0), "2.0.3");
    EXPECT_EQ(FormatVersionText(3, 4, 0, 0), "3.4");
    EXPECT_EQ(FormatVersionText(1, 0, 2, 7), "1.0.2 build 7");
    // The build's own version reaches the text: RM7UX_TEST_VERSION is CMake's project version.
    unsigned v[4] = {0, 0, 0, 0};
    ASSERT_GE(std::sscanf(RM7UX_TEST_VERSION, "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]), 2);
    EXPECT_EQ(GetVersionText(), FormatVersionText(v[0], v[1], v[2], v[3]));
    EXPECT_EQ(GetPackageVersion(), RM7UX_TEST_VERSION);
}

}  // namespace
