#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "PtyPeer.h"
#include "TempDir.h"
#include "link/VVCOMM2.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t0) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

int CountOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1))
        ++n;
    return n;
}

std::string Echo(const std::string& s) {
    return s;
}

// The message of the E that opening `link` raises; "Open succeeded" when it raises none.
template <typename E>
std::string OpenFailure(TVVComm2& link) {
    try {
        link.Open();
    } catch (const E& e) {
        return e.Message();
    }
    return "Open succeeded";
}

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.PointConfigHere();
        link.CommPort = 5;
        link.BaudRate = TBaudRate::___9600;
        link.DataBits = TDataBits::_8;
        link.SetControlLines(0, 1);
    }
    void TearDown() override { link.Close(); }

    TempDir dir;
    TVVComm2 link;
};

TEST_F(LinkTest, OpenTwiceKeepsTheDeviceAndTheLog) {
    PtyPeer peer(5);
    link.CommsLogFileName = dir.File("comms.log");
    ASSERT_TRUE(link.Open());
    ASSERT_TRUE(link.IsOpen());
    EXPECT_TRUE(link.Open());
    link.Close();
    EXPECT_FALSE(link.IsOpen());
    std::string log = ReadFile(dir.File("comms.log"));
    EXPECT_EQ(1, CountOf(log, "Preparing to open port : COM5"));
    EXPECT_EQ(1, CountOf(log, "Closing the communications port."));
    // The data-bits line gives the number of bits; parity and stop bits give ordinals.
    EXPECT_NE(std::string::npos, log.find("COM5 : Setting data bits = 8\n"));
    EXPECT_NE(std::string::npos, log.find("COM5 : Setting baud rate = 9600\n"));
    EXPECT_NE(std::string::npos,
              log.find("COM5 : Setting parity = 0 (0=none, 1=odd, 2=even, 3=mark, 4=space).\n"));
    EXPECT_NE(std::string::npos,
              log.find("COM5 : Setting stop bits = 0 (0=1sb, 1=1.5sb, 2=2sb).\n"));
    EXPECT_NE(std::string::npos, log.find("COM5 : Opening Port\n"));
}

TEST_F(LinkTest, LogLinesCarryTheLocaleDateAndTime) {
    PtyPeer peer(5);
    link.CommsLogFileName = dir.File("comms.log");
    link.LogFormat.ShortDateFormat = "D%Y";
    link.LogFormat.LongTimeFormat = "T%H";
    ASSERT_TRUE(link.Open());
    link.WriteText("RV");
    link.Close();
    std::string first = ReadFile(dir.File("comms.log")).substr(0, 42);
    ASSERT_EQ('D', first[0]);
    EXPECT_EQ("  T", first.substr(5, 3));
    EXPECT_EQ(" - Preparing to open port : COM5", first.substr(10));
    EXPECT_NE(std::string::npos,
              ReadFile(dir.File("comms.log")).find(" - Writing to communications port - RV\n"));
}

TEST_F(LinkTest, ANewOpenStartsANewLog) {
    PtyPeer peer(5);
    link.CommsLogFileName = dir.File("comms.log");
    ASSERT_TRUE(link.Open());
    link.Close();
    ASSERT_TRUE(link.Open());
    link.Close();
    EXPECT_EQ(1, CountOf(ReadFile(dir.File("comms.log")), "Preparing to open port"));
}

TEST_F(LinkTest, MissingDeviceRaisesOpeningPortError) {
    link.CommPort = 7;
    ASSERT_TRUE(AttachComPort(7, dir.File("no-such-device")));
    EXPECT_EQ("COM7- This port may be already in use or not present.",
              OpenFailure<EOpeningPortError>(link));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(SerialOpenError::NoSuchDevice, link.LastOpenError());
    link.Close();  // does nothing
}

