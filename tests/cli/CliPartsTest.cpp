// The command line's parts that need no radio: the decision table, the comparison behind diff
// and the read-back, the texts, and questions on a terminal.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/Json.h"
#include "cli/RecordFields.h"
#include "cli/TerminalDialogs.h"
#include "cli/TerminalText.h"
#include "config/SerialGuard.h"
#include "link/RadioTexts.h"

namespace {

TEST(ProgramDecision, FollowsTheTableInItsOrder) {
    using enum SerialDecision;
    struct Case {
        int64_t File, Radio;
        SerialDecision Expected;
    };
    const Case cases[] = {
        {12345678, 12345678, WriteWithoutSerial},
        {0, 0, WriteWithoutSerial},
        {13000000, 13000000, WriteWithoutSerial},
        {-1, 12345678, WriteWithoutSerial},
        {-1, -1, WriteWithoutSerial},
        {1000000, 0, ConfirmAndWriteSerial},
        {12999999, -1, ConfirmAndWriteSerial},
        {1000000, 13000000, ConfirmAndWriteSerial},
        {1234567, 7654321, WrongDevice},
        {13000000, 0, WrongDevice},
        {999999, -1, WrongDevice},
        {0, 12345678, WrongDevice},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecideSerialNumber(c.File, c.Radio), c.Expected) << c.File << " " << c.Radio;
}

TEST(ProgramDecision, MessagesWriteSerialNumbersEightDigitsWide) {
    std::string wrong = WrongDeviceText(1234567, 7654321);
    EXPECT_NE(wrong.find("module with serial number '01234567'\r\n"), std::string::npos);
    EXPECT_NE(wrong.find("The connected device has serial number '07654321'\r\n"),
              std::string::npos);
    EXPECT_NE(ProgramSerialQuestionText(1000000).find("programmed with '01000000'"),
              std::string::npos);
    EXPECT_EQ(FormatSerialNumber(-1), "-1");
    EXPECT_EQ(FormatSerialNumber(123456789), "123456789");
}

TEST(RadioTexts, AlarmsTemperatureAndRevisionAsTheWindowShowsThem) {
    const std::pair<std::string, std::string> alarms[] = {
        {"00", "No Alarms"},
        {"05", "Temp, PLL"},
        {"0F", "Temp, PTT, PLL, Ant"},
        {"10", ""},
        {"XX", "Error Reading Alarms"},
        {"", "Error Reading Alarms"},
    };
    for (const auto& [reply, text] : alarms)
        EXPECT_EQ(RadioAlarmsText(reply), text) << reply;
    EXPECT_EQ(TemperatureText("41"), "25");
    EXPECT_EQ(TemperatureText("00"), "-40");
    EXPECT_EQ(HardwareRevisionText(0, "00"), "1.1x");
    EXPECT_EQ(HardwareRevisionText(1, "00"), "1.3x");
    EXPECT_EQ(HardwareRevisionText(1, "0C"), "1.15x");
    EXPECT_EQ(HardwareRevisionText(1, "0D"), "");
    EXPECT_EQ(CommsStateText(2), "No Connection");
}

TEST(CompareRecords, ListsConfigurationFieldsAndSkipsWhatAProgramLeaves) {
    TRM7UXFlashRecord file;
    file.TxFreq = 0x5780;
    file.Range(4) = 0x5DC0;
    file.RadioTemperature = 0x41;
    TRM7UXFlashRecord radio = file;
    radio.Range(4) = 0x5DC1;
    radio.RadioTemperature = 0x50;  // status, never compared
    radio.Ctcss = 3;                // the file leaves it unset
    radio.SerialNumber = 12345678;

    EXPECT_EQ(CompareRecords(file, radio, true),
              (std::vector<FieldDifference>{{"P4", "$5DC0", "$5DC1"}}));
    EXPECT_EQ(
        CompareRecords(file, radio, false),
        (std::vector<FieldDifference>{
            {"SC", "(none)", "$03"}, {"P4", "$5DC0", "$5DC1"}, {"PN", "(none)", "$00BC614E"}}));
}

TEST(TerminalDialogs, QuestionsAreAnsweredByYesTheTerminalOrNotAtAll) {
    struct Case {
        bool Interactive, AssumeYes;
        std::string Typed;
        MsgButtons Buttons;
        MsgResult Expected;
    };
    const Case cases[] = {
        {false, true, "", MsgButtons::OKAbort, MsgResult::OK},
        {false, true, "", MsgButtons::YesNo, MsgResult::Yes},
        {true, false, "y\n", MsgButtons::OKAbort, MsgResult::OK},
        {true, false, " YES \n", MsgButtons::OKCancel, MsgResult::OK},
        {true, false, "n\n", MsgButtons::OKAbort, MsgResult::Abort},
        {true, false, "\n", MsgButtons::OKCancel, MsgResult::Cancel},
        {true, false, "", MsgButtons::OKCancel, MsgResult::None},
        {false, false, "y\n", MsgButtons::OKAbort, MsgResult::None},
        {false, false, "", MsgButtons::OK, MsgResult::OK},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.Typed);
        std::ostringstream err;
        TerminalDialogs dialogs(in, err, c.Interactive, c.AssumeYes);
        EXPECT_EQ(ShowWarningBox("Sure ?\r\nReally", c.Buttons), c.Expected) << c.Typed;
        EXPECT_EQ(err.str().rfind("Warning: Sure ?\nReally\n", 0), 0u) << err.str();
        EXPECT_EQ(dialogs.Unanswerable(),
                  !c.Interactive && !c.AssumeYes && c.Buttons != MsgButtons::OK);
    }
}

}  // namespace

