#include <gtest/gtest.h>

#include <fstream>

#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "config/INIObj.h"

namespace {

struct Ranged {
    const char* name;
    const char* line;  // the key's line in [Configuration], or nullptr for none
    const char* missingText;
    const char* delimiter;
    bool valid;
    int64_t value;
    const char* report;
};

// Section Configuration, key SC, range 0..255, default 7.
const Ranged kRanged[] = {
    {"hex", "SC=$0A                                  ; CTCSS", " missing", ";", true, 10, ""},
    {"decimal", "SC=200", " missing", ";", true, 200, ""},
    {"two comments", "SC= 12 ; one ; two", " missing", ";", true, 12, ""},
    {"other delimiter", "SC=12 # note", " missing", "#", true, 12, ""},
    {"absent", nullptr, " missing", ";", false, 7,
     "[Configuration]: 'SC' missing, Valid range: 0 to 255\r\n"},
    {"absent, default text", nullptr, " not in INI", ";", false, 7,
     "[Configuration]: 'SC' not in INI, Valid range: 0 to 255\r\n"},
    {"stored marker", "SC=!@#$@#$!@$@#^%$@&%^&*&^*^&", " missing", ";", false, 7,
     "[Configuration]: 'SC' missing, Valid range: 0 to 255\r\n"},
    {"not hex", "SC=$1G", " missing", ";", false, 7,
     "[Configuration]: 'SC' =$1G not valid  Valid range: 0 to 255\r\n"},
    {"empty", "SC=", " missing", ";", false, 7,
     "[Configuration]: 'SC' = not valid  Valid range: 0 to 255\r\n"},
    {"above", "SC=$100", " missing", ";", false, 255,
     "[Configuration]: 'SC' =$100 not valid  Valid range: 0 to 255\r\n"},
    {"below", "SC=-1", " missing", ";", false, 0,
     "[Configuration]: 'SC' =-1 not valid  Valid range: 0 to 255\r\n"},
};

class INIObjTest : public ::testing::Test {
  protected:
    void Write(const std::string& body) { std::ofstream(file_, std::ios::binary) << body; }
    TempDir dir_;
    std::string file_ = dir_.File("radio.RM7UX");
    ScriptedDialogs dialogs_;
};

TEST_F(INIObjTest, RangedIntegerReportLines) {
    for (bool wide : {false, true}) {
        for (const auto& c : kRanged) {
            Write(std::string("[Configuration]\r\nPD=$01\r\n") + (c.line ? c.line : "") + "\r\n");
            TINIObj ini;
            ini.MissingText = c.missingText;
            ini.SetFileName(file_);
            ASSERT_TRUE(ini.OpenFile());
            int32_t count = 3;
            std::string text = "before\r\n";
            bool valid;
            int64_t value;
            if (wide) {
                valid = ini.ReadRangedInt64(count, text, "Configuration", "SC", value, 0, 255, 7,
                                            c.delimiter);
            } else {
                int32_t narrow = 0;
                valid = ini.ReadRangedInteger(count, text, "Configuration", "SC", narrow, 0, 255, 7,
                                              c.delimiter);
                value = narrow;
            }
            EXPECT_EQ(valid, c.valid) << c.name;
            EXPECT_EQ(value, c.value) << c.name;
            EXPECT_EQ(count, c.valid ? 3 : 4) << c.name;
            EXPECT_EQ(text, std::string("before\r\n") + c.report) << c.name;
        }
    }
    EXPECT_TRUE(dialogs_.Shown.empty());
}

TEST_F(INIObjTest, WideRangeAndRepeatedAbsentKey) {
    Write("[Configuration]\nPN=$100000000\n");
    TINIObj ini;
    ini.SetFileName(file_);
    ASSERT_TRUE(ini.OpenFile());
    int32_t count = 0;
    std::string text;
    int64_t serial = 0;
    EXPECT_FALSE(
        ini.ReadRangedInt64(count, text, "Configuration", "PN", serial, 0, 4294967295, -1, ";"));
    EXPECT_EQ(serial, 4294967295);
    int32_t v = 0;
    ini.ReadRangedInteger(count, text, "configuration", "pd", v, -40, 215, 0, ";");
    ini.ReadRangedInteger(count, text, "configuration", "pd", v, -40, 215, 0, ";");
    EXPECT_EQ(count, 3);
    EXPECT_EQ(text,
              "[Configuration]: 'PN' =$100000000 not valid  Valid range: 0 to 4294967295\r\n"
              "[configuration]: 'pd' not in INI, Valid range: -40 to 215\r\n"
              "[configuration]: 'pd' not in INI, Valid range: -40 to 215\r\n");
}

TEST_F(INIObjTest, ReadValueStripsCommentAndBlanks) {
    Write("[Configuration]\nSC = $0A   ; CTCSS\nPD=\nTime=; Time load\n");
    TINIObj ini;
    ini.SetFileName(file_);
    std::string value = "x";
    EXPECT_FALSE(ini.ReadValue("Configuration", "SC", value));  // not open
    ASSERT_TRUE(ini.OpenFile());
    ASSERT_TRUE(ini.ReadValue("Configuration", "SC", value));
    EXPECT_EQ(value, "$0A");
    ASSERT_TRUE(ini.ReadValue("Configuration", "PD", value));
    EXPECT_EQ(value, "");
    ASSERT_TRUE(ini.ReadValue("Configuration", "Time", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(ini.ReadValue("Configuration", "PM", value));
}

// A file replaced while it is being read must not give some keys from the old and some from the
// new version.
TEST_F(INIObjTest, ReadsTheFileAsOpenedAndItsOwnWrites) {
    Write("[Configuration]\nSC=$0A\n");
    TINIObj ini;
    ini.SetFileName(file_);
    ASSERT_TRUE(ini.OpenFile());
    Write("[Configuration]\nSC=$0B\nPD=$01\n");
    std::string value;
    ASSERT_TRUE(ini.ReadValue("Configuration", "SC", value));
    EXPECT_EQ(value, "$0A");
    EXPECT_FALSE(ini.ReadValue("Configuration", "PD", value));
    ini.WriteString("Configuration", "PM", "$05");
    ASSERT_TRUE(ini.ReadValue("Configuration", "PM", value));
    EXPECT_EQ(value, "$05");
    ini.DeleteKey("Configuration", "PM");
    EXPECT_FALSE(ini.ReadValue("Configuration", "PM", value));
}

TEST_F(INIObjTest, OpenFailureShowsErrorBox) {
    TINIObj ini;
    for (const std::string& name : {dir_.Path(), std::string()}) {
        ini.SetFileName(name);
        EXPECT_FALSE(ini.OpenFile()) << name;
        EXPECT_FALSE(ini.IsOpen());
    }
    ASSERT_EQ(dialogs_.Shown.size(), 2u);
    EXPECT_EQ(dialogs_.Shown[0].Type, MsgType::Error);
    EXPECT_EQ(dialogs_.Shown[0].Buttons, MsgButtons::OK);
    EXPECT_EQ(dialogs_.Texts(),
              (std::vector<std::string>{"Error opening " + dir_.Path(), "Error opening "}));
}

TEST_F(INIObjTest, WriteAndDeleteGoStraightToTheFile) {
    TINIObj ini;
    ini.SetFileName(file_);
    EXPECT_FALSE(ini.FileExists());
    EXPECT_THROW(ini.WriteString("Configuration", "SC", "$0A"), EIniFileException);
    ASSERT_TRUE(ini.OpenFile());  // an absent file is created by the first write
    ini.WriteString("Configuration", "SC", "$0A");
    ini.WriteString("Configuration", "PV", "$10");
    EXPECT_TRUE(ini.FileExists());
    ini.DeleteKey("Configuration", "PV");
    ini.CloseFile();
    ini.CloseFile();
    std::string value;
    EXPECT_FALSE(ini.ReadValue("Configuration", "SC", value));
    std::ifstream in(file_, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "[Configuration]\r\nSC=$0A\r\n");
}

}  // namespace
