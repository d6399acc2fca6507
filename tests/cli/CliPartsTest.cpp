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
    // A terminal gets bytes escaped; a JSON document characters, a byte that is not UTF-8 being
    // the character of the same number.
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
        {"\n\t\x7f", "\\x0a\\x09\\x7f", "\"\\u000a\\u0009\\u007f\""},
        {"\xC2\x9B"
         "2J",
         "\\xc2\\x9b2J", "\"\\u009b2J\""},                   // C1 CSI, one character
        {"\x9b", "\\x9b", "\"\\u009b\""},                    // the same as a lone byte
        {"\xC0\xAF", "\\xc0\\xaf", "\"\xC3\x80\xC2\xAF\""},  // overlong "/"
        {"\xED\xA0\x80", "\\xed\\xa0\\x80", "\"\xC3\xAD\xC2\xA0\\u0080\""},  // surrogate
        {"\xE2\x82", "\\xe2\\x82", "\"\xC3\xA2\\u0082\""},                   // cut short
        {"\xFF", "\\xff", "\"\xC3\xBF\""},
        {"a\"b\\", "a\"b\\", "\"a\\\"b\\\\\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TerminalSafe(c.In), c.Terminal);
        EXPECT_EQ(JsonDump(JsonString(c.In)), c.Json);
    }
    // Escapes inside a document stay whole: a backslash before an "n" is no line end.
    Json doc = Json::object();
    doc["text"] = JsonString("\\n\n\\\x01");
    EXPECT_EQ(JsonDump(doc, 2, 1), "{\n    \"text\": \"\\\\n\\u000a\\\\\\u0001\"\n  }");
}

TEST(Json, ReadsRecordsAndRefusesHostileText) {
    std::string problem;
    std::optional<JsonValue> v = ParseJson(
        " {\"a\": [1, -2.5e3, true, null, 6e1, 18446744073709551616], \"b\": "
        "\"\\u00b0\\ud83d\\ude00\"} ",
        problem);
    ASSERT_TRUE(v) << problem;
    // Numbers keep their text: as written, or the integer JSON allows no other form of.
    const std::vector<JsonValue>& a = v->Find("a")->Items;
    EXPECT_EQ(a[0].Text, "1");
    EXPECT_EQ(a[1].Text, "-2.5e3");
    EXPECT_EQ(a[4].Text, "6e1");
    EXPECT_EQ(a[5].Text, "18446744073709551616");
    EXPECT_EQ(v->Find("b")->Text, "\xC2\xB0\xF0\x9F\x98\x80");
    const std::pair<std::string, std::string> bad[] = {
        {std::string(100000, '['), "nested too deeply"},
        {"{\"a\": 1,}", "line 1, column 9"},
        {"{\"a\" 1}", "syntax error"},
        {"\"unterminated", "syntax error"},
        {"{} {}", "syntax error"},
        {"[\"\x01\"]", "control character"},
        {"[\"\xff\"]", "ill-formed UTF-8"},
        {"", "syntax error"},
        {"[060]", "unexpected number literal"},
        {"{\"a\": {\"b\": 1, \"b\": 2}}", "the member \"b\" in \"a\" is given twice"},
        {"{\"a\": 1, \"a\": 1}", "the member \"a\" is given twice"},
    };
    for (const auto& [text, said] : bad) {
        problem.clear();
        EXPECT_FALSE(ParseJson(text, problem)) << text.substr(0, 20);
        EXPECT_NE(problem.find(said), std::string::npos) << text.substr(0, 20) << ": " << problem;
    }
    // The same name in two objects is no repeat.
    EXPECT_TRUE(ParseJson("[{\"a\": 1}, {\"a\": 2}]", problem)) << problem;
}

TEST(Json, NumbersAsDecimalsAndBack) {
    const std::pair<const char*, const char*> decimals[] = {
        {"6e1", "60"},  {"4.4125e2", "441.25"}, {"1E-2", "0.01"},           {"-2.5e3", "-2500"},
        {"0.5e1", "5"}, {"0.50e1", "5.0"},      {"440.00000", "440.00000"}, {"-1e+1", "-10"},
        {"0e5", "0"},   {"1e99999", "1e99999"},
    };
    for (const auto& [number, decimal] : decimals)
        EXPECT_EQ(JsonDecimal(number), decimal) << number;
    EXPECT_EQ(JsonDump(JsonNumber("-40")), "-40");
    EXPECT_EQ(JsonDump(JsonNumber("441.25000")), "441.25");
    EXPECT_EQ(JsonDump(JsonNumber("430.00625")), "430.00625");
    EXPECT_EQ(JsonDump(JsonNumber("1W")), "\"1W\"");
}

}  // namespace