namespace {

TEST(TerminalText, EscapesControlsAndWhatIsNotUtf8) {
    struct Case {
        std::string In, Terminal, Json;
    };
    const Case cases[] = {
        {"RM7UH V1.12A", "RM7UH V1.12A", "\"RM7UH V1.12A\""},
        {"25 \xC2\xB0"
         "C",
         "25 \xC2\xB0"
         "C",
         "\"25 \xC2\xB0"
         "C\""},  // UTF-8 passes
        {"\x1b]0;x\x07", "\\x1b]0;x\\x07", "\"\\u001b]0;x\\u0007\""},
        {"\xC2\x9B"
         "2J",
         "\\xc2\\x9b2J", "\"\\u00c2\\u009b2J\""},                          // C1 CSI
        {"\xC0\xAF", "\\xc0\\xaf", "\"\\u00c0\\u00af\""},                  // overlong "/"
        {"\xED\xA0\x80", "\\xed\\xa0\\x80", "\"\\u00ed\\u00a0\\u0080\""},  // surrogate
        {"\xE2\x82", "\\xe2\\x82", "\"\\u00e2\\u0082\""},                  // cut short
        {"a\"b\\", "a\"b\\", "\"a\\\"b\\\\\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TerminalSafe(c.In), c.Terminal);
        EXPECT_EQ(JsonString(c.In), c.Json);
    }
}

TEST(Json, ReadsRecordsAndRefusesHostileText) {
    std::string problem;
    std::optional<JsonValue> v =
        ParseJson(" {\"a\": [1, -2.5e3, true, null], \"b\": \"\\u00b0\\ud83d\\ude00\"} ", problem);
    ASSERT_TRUE(v) << problem;
    EXPECT_EQ(v->Find("a")->Items[1].Text, "-2.5e3");
    EXPECT_EQ(v->Find("b")->Text, "\xC2\xB0\xF0\x9F\x98\x80");
    for (const std::string& bad :
         {std::string(100000, '['), std::string("{\"a\": 1,}"), std::string("{\"a\" 1}"),
          std::string("\"unterminated"), std::string("{} {}"), std::string("[\"\x01\"]"),
          std::string("")}) {
        EXPECT_FALSE(ParseJson(bad, problem)) << bad.substr(0, 20);
        EXPECT_FALSE(problem.empty());
    }
}

}  // namespace