TEST_F(LinkTest, NoLogFileMeansNoFileAndUnwritableLogStopsTheOpen) {
    PtyPeer peer(5);
    ASSERT_TRUE(link.Open());
    link.WriteText("x");
    link.Close();

    link.CommsLogFileName = dir.File("missing-folder/comms.log");
    EXPECT_EQ("Unable to open log file " + dir.File("missing-folder/comms.log"),
              OpenFailure<EOpeningLogFileError>(link));
    EXPECT_FALSE(link.IsOpen());
    // The device was never touched: another link can have it.
    TVVComm2 other;
    other.CommPort = 5;
    EXPECT_TRUE(other.Open());
    other.Close();
}

TEST_F(LinkTest, ABusyPortCannotBeOpenedTwice) {
    PtyPeer peer(5);
    ASSERT_TRUE(link.Open());
    TVVComm2 second;
    second.CommPort = 5;
    EXPECT_THROW(second.Open(), EOpeningPortError);
    EXPECT_EQ(SerialOpenError::Busy, second.LastOpenError());
    EXPECT_FALSE(second.IsOpen());
    link.Close();
    EXPECT_TRUE(second.Open());
    second.Close();
}

TEST_F(LinkTest, SomethingThatIsNotAPortIsRefusedAndLetGo) {
    std::string file = dir.File("plain-file");
    std::ofstream(file) << "not a tty";
    ASSERT_TRUE(AttachComPort(9, file));
    link.CommPort = 9;
    EXPECT_EQ("COM9- Handle is not a communications port handle.", OpenFailure<ECommsError>(link));
    EXPECT_FALSE(link.IsOpen());
    int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(0, ::flock(fd, LOCK_EX | LOCK_NB)) << "the refused file is still locked";
    ::close(fd);
}

