// The flash record against the emulated radio: the exact order of the commands the radio sees,
// the firmware gate for PV, and what is left behind when an exchange fails.

#include <gtest/gtest.h>

#include <algorithm>

#include "CommaLocale.h"
#include "CommsFixture.h"
#include "ScriptedDialogs.h"
#include "common/Exception.h"
#include "config/RM7UXFlashConfigObj.h"
#include "operations/RadioOperations.h"

namespace {

using Texts = std::vector<std::string>;
const std::string kGateMessage = "SupportsPVCommand: Could not determine firmware version";

// Every field different, so a field read into the wrong place shows.
RadioPersonality Distinct(RadioPersonality p) {
    const char* codes[] = {"PB", "PC", "PA",  "PD",  "PM",  "PF",  "PW", "PP", "PS", "SC",
                           "PO", "PV", "PL0", "PL1", "PL2", "PL3", "RH", "RT", "RC"};
    uint32_t v = 0x10;
    for (const char* c : codes)
        p.Fields.Set(c, v++);
    p.Fields.PT = 0x5780;
    p.Fields.PR = 0x5781;
    p.Fields.P1 = 0x5140, p.Fields.P2 = 0x5DC0, p.Fields.P3 = 0x5141, p.Fields.P4 = 0x5DC1;
    return p;
}

TRM7UXFlashRecord WriteRecord() {
    TRM7UXFlashRecord r;
    r.FreqOffset = 0x80, r.Deviation = 0x3C, r.ModBalance = 0x41, r.ShutdownTemp = 0x69;
    r.PowerLevel = 3;
    r.TxPowerCal = {0x12, 0x34, 0x56, 255};
    r.PttTimeout = 0x3C, r.RssiOffset = 0x05, r.Ctcss = 0x0A, r.BandWidth = 1;
    r.ChannelSpacing = 0, r.FreqBandCode = 0x8C;
    r.FreqRange = {26, 0x5DC0, 0x5140, 0x5DC0};
    r.RxFreq = 0x5328, r.TxFreq = 0x5780, r.SerialNumber = 12000000, r.RevPowerThreshold = 0x20;
    return r;
}

const Texts kFullRead = {
    "cr",      "rv",      "tx on",   "tx off",  "read RH",  "rv",       "read PC",  "read PD",
    "read PM", "read PP", "read PO", "read PW", "read PL0", "read PL1", "read PL2", "read PL3",
    "read PF", "read PA", "read PR", "read PT", "read P1",  "read P2",  "read P3",  "read P4",
    "read SC", "read PB", "read PN", "read PS", "read RT",  "read RC",  "read PV"};

const Texts kFullWrite = {"cr",
                          "rv",
                          "write PF 80",
                          "write PD 3C",
                          "write PM 41",
                          "write PS 69",
                          "write PW 03",
                          "write PL0 12",
                          "write PL1 34",
                          "write PL2 56",
                          "write PL3 FF",
                          "write PP 3C",
                          "write PO 05",
                          "write SC 0A",
                          "write PB 01",
                          "write PC 00",
                          "write PA 8C",
                          "write P1 001A",
                          "write P2 5DC0",
                          "write P3 5140",
                          "write P4 5DC0",
                          "write PR 5328",
                          "write PT 5780",
                          "write PN 00B71B00",
                          "write PV 20",
                          "ee",
                          "flash",
                          "reset"};

// The events up to the radio's reset: the carriage return that follows it may still be on its way.
Texts UpToReset(Texts events) {
    const auto reset = std::find(events.begin(), events.end(), "reset");
    if (reset != events.end())
        events.erase(reset + 1, events.end());
    return events;
}

Texts Without(Texts texts, std::initializer_list<std::string> gone) {
    for (const auto& g : gone)
        texts.erase(std::remove(texts.begin(), texts.end(), g), texts.end());
    return texts;
}

// What the radio holds, as a full read would give it: what a failed program puts back.
TRM7UXFlashRecord Held(const RadioEmulator& radio) {
    TRM7UXFlashRecord held;
    for (const RadioFieldInfo& f : FlashFieldTable()) {
        if (f.Kind == FlashFieldKind::Serial)
            held.SerialNumber = radio.Field("PN");
        else
            f.Of(held) = static_cast<int32_t>(radio.Field(std::string(f.Code)));
    }
    return held;
}

class FlashRecordTest : public CommsFixture {
  protected:
    // The record programmed as the window and the command line program it, in one exchange.
    OperationResult Write(const RadioEmulator& radio) {
        const TRM7UXFlashRecord held = Held(radio);
        if (!OpenRadioPort())
            return {.Outcome = OperationOutcome::NotRead};
        OperationResult r{.Outcome = OperationOutcome::NotRead};
        // The answer to the carriage return that followed an earlier reset goes first.
        FlushRadioLink();
        if (EnsureRadioIdentified()) {
            const RadioIdentity id{RM7UXIsRM7UX() ? 1 : 0, RM7UXVersionText(), -1};
            r = ProgramRecord(flash.Record(), held, id, nullptr);
        }
        CloseRadioPort();
        return r;
    }

