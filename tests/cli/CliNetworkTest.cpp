// rm7ux through a real serial device server: Debian's ser2net bridging the emulated radio's
// pseudo-terminal to a raw TCP port and an RFC 2217 port, as at a remote site; with 150 ms round
// trips through a delaying proxy; and every way the network can fail, each said in plain words
// naming the address, with status 1.

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>

#include "CliFixture.h"
#include "DelayProxy.h"
#include "Ser2net.h"
#include "platform/PortNames.h"

namespace {

using namespace std::chrono_literals;

class NetworkTest : public CliTest {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_SER2NET();
        EmulatorOptions options;
        options.OnEvent = [this](const RadioEvent& e) {
            if (onEvent_)
                onEvent_(e);
        };
        options.OnLine = [this](const LineSettings& line) {
            std::lock_guard lock(lineMutex_);
            lines_.push_back(LineText(line));
        };
        radio_ = std::make_unique<RadioEmulator>(options);
        radio_->Start();
        server_ = std::make_unique<Ser2net>(radio_->SlavePath(), dir_.Path());
        ASSERT_TRUE(server_->Ready()) << server_->Log();
    }
    void TearDown() override {
        server_.reset();
        if (radio_)
            radio_->Stop();
    }
    CliResult At(const std::string& address, std::vector<std::string> args,
                 std::chrono::milliseconds deadline = 30s,
                 const std::function<void(pid_t)>& started = nullptr) {
        args.insert(args.begin(), {RM7UX_CLI_PATH, "--port", address});
        return RunProgram(args, dir_.File("net"), deadline, started);
    }
    std::string LogOf(const std::string& name) { return ReadWholeFile(File(name)); }
    // The settings the radio's line had when bytes came, each time they changed.
    std::vector<std::string> LinesSeen() {
        std::lock_guard lock(lineMutex_);
        return lines_;
    }

    std::unique_ptr<Ser2net> server_;
    std::function<void(const RadioEvent&)> onEvent_;  // on the radio's thread
    std::mutex lineMutex_;
    std::vector<std::string> lines_;
};

class ThroughServer : public NetworkTest, public testing::WithParamInterface<bool> {
  protected:
    bool Rfc() const { return GetParam(); }
    std::string Address() const { return Rfc() ? server_->RfcAddress() : server_->TcpAddress(); }
};

TEST_P(ThroughServer, IdentifyReadProgramAndASignalAsOnALocalCable) {
    CliResult id = At(Address(), {"identify"});
    ASSERT_EQ(id.Status, 0) << id.Err;
    EXPECT_TRUE(Has(id.Out, "Serial number: 12345678")) << id.Out;

    // A full read, the file saved from it programmed back: every exchange of the command on one
    // connection, held from the first to the last.
    CliResult saved = At(Address(), {"save", File("site.RM7UX")});
    ASSERT_EQ(saved.Status, 0) << saved.Err;
    Radio().ClearEvents();
    CliResult programmed =
        At(Address(), {"--log", File("program.log"), "program", File("site.RM7UX"), "--yes"});
    EXPECT_EQ(programmed.Status, 0) << programmed.Err;
    EXPECT_TRUE(Has(programmed.Out, "Programmed and verified")) << programmed.Out;
    const auto events = Radio().EventTexts();
    EXPECT_NE(std::find(events.begin(), events.end(), "write PT 5780"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "flash"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "reset"), events.end());
    const std::string log = LogOf("program.log");
    EXPECT_EQ(CountOf(log, ": Connecting to "), 1u) << log;
    EXPECT_GE(CountOf(log, "held since the last exchange"), 3u) << log;

    // RFC 2217 sets the radio's line; over raw TCP it stays as the server set it.
    // (ser2net starts the device at 1200 baud, two stop bits.)
    const std::vector<std::string> lines = LinesSeen();
    ASSERT_FALSE(lines.empty());
    if (Rfc()) {
        EXPECT_EQ(lines.back(), "9600 8N1");
        EXPECT_TRUE(Has(log,
                        "The server set the line to 9600 baud, 8 data bits, no parity, 1 "
                        "stop bit."))
            << log;
    } else {
        EXPECT_EQ(lines, std::vector<std::string>{"1200 8N2"});
        EXPECT_TRUE(Has(log, "Raw TCP: the line settings are the server's")) << log;
    }

    // A signal during a read waits for the exchange, then releases the radio it keyed.
    std::atomic<pid_t> pid{0};
    std::atomic<bool> sent{false};
    onEvent_ = [&](const RadioEvent& e) {
        if (e.Text() == "tx on" && pid > 0 && !sent.exchange(true))
            ::kill(pid, SIGINT);
    };
    CliResult interrupted = At(Address(), {"read"}, 30s, [&](pid_t p) { pid = p; });
    onEvent_ = nullptr;
    EXPECT_TRUE(sent);
    EXPECT_EQ(interrupted.Status, 128 + SIGINT) << interrupted.Err;
    EXPECT_TRUE(Has(interrupted.Err, "interrupted by SIGINT")) << interrupted.Err;
    EXPECT_FALSE(Radio().Transmitting());
}

