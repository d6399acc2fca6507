#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "CommsFixture.h"
#include "PtyPeer.h"
#include "ScriptedDialogs.h"

namespace {

using Texts = std::vector<std::string>;

class CommsTest : public CommsFixture {
  protected:
    bool OpenAndIdentify() { return OpenRadioPort() && EnsureRadioIdentified(); }
};

TEST_F(CommsTest, OneExchangeGoesFromOpenThroughConnectedToIdle) {
    RadioEmulator radio;
    Plug(radio);
    ASSERT_TRUE(OpenAndIdentify());
    EXPECT_EQ("RM7UH V1.12A", RM7UXVersionText());
    EXPECT_TRUE(RM7UXIsRM7UX());
    EXPECT_TRUE(CloseRadioPort());
    EXPECT_EQ((std::vector<int>{5, 6, 0}), display.Codes);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ((Texts{"cr", "rv"}), radio.EventTexts());
}

TEST_F(CommsTest, IdentificationTellsTheModelsApartAndRefusesOthers) {
    RadioEmulator vx({.Radio = RadioPersonality::RM7VX()});
    Plug(vx);
    std::string version = "before";
    bool isRM7UX = true;
    ASSERT_TRUE(OpenRadioPort());
    EXPECT_TRUE(IdentifyRadio(version, isRM7UX));
    EXPECT_FALSE(isRM7UX);
    EXPECT_EQ("RM7VX V2.03", version);

    vx.SetFaults({.NoModel = true});
    version = "before";
    EXPECT_FALSE(IdentifyRadio(version, isRM7UX));
    EXPECT_EQ(4, display.State);
    EXPECT_FALSE(isRM7UX);
    EXPECT_EQ("before", version);
    CloseRadioPort();
    EXPECT_EQ(4, display.State) << "a failure code stays after the close";
}

TEST_F(CommsTest, ASilentDeviceIsNoConnectionAndAMissingPortNotAvailable) {
    RadioEmulator radio;
    Plug(radio);
    radio.SetFaults({.Silent = true});
    EXPECT_FALSE(OpenAndIdentify());
    EXPECT_EQ(2, display.State);
    CloseRadioPort();
    radio.Stop();
    EXPECT_FALSE(OpenRadioPort());
    EXPECT_EQ(1, display.State);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(CommsTest, FieldsReadAndWriteWithTheirEventsEvenWithLowerCaseEcho) {
    RadioEmulator radio;
    Plug(radio);
    radio.SetFaults({.LowerCaseEcho = true});
    ASSERT_TRUE(OpenAndIdentify());
    radio.ClearEvents();
    std::string reply;
    radio.SetField("PD", 0x7B);
    EXPECT_TRUE(ReadField("PD", reply, 2, 2));
    EXPECT_EQ("7B", reply);
    EXPECT_TRUE(QueryField("RT", reply, 2, 2));
    EXPECT_EQ("41", reply);
    EXPECT_TRUE(SetField("PT", "5780"));
    EXPECT_TRUE(QueryFieldWithArgument("PL", "2", reply, 2, 2));
    EXPECT_EQ(radio.Field("PL2"), std::stoul(reply, nullptr, 16));
    EXPECT_TRUE(WriteAndReadField("PM", "3C", reply, 2, 2));
    EXPECT_EQ("3C", reply);
    EXPECT_TRUE(QueryUntilPrompt("RV", reply, ">"));
    EXPECT_EQ(0x5780u, radio.Field("PT"));
    EXPECT_EQ(
        (Texts{"read PD", "read RT", "write PT 5780", "read PL2", "write PM 3C", "read PM", "rv"}),
        radio.EventTexts());
    EXPECT_EQ(6, display.State);
}

TEST_F(CommsTest, ReadFieldAgainstSilenceCancelsTwiceAndReportsTimeOut) {
    PtyPeer peer(40);
    link.CommPort = 40;
    ASSERT_TRUE(OpenRadioPort());
    std::string reply;
    EXPECT_FALSE(ReadField("PD", reply, 2, 2));
    EXPECT_EQ(3, display.State);
    EXPECT_EQ("P\r\r", peer.Received()) << "no D after a missing echo, then two carriage returns";
}

TEST_F(CommsTest, SerialNumberAndBandwidthConversions) {
    RadioEmulator radio;
    Plug(radio);
    ASSERT_TRUE(OpenAndIdentify());
    radio.SetField("PN", 0x12345678);
    EXPECT_EQ(305419896, ReadSerialNumber());

    double bandwidth = 0;
    struct Case {
        uint32_t Code;
        double Hz;
    };
    for (Case c : {Case{0, 25000.0}, Case{1, 12500.0}, Case{2, -1.0}}) {
        radio.SetField("PB", c.Code);
        EXPECT_TRUE(ReadBandWidth(bandwidth));
        EXPECT_EQ(c.Hz, bandwidth) << c.Code;
    }
    radio.SetFaults({.GarbageField = "PN"});
    EXPECT_EQ(-1, ReadSerialNumber());
    radio.SetFaults({.GarbageField = "PB"});
    bandwidth = 7;
    EXPECT_FALSE(ReadBandWidth(bandwidth));
    EXPECT_EQ(7, bandwidth);
}

TEST_F(CommsTest, SetFieldPairDiscardsWhatWasPendingFirst) {
    RadioEmulator radio;
    Plug(radio);
    ASSERT_TRUE(OpenAndIdentify());
    // An unread answer to a stray carriage return sits in the input.
    radio.ClearEvents();
    link.WriteChar('\r');
    ASSERT_TRUE(radio.WaitForEvent("cr"));
    radio.ClearEvents();
    EXPECT_TRUE(SetFieldPair("PL", "2", "FF"));
    EXPECT_EQ(0xFFu, radio.Field("PL2"));
    EXPECT_EQ((Texts{"write PL2 FF"}), radio.EventTexts());
}

TEST_F(CommsTest, FlashSaveAndResetLeaveTheirCodes) {
    RadioEmulator radio;
    Plug(radio);
    ASSERT_TRUE(OpenAndIdentify());
    ASSERT_TRUE(SetField("PP", "1E"));
    EXPECT_TRUE(SaveToFlashSilently());
    EXPECT_EQ(0x1Eu, radio.FlashField("PP"));
    EXPECT_TRUE(SaveToFlash());
    CloseRadioPort();
    radio.ClearEvents();

    // Called with the link closed, the reset opens it and closes it again.
    EXPECT_TRUE(ResetRadio());
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(3, display.State);
    ASSERT_TRUE(radio.WaitForEvent("cr"));
    EXPECT_EQ((Texts{"reset", "cr"}), radio.EventTexts());
}

TEST_F(CommsTest, AFailedFlashSaveIsReported) {
    RadioEmulator radio;
    Plug(radio);
    ASSERT_TRUE(OpenAndIdentify());
    radio.SetFaults({.NoEcho = true});
    EXPECT_FALSE(SaveToFlashSilently());
    EXPECT_EQ(6, display.State) << "the silent save reports nothing";
    EXPECT_FALSE(SaveToFlash());
    EXPECT_EQ(3, display.State);
}

TEST_F(CommsTest, AHangUpMidExchangeFailsPromptly) {
    RadioEmulator radio;
    Plug(radio);
    radio.SetFaults({.HangUpAfterCommands = 2});
    ASSERT_TRUE(OpenAndIdentify());
    std::string reply;
    EXPECT_TRUE(ReadField("PD", reply, 2, 2));
    EXPECT_FALSE(ReadField("PM", reply, 2, 2));
    EXPECT_FALSE(SetField("PT", "5780"));
    EXPECT_EQ(3, display.State);
}

// A line that never falls silent: the flush before a paired write gives up instead of reading
// for ever, and the write fails as a time-out without sending its command.
TEST_F(CommsTest, ALineThatKeepsSendingEndsTheFlush) {
    PtyPeer peer(42);
    link.CommPort = 42;
    ASSERT_TRUE(OpenRadioPort());
    std::atomic<bool> sending{true};
    std::thread noise([&] {
        while (sending) {
            peer.Send(std::string(16, 'n'));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    EXPECT_FALSE(FlushRadioLink());
    EXPECT_FALSE(SetFieldPair("PL", "0", "80"));
    sending = false;
    noise.join();
    EXPECT_EQ(3, display.State);
    EXPECT_EQ(std::string::npos, peer.Received().find("PL")) << peer.Received();
    link.PurgeInput();
    EXPECT_TRUE(FlushRadioLink()) << "silent again";
}

TEST_F(CommsTest, GarbageAndFloodsEndInFailureCodes) {
    PtyPeer flood(41, [](const std::string&) { return std::string(300, 'x'); });
    link.CommPort = 41;
    ASSERT_TRUE(OpenRadioPort());
    std::string version;
    bool isRM7UX = false;
    EXPECT_FALSE(IdentifyRadio(version, isRM7UX));
    EXPECT_EQ(2, display.State);
}

TEST_F(CommsTest, TheModemIsTakenIntoRadioModeAndBack) {
    ScriptedDialogs dialogs;
    RadioEmulator modem({.Modem = true});
    Plug(modem);
    EXPECT_TRUE(EnterModemConfigMode("TIDEWAter"));
    EXPECT_TRUE(modem.ModemInRadioMode());
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(0, display.State);
    ASSERT_TRUE(OpenAndIdentify()) << "the modem's radio answers like a radio";
    CloseRadioPort();

    const TCommTimeouts working = link.StoredTimeouts();
    bool loaded = false;
    EXPECT_TRUE(ExitModemConfigMode(loaded));
    EXPECT_TRUE(loaded);
    EXPECT_FALSE(modem.ModemInRadioMode());
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(working, link.GetPortTimeouts());
    EXPECT_TRUE(dialogs.Shown.empty());
}

TEST_F(CommsTest, APlainRadioIsNotAModem) {
    ScriptedDialogs dialogs;
    RadioEmulator radio;
    Plug(radio);
    EXPECT_FALSE(EnterModemConfigMode("TIDEWAter"));
    EXPECT_EQ((Texts{"The connected device is not a M82KD modem"}), dialogs.Texts());
    EXPECT_EQ(MsgType::Error, dialogs.Shown.at(0).Type);
    EXPECT_FALSE(link.IsOpen());

    radio.SetFaults({.Silent = true});
    EXPECT_FALSE(EnterModemConfigMode("TIDEWAter"));
    EXPECT_EQ(1u, dialogs.Shown.size()) << "a silent device fails without a message";
    bool loaded = true;
    EXPECT_FALSE(ExitModemConfigMode(loaded));
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.StoredTimeouts(), link.GetPortTimeouts());
}

}  // namespace