TEST_F(LinkTest, WaitForCharEndsOnSilenceCountOrDeadline) {
    PtyPeer peer(5);
    ASSERT_TRUE(link.Open());

    // Silence ends it (one working read, 300 ms), not the deadline: a wait for the deadline
    // would outlast the test's own time limit.
    auto t0 = Clock::now();
    EXPECT_FALSE(link.WaitForChar(">", 3600000, 200));
    EXPECT_GE(MsSince(t0), 290);

    peer.Send(std::string(200, 'a') + ">");
    EXPECT_FALSE(link.WaitForChar(">", 4000, 200));
    EXPECT_TRUE(link.WaitForChar(">", 4000, 200)) << "the prompt after 200 characters is left";

    peer.Send(std::string(199, 'b') + ">");
    EXPECT_TRUE(link.WaitForChar(">", 4000, 200)) << "the 200th character may still match";

    // A trickle that never stops ends on the deadline, not on silence.
    std::atomic<bool> trickle{true};
    std::thread sender([&] {
        while (trickle) {
            peer.Send("z");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    t0 = Clock::now();
    EXPECT_FALSE(link.WaitForChar(">", 500, 0));
    long trickled = MsSince(t0);
    trickle = false;
    sender.join();
    EXPECT_GE(trickled, 490);
}

TEST_F(LinkTest, ReadUntilStopsAtItsTerminatorOnly) {
    PtyPeer peer(5);
    ASSERT_TRUE(link.Open());
    std::string s;
    peer.Send(" RM7UH V1.12A\r\n>");
    EXPECT_TRUE(link.ReadUntil(s, ">", 80, 3000));
    EXPECT_EQ(" RM7UH V1.12A\r\n", s);

    // A terminator of two characters is never one character: the read ends on its length.
    peer.Send("ab>>cdef");
    EXPECT_FALSE(link.ReadUntil(s, ">>", 6, 3000));
    EXPECT_EQ("ab>>cd", s);
    EXPECT_FALSE(link.ReadUntil(s, ">>", 0, 3000));  // then on silence
    EXPECT_EQ("ef", s);
}

TEST_F(LinkTest, WriteEchoedChecksEveryEchoIgnoringCase) {
    PtyPeer lower(5, [](const std::string& r) {
        std::string e = r;
        for (char& c : e)
            c = static_cast<char>(std::tolower(c));
        return e;
    });
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(link.WriteEchoed("PT"));
    link.Close();
}

TEST_F(LinkTest, WriteEchoedStopsAtTheFirstMissingEcho) {
    PtyPeer silent(5);
    ASSERT_TRUE(link.Open());
    EXPECT_FALSE(link.WriteEchoed("PT"));
    EXPECT_EQ("P", silent.Received()) << "the T must not be sent";
}

TEST_F(LinkTest, WrongEchoFails) {
    PtyPeer wrong(5, [](const std::string& r) { return std::string(r.size(), 'X'); });
    ASSERT_TRUE(link.Open());
    EXPECT_FALSE(link.WriteEchoed("PT"));
}

TEST_F(LinkTest, ReadReplyLimitsAndRestoresTheTimeouts) {
    PtyPeer peer(5);
    ASSERT_TRUE(link.Open());
    link.ApplyTimeouts(0, 50, 70, 0, 0);
    const TCommTimeouts before = link.GetPortTimeouts();

    std::string s = "untouched";
    EXPECT_EQ(0, link.ReadReply(s, 0, 100, 100));
    EXPECT_EQ("untouched", s);
    EXPECT_EQ(before, link.GetPortTimeouts());

    EXPECT_EQ(0, link.ReadReply(s, 1000, 100, 50));
    EXPECT_EQ("", s);
    EXPECT_EQ(before, link.GetPortTimeouts());

    int processed = 0;
    link.ProcessMessages = [&] { ++processed; };
    peer.Send("\r\nOK\r\n");
    EXPECT_EQ(6, link.ReadReply(s, 1000, 2000, 100));
    EXPECT_EQ("\r\nOK\r\n", s);
    EXPECT_EQ(before, link.GetPortTimeouts());
    EXPECT_GT(processed, 0);

    peer.Send("0123456789");
    EXPECT_EQ(4, link.ReadReply(s, 4, 2000, 100));
    EXPECT_EQ("0123", s);
    link.DrainInput();
}

TEST_F(LinkTest, ReceivedDataReachesTheHandler) {
    PtyPeer peer(5, Echo);
    std::string seen;
    link.OnReceiveData = [&](const std::string& b, uint16_t n) {
        EXPECT_EQ(b.size(), n);
        seen += b;
    };
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(link.WriteEchoed("RV"));
    EXPECT_EQ("RV", seen);
    char b = 0;
    EXPECT_EQ(0, link.ReadByteNow(b));
    EXPECT_EQ(' ', b);
}

TEST_F(LinkTest, AHungUpDeviceEndsReadsAndWrites) {
    PtyPeer peer(5);
    ASSERT_TRUE(link.Open());
    peer.HangUp();
    std::string s;
    EXPECT_EQ(0, link.ReadCount(s, 4));
    EXPECT_FALSE(link.WaitForChar(">", 4000, 200));
    EXPECT_FALSE(link.WriteEchoed("RV"));
    EXPECT_EQ(0, link.ReadReply(s, 100, 200, 50));
    EXPECT_TRUE(link.DrainInput());
}

TEST_F(LinkTest, WorkingReadReturnsAsSoonAsTheBytesAreThere) {
    PtyPeer peer(5);
    ASSERT_TRUE(link.Open());
    peer.Send("AB");
    std::string s;
    // How soon the bytes come back is measured by bench/link_latency.
    EXPECT_EQ(2, link.ReadCount(s, 2));
    EXPECT_EQ("AB", s);
    // Nothing there: C + M x N = 200 + 100 x 3.
    auto t0 = Clock::now();
    EXPECT_EQ(0, link.ReadCount(s, 3));
    EXPECT_GE(MsSince(t0), 490);
    EXPECT_EQ("", s);
}

}  // namespace
