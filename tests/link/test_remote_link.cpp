// The link over a device server's connection, on a scripted line in memory: every wait is
// extended by the round trip measured on the exchange's first reply, a local line's waits are
// not, and the connection is held between exchanges only while the owner asks.

#include <gtest/gtest.h>

#include "ScriptedLine.h"
#include "link/RM7UXcomms.h"
#include "link/VVCOMM2.h"

namespace {

using namespace std::chrono_literals;

// A radio that echoes every byte and answers a carriage return with its prompt.
std::string Echo(char c) {
    return c == '\r' ? std::string("\r\n>") : std::string(1, c);
}

struct Opened {
    int Count = 0;
    ScriptedLine* Last = nullptr;
};

// A link whose every open makes a scripted line with `oneWay` delay.
void Script(TVVComm2& link, Opened& opened, std::chrono::milliseconds oneWay, bool remote,
            int connectRoundTripMs = 0) {
    link.OpenLine = [&opened, oneWay, remote, connectRoundTripMs](const std::string&,
                                                                  std::string&) {
        auto line = std::make_unique<ScriptedLine>(Echo, oneWay, remote, connectRoundTripMs);
        ++opened.Count;
        opened.Last = line.get();
        return std::unique_ptr<LineTransport>(std::move(line));
    };
}

TEST(RemoteLink, EveryWaitIsExtendedByTheRoundTripOfTheFirstReply) {
    // 400 ms round trips: more than a one-byte read's 300 ms of a local port.
    TVVComm2 link;
    Opened opened;
    Script(link, opened, 200ms, true, 400);
    link.NetworkAddress = "tcp://scripted:1";
    ASSERT_TRUE(link.Open());
    // The connect's estimate carries the first exchange; its first reply refines it.
    EXPECT_EQ(link.RoundTripMs(), 400);
    ASSERT_TRUE(link.WriteChar('\r'));
    EXPECT_TRUE(link.WaitForChar(">", 4000, 200));
    EXPECT_GE(link.RoundTripMs(), 400);
    EXPECT_LT(link.RoundTripMs(), 600);
    EXPECT_TRUE(link.WriteEchoed("PT"));
    link.Close();

    // The same line as a local port: no round trip is added, and the echo is late.
    TVVComm2 local;
    Opened localOpened;
    Script(local, localOpened, 200ms, false);
    ASSERT_TRUE(local.Open());
    EXPECT_EQ(local.RoundTripMs(), 0);
    EXPECT_FALSE(local.WriteEchoed("PT"));
    local.Close();
}

TEST(RemoteLink, TheConnectionIsHeldOnlyWhileAskedAndNeverWhenLost) {
    TVVComm2 link;
    Opened opened;
    Script(link, opened, 0ms, true);
    link.NetworkAddress = "tcp://scripted:1";
    uint8_t state = 0;
    RegisterRM7UXComms(
        &link, [&](uint8_t c) { state = c; }, [&] { return state; });

    link.HoldConnection = true;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(OpenRadioPort());
        EXPECT_TRUE(link.WriteEchoed("RV"));
        CloseRadioPort();
        EXPECT_TRUE(link.ConnectionHeld());
    }
    EXPECT_EQ(opened.Count, 1);

    // Lost mid-exchange: said, never taken up again; the next exchange connects anew.
    ASSERT_TRUE(OpenRadioPort());
    opened.Last->Close();
    EXPECT_FALSE(link.WriteEchoed("PT"));
    EXPECT_EQ(link.LineLost(), "tcp://scripted:1: closed");
    CloseRadioPort();
    EXPECT_FALSE(link.ConnectionHeld());
    ASSERT_TRUE(OpenRadioPort());
    EXPECT_EQ(opened.Count, 2);
    EXPECT_EQ(link.LineLost(), "");
    CloseRadioPort();

    // Nothing at all came back: the path may be dead without a word, so it is not kept.
    link.OpenLine = [&opened](const std::string&, std::string&) {
        auto line = std::make_unique<ScriptedLine>([](char) { return std::string(); }, 0ms);
        ++opened.Count;
        opened.Last = line.get();
        return std::unique_ptr<LineTransport>(std::move(line));
    };
    link.Release();
    ASSERT_TRUE(OpenRadioPort());
    EXPECT_FALSE(link.WriteEchoed("RV"));
    CloseRadioPort();
    EXPECT_FALSE(link.ConnectionHeld());
    Script(link, opened, 0ms, true);

    // Not asked to hold (Connect unticked): every exchange connects, and nothing stays.
    link.HoldConnection = false;
    link.Release();
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(OpenRadioPort());
        CloseRadioPort();
        EXPECT_FALSE(link.ConnectionHeld());
    }
    EXPECT_EQ(opened.Count, 5);
    RegisterRM7UXComms(nullptr, nullptr, nullptr);
}

}  // namespace