    ScriptedDialogs dialogs;
    TRM7UXFlashRecordClass flash;
};

TEST_F(FlashRecordTest, FullReadInItsOrderFillsEveryField) {
    RadioEmulator radio({.Radio = Distinct(RadioPersonality::RM7UH())});
    Plug(radio);
    auto before = std::chrono::system_clock::now();
    ASSERT_TRUE(flash.ReadFromRadio());
    EXPECT_EQ(kFullRead, radio.EventTexts());
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(0, display.State);

    const TRM7UXFlashRecord& r = flash.Record();
    auto field = [&](const char* code) { return static_cast<int32_t>(radio.Field(code)); };
    TRM7UXFlashRecord expected;
    expected.Ctcss = field("SC"), expected.FreqOffset = field("PF");
    expected.Deviation = field("PD"), expected.ModBalance = field("PM");
    expected.RxFreq = field("PR"), expected.TxFreq = field("PT");
    expected.RevPowerThreshold = field("PV"), expected.SerialNumber = 12345678;
    expected.PttTimeout = field("PP"), expected.ChannelSpacing = field("PC");
    expected.FreqRange = {field("P1"), field("P2"), field("P3"), field("P4")};
    expected.FreqBandCode = field("PA"), expected.ShutdownTemp = field("PS");
    expected.PowerLevel = field("PW"), expected.BandWidth = field("PB");
    expected.TxPowerCal = {field("PL0"), field("PL1"), field("PL2"), field("PL3")};
    expected.RssiOffset = field("PO"), expected.FirmwareVersion = "RM7UH V1.12A";
    expected.HardwareVersion = field("RH"), expected.RadioCheck = field("RC");
    expected.RadioTemperature = field("RT"), expected.TimeLoad = r.TimeLoad;
    EXPECT_EQ(expected, r);
    EXPECT_GE(r.TimeLoad, before);
    EXPECT_LE(r.TimeLoad, std::chrono::system_clock::now());
    EXPECT_TRUE(dialogs.Shown.empty());
}

TEST_F(FlashRecordTest, FullWriteInItsOrderThenFlash) {
    RadioEmulator radio;
    Plug(radio);
    flash.Record() = WriteRecord();
    ASSERT_TRUE(Write(radio).Done());
    EXPECT_EQ(kFullWrite, UpToReset(radio.EventTexts()));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(0xFFu, radio.FlashField("PL3"));
    EXPECT_EQ(26u, radio.FlashField("P1"));
    EXPECT_EQ(12000000u, radio.FlashField("PN"));
}

// The firmware gate: RM7UL V1.11Z has no PV; a version without a space cannot be read.
// Under a decimal-comma locale too: the radio writes its firmware number with ".".
TEST_F(FlashRecordTest, PVOnlyWhereTheFirmwareHasIt) {
    const FormatSettings kept = DefaultFormatSettings();
    SetDefaultFormatSettings(CommaFormat());
    RadioPersonality unreadable = RadioPersonality::RM7UH();
    unreadable.VersionText = "RM7UHV112A";
    const std::pair<RadioPersonality, Texts> cases[] = {
        {RadioPersonality::RM7UL(), {}},
        {unreadable, {kGateMessage}},
    };
    for (const auto& [personality, messages] : cases) {
        SCOPED_TRACE(personality.VersionText);
        dialogs.Shown.clear();
        RadioEmulator radio({.Radio = personality});
        Plug(radio);
        ASSERT_TRUE(flash.ReadFromRadio());
        EXPECT_EQ(-1, flash.Record().RevPowerThreshold);
        EXPECT_EQ(Without(kFullRead, {"read PV"}), radio.EventTexts());
        EXPECT_EQ(messages, dialogs.Texts());

        // The record read has no PV; one that has (from another radio's file) still sends none.
        for (int pv : {-1, 0x20}) {
            dialogs.Shown.clear();
            radio.ClearEvents();
            flash.Record().RevPowerThreshold = pv;
            const OperationResult written = Write(radio);
            ASSERT_TRUE(written.Done()) << written.Message;
            Texts events = UpToReset(radio.EventTexts());
            EXPECT_EQ("flash", events[events.size() - 2]);
            EXPECT_EQ(0, std::count(events.begin(), events.end(), "write PV 20"));
            EXPECT_EQ(pv < 0 ? Texts{} : messages, dialogs.Texts()) << pv;
        }
        radio.Stop();
    }
    SetDefaultFormatSettings(kept);
}

TEST_F(FlashRecordTest, NegativeSerialAndCtcssAreLeftOutAndTheRestFlashed) {
    RadioEmulator radio;
    Plug(radio);
    flash.Record() = WriteRecord();
    flash.Record().Ctcss = -1;
    flash.Record().SerialNumber = -1;
    ASSERT_TRUE(Write(radio).Done());
    EXPECT_EQ(Without(kFullWrite, {"write SC 0A", "write PN 00B71B00"}),
              UpToReset(radio.EventTexts()));
}

TEST_F(FlashRecordTest, AFailedReadLeavesTheRecordAsItWas) {
    RadioEmulator radio;
    Plug(radio);
    flash.Record() = WriteRecord();
    const TRM7UXFlashRecord before = flash.Record();

    radio.SetFaults({.GarbageField = "PV"});
    EXPECT_FALSE(flash.ReadFromRadio());
    EXPECT_EQ("read PV", radio.EventTexts().back()) << "the last field is the one that failed";

    // A power calibration that is not hexadecimal raises, after the port is closed.
    radio.SetFaults({.GarbageField = "PL"});
    EXPECT_THROW(flash.ReadFromRadio(), EConvertError);
    EXPECT_FALSE(link.IsOpen());

    radio.SetFaults({.Silent = true});
    EXPECT_FALSE(flash.ReadFromRadio());
    EXPECT_EQ(before, flash.Record());
    EXPECT_FALSE(link.IsOpen());
}

// The radio hangs up at a chosen command: a write that stops before or during the flash save
// fails, and only a completed EP reaches flash.
TEST_F(FlashRecordTest, AWriteThatStopsPartWayFails) {
    auto commandsBefore = [](const std::string& event) {
        auto end = std::find(kFullWrite.begin(), kFullWrite.end(), event);
        return static_cast<int>(
            std::count_if(kFullWrite.begin(), end, [](const std::string& t) { return t != "cr"; }));
    };
    for (const std::string at : {"write PR 5328", "ee", "flash"}) {
        SCOPED_TRACE(at);
        RadioEmulator radio;
        Plug(radio);
        radio.SetFaults({.HangUpAfterCommands = commandsBefore(at)});
        flash.Record() = WriteRecord();
        EXPECT_FALSE(Write(radio).Done());
        EXPECT_FALSE(link.IsOpen());
        EXPECT_NE(12000000u, radio.FlashField("PN"));
        radio.Stop();
    }
}

// Values that do not fit their field would be typed as extra digits, which the radio reads as
// further commands: such a record is refused, naming the field, before anything is sent.
TEST_F(FlashRecordTest, ARecordThatDoesNotFitIsRefused) {
    TRM7UXFlashRecord neverFilled;
    TRM7UXFlashRecord tooLarge = WriteRecord();
    tooLarge.TxPowerCal[2] = 256;
    TRM7UXFlashRecord serialTooLarge = WriteRecord();
    serialTooLarge.SerialNumber = 0x100000000;
    for (const auto& [r, code] : {std::pair{neverFilled, "PF"}, std::pair{tooLarge, "PL2"},
                                  std::pair{serialTooLarge, "PN"}}) {
        const std::optional<RecordRefusal> refusal = CheckRecordForRadio(r, 1);
        ASSERT_TRUE(refusal.has_value()) << code;
        EXPECT_EQ(code, refusal->Code);
    }
}

}  // namespace