INSTANTIATE_TEST_SUITE_P(RawAndRfc2217, ThroughServer, testing::Bool(),
                         [](const auto& info) { return info.param ? "Rfc2217" : "RawTcp"; });

TEST_F(NetworkTest, AReadAcross150MsRoundTripsIsOnlySlower) {
    DelayProxy cellular(server_->RfcPort(), 75ms);
    CliResult r = At(cellular.Address("rfc2217"), {"--log", File("slow.log"), "read"}, 90s);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Has(r.Out, "PT=$5780")) << r.Out;
    // The round trip was measured and every wait extended by it.
    const std::string log = LogOf("slow.log");
    const std::string said = " ms on the first reply";
    const size_t at = log.find(said);
    ASSERT_NE(at, std::string::npos) << log;
    const size_t from = log.rfind("Round trip ", at);
    ASSERT_NE(from, std::string::npos) << log;
    EXPECT_GE(std::stoi(log.substr(from + 11, at - from - 11)), 150) << log.substr(from, 80);
    EXPECT_EQ(cellular.Accepted(), 1);
}

TEST_F(NetworkTest, EveryFailureIsSaidNamingTheAddressWithStatus1) {
    // Host unknown: the underscore makes the resolver refuse the name by itself, so no query
    // leaves the machine.
    CliResult unknown = At("tcp://pump_station.invalid:4001", {"identify"});
    EXPECT_EQ(unknown.Status, 1);
    EXPECT_EQ(unknown.Err,
              "rm7ux: tcp://pump_station.invalid:4001: identify: Not Available\n"
              "tcp://pump_station.invalid:4001: the host name 'pump_station.invalid' is not "
              "known\n");

    const uint16_t closed = FreeLoopbackPort();
    CliResult refused = At("tcp://127.0.0.1:" + std::to_string(closed), {"identify"});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_TRUE(Has(refused.Err, ": the connection was refused: nothing listens on port " +
                                     std::to_string(closed)))
        << refused.Err;

    // The server lets one client in: the second is told, and the connection closed.
    const int first = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(server_->TcpPort());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(first, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    CliResult taken = At(server_->TcpAddress(), {"identify"});
    EXPECT_EQ(taken.Status, 1);
    EXPECT_TRUE(Has(taken.Err, server_->TcpAddress() +
                                   ": the server closed the connection, saying 'Port already in "
                                   "use' (another client may have taken the port"))
        << taken.Err;
    ::close(first);

    // No answer at all: a listener whose queue is full drops the connect, as a dead host does.
    const int full = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    a.sin_port = 0;
    ::bind(full, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(full, 0);
    socklen_t len = sizeof a;
    ::getsockname(full, reinterpret_cast<sockaddr*>(&a), &len);
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const std::string dead = "rfc2217://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    CliResult silent = At(dead, {"identify"});
    EXPECT_EQ(silent.Status, 1);
    EXPECT_TRUE(Has(silent.Err, dead + ": no answer from 127.0.0.1 within 5 s")) << silent.Err;
    ::close(filler);
    ::close(full);
}

TEST_F(NetworkTest, AConnectionLostMidReadIsAPulledCable) {
    // The network drops right after the radio was keyed by the read's O3; a delay on the way
    // back makes sure the O4 cannot have gone before the cut.
    DelayProxy link(server_->TcpPort(), 50ms);
    std::atomic<bool> cut{false};
    onEvent_ = [&](const RadioEvent& e) {
        if (e.Text() == "tx on" && !cut.exchange(true))
            link.Cut();
    };
    CliResult r = At(link.Address(), {"read"});
    onEvent_ = nullptr;
    EXPECT_TRUE(cut);
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(
        Has(r.Err, "rm7ux: " + link.Address() + ": Failed to read the configuration from flash"))
        << r.Err;
    EXPECT_TRUE(Has(r.Err, link.Address() + ": the server closed the connection")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "the radio did not confirm that its transmitter is off")) << r.Err;
    EXPECT_EQ(CountOf(r.Err, "transmitter is off"), 1u) << r.Err;
    EXPECT_TRUE(r.Out.empty()) << r.Out;
    // Keyed, as a pulled cable would leave it; the next read releases it.
    EXPECT_TRUE(Radio().Transmitting());
    CliResult again = At(server_->TcpAddress(), {"read"});
    EXPECT_EQ(again.Status, 0) << again.Err;
    EXPECT_FALSE(Radio().Transmitting());
}

// A connection lost while set writes: nothing half-written is called done. The operation stays
// unresolved in the journal, and the next run, on any address, finds it by the radio's serial
// number; repair takes the radio back to its flash.
TEST_F(NetworkTest, AConnectionLostMidSetIsLeftUnresolvedForTheNextRun) {
    DelayProxy link(server_->TcpPort(), 50ms);
    std::atomic<bool> cut{false};
    onEvent_ = [&](const RadioEvent& e) {
        if (e.Text() == "write PW 01" && !cut.exchange(true))
            link.Cut();
    };
    CliResult r = At(link.Address(), {"set", "power", "1W", "ctcss", "5"});
    onEvent_ = nullptr;
    EXPECT_TRUE(cut);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_EQ(Radio().Field("PW"), 1u) << "taken, but not confirmed";

    CliResult next = At(server_->TcpAddress(), {"status"});
    EXPECT_EQ(next.Status, 0) << next.Err;
    EXPECT_TRUE(Has(next.Err, "did not finish: set (rm7ux set on " + link.Address())) << next.Err;
    EXPECT_TRUE(Has(next.Err, "the connection to the radio was lost")) << next.Err;
    EXPECT_TRUE(Has(next.Err, "'rm7ux repair' resets the radio to its flash")) << next.Err;
    CliResult repaired = At(server_->TcpAddress(), {"repair", "--yes"});
    EXPECT_EQ(repaired.Status, 0) << repaired.Err;
    EXPECT_EQ(Radio().Field("PW"), Radio().FlashField("PW"));
    EXPECT_EQ(At(server_->TcpAddress(), {"repair"}).Out, "Nothing to repair\n");
}

TEST_F(CliTest, PortsListsAndPinsAnAddressWhichAutoNeverScans) {
    const std::string address = "rfc2217://127.0.0.1:" + std::to_string(FreeLoopbackPort());
    CliResult pin = RunPlain({"ports", "--pin", "12", address});
    EXPECT_EQ(pin.Status, 0) << pin.Err;
    EXPECT_TRUE(Has(pin.Out, "COM12 -> " + address + " (network port on 127.0.0.1:")) << pin.Out;
    CliResult list = RunPlain({"ports"});
    EXPECT_TRUE(Has(list.Out, "COM12   " + address)) << list.Out;
    EXPECT_TRUE(Has(list.Out, "(RFC 2217), address in ")) << list.Out;
    CliResult json = RunPlain({"ports", "--json"});
    EXPECT_EQ(PortEntry(json.Out, 12), "network true " + address) << json.Out;
    EXPECT_EQ(RunPlain({"ports", "--pin", "12", "tcp://no-port"}).Status, 2);
    // Searching never types at a server's port; named, it is tried and said.
    CliResult search = RunPlain({"--port", "auto", "identify"});
    EXPECT_FALSE(Has(search.Err, "COM12")) << search.Err;
    CliResult named = RunPlain({"--port", "COM12", "identify"});
    EXPECT_EQ(named.Status, 1);
    EXPECT_EQ(named.Err, "rm7ux: COM12: identify: Not Available\n" + address +
                             ": the connection was refused: nothing listens on port " +
                             address.substr(address.rfind(':') + 1) + " of 127.0.0.1\n");
    EXPECT_EQ(RunPlain({"--port", address, "--device", "/dev/null", "identify"}).Status, 2);
}

#ifdef RM7UX_WINDOW_PATH
TEST_F(NetworkTest, TheWindowTakesThePortRuleAndAnAddress) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const char* bad : {"auto", "0", "tcp://host"}) {
        CliResult r = RunProgram({RM7UX_WINDOW_PATH, "--port", bad}, File("window"));
        EXPECT_EQ(r.Status, 2) << bad;
        EXPECT_TRUE(Has(r.Err, "--port")) << r.Err;
    }
    // As rm7ux takes it: COM7, and an address, which gets the first free number from 100 in the
    // ports folder; the window then reads the radio through ser2net.
    ASSERT_EQ(Radio().ComPort(), 100u);
    ASSERT_TRUE(AttachComPort(7, Radio().SlavePath()));
    for (const std::string& port : {std::string("COM 7"), server_->RfcAddress()}) {
        Subprocess window({RM7UX_WINDOW_PATH, "--port", port, "--connect", "--report"});
        std::string line;
        for (int i = 0; i < 20 && line != "STATE Connected" && line.rfind("STATE No", 0) != 0; ++i)
            line = window.Line();
        EXPECT_EQ(line, "STATE Connected") << port;
        window.Stop();
    }
    // The emulated radio has COM100 already.
    EXPECT_EQ(ComPortAddress(101), server_->RfcAddress());
}
#endif

TEST_F(CliTest, ASimulatorIsServedHereNotAtAnAddress) {
    CliResult r = RunPlain({"simulate", "--port", "tcp://127.0.0.1:4001"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(Has(r.Err, "an address names a device server's port")) << r.Err;
}

}  // namespace
