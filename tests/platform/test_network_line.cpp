// Network ports: the port rule with addresses, the address files of the ports folder, the telnet
// COM port option as ser2net speaks it, and every way a connection to a device server can fail,
// each said in plain words that name the address.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Ser2net.h"
#include "TempDir.h"
#include "platform/NetworkLine.h"
#include "platform/PortArgument.h"
#include "platform/PortNames.h"
#include "platform/Rfc2217.h"
#include "platform/SerialPorts.h"
#include "platform/UserFolders.h"

namespace {

using namespace std::chrono_literals;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A loopback listener; `serve` runs on its own thread with each accepted connection.
class Listener {
  public:
    explicit Listener(int backlog = 8) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, backlog);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~Listener() {
        ::shutdown(fd_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(fd_);
    }
    void ServeOnce(std::function<void(int)> serve) {
        thread_ = std::thread([this, serve] {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c >= 0) {
                serve(c);
                ::close(c);
            }
        });
    }
    uint16_t Port() const { return port_; }
    int Fd() const { return fd_; }

  private:
    int fd_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

TEST(PortArgument, OneRuleForNumbersNamesAutoAndAddresses) {
    for (const auto& [text, number] : std::vector<std::pair<std::string, uint32_t>>{
             {"7", 7}, {" COM7 ", 7}, {"com 256", 256}, {"1", 1}}) {
        PortArgument p;
        std::string problem;
        ASSERT_TRUE(ParsePortArgument(text, p, problem)) << text;
        EXPECT_EQ(p.Number, number) << text;
        EXPECT_TRUE(p.Address.empty());
    }
    for (const auto& [text, address] : std::vector<std::pair<std::string, std::string>>{
             {"tcp://pump-station:4001", "tcp://pump-station:4001"},
             {" RFC2217://10.1.2.3:2217/ ", "rfc2217://10.1.2.3:2217"},
             {"tcp://[fd00::7]:4001", "tcp://[fd00::7]:4001"}}) {
        PortArgument p;
        std::string problem;
        ASSERT_TRUE(ParsePortArgument(text, p, problem)) << text << ": " << problem;
        EXPECT_EQ(p.Address, address);
        EXPECT_FALSE(p.Number);
    }
    for (const char* bad : {"0", "257", "COM", "7a", "-3", "/dev/ttyS0", "", "tcp://host",
                            "tcp://:4001", "tcp://host:0", "tcp://host:65536", "udp://host:1",
                            "tcp://fd00::7:4001", "tcp://a b:1"}) {
        PortArgument p;
        std::string problem;
        EXPECT_FALSE(ParsePortArgument(bad, p, problem)) << bad;
        EXPECT_FALSE(problem.empty());
    }
    PortArgument p;
    std::string problem;
    ASSERT_TRUE(ParsePortArgument("AUTO-all", p, problem));
    EXPECT_EQ(p.Auto, "auto-all");
    EXPECT_FALSE(ParsePortArgument("tcp://host", p, problem));
    EXPECT_TRUE(Has(problem, "needs a port number")) << problem;
}

TEST(AddressFiles, AFileOfOneLineIsANetworkPortTheListShows) {
    TempDir dir;
    dir.PointConfigHere();
    ASSERT_EQ(WriteAddressFile(7, "RFC2217://pump-station:2217"), "");
    EXPECT_EQ(ComPortAddress(7), "rfc2217://pump-station:2217");
    // Edited by hand: blank lines and a line end of either kind are fine; anything else is no
    // address, and the file no port.
    const std::string folder = PortsFolder();
    std::ofstream(folder + "/COM8") << "\r\n  tcp://10.0.0.9:4001 \r\n";
    std::ofstream(folder + "/COM9") << "not an address\n";
    EXPECT_EQ(ComPortAddress(8), "tcp://10.0.0.9:4001");
    EXPECT_EQ(ComPortAddress(9), "");
    EXPECT_EQ(ComPortAddress(10), "");
    EXPECT_NE(WriteAddressFile(11, "tcp://nohost"), "");

    SerialPortRoots roots;
    roots.Sys = dir.File("no-sys");
    roots.Dev = dir.File("no-dev");
    std::vector<SerialPortInfo> network;
    for (const auto& p : ListSerialPorts(roots)) {
        if (p.Kind == SerialPortKind::Network)
            network.push_back(p);
    }
    ASSERT_EQ(network.size(), 2u);
    EXPECT_EQ(network[0].Com, 7u);
    EXPECT_EQ(network[0].Device, "rfc2217://pump-station:2217");
    EXPECT_EQ(network[0].Description(), "network port on pump-station:2217 (RFC 2217)");
    EXPECT_EQ(network[1].Description(), "network port on 10.0.0.9:4001 (raw TCP)");
    // The first free number from 100, never one taken.
    ASSERT_EQ(WriteAddressFile(100, "tcp://a:1"), "");
    EXPECT_EQ(AttachFreeAddress(100, "tcp://b:2"), 101u);
    EXPECT_EQ(ComPortAddress(101), "tcp://b:2");
}

TEST(TelnetComPort, NegotiatesWithSer2netRefusingEchoAndSetsTheLine) {
    TelnetComPort t;
    const int IAC = 255, WILL = 251, WONT = 252, DO = 253, DONT = 254, SB = 250, SE = 240;
    EXPECT_EQ(t.Opening(), Bytes({IAC, WILL, 44, IAC, WILL, 0, IAC, DO, 0, IAC, DO, 3}));
    // What ser2net 4 sends on a telnet(rfc2217) accepter, as captured from it.
    const std::string server = Bytes({IAC, WILL, 3,  IAC, DO,  3,    IAC, WILL, 1,  IAC, DONT,
                                      1,   IAC,  DO, 0,   IAC, WILL, 0,   IAC,  DO, 44});
    std::string data, reply;
    // In two pieces, split inside a command: the state carries over.
    t.Receive(server.data(), 7, data, reply);
    t.Receive(server.data() + 7, server.size() - 7, data, reply);
    EXPECT_EQ(data, "");
    // Echo is refused, and so is suppressing go-ahead on our side; the rest were ours.
    EXPECT_EQ(reply, Bytes({IAC, WONT, 3, IAC, DONT, 1}));
    EXPECT_EQ(t.ComPortAccepted(), std::optional<bool>(true));
    EXPECT_TRUE(t.BinaryToServer());
    EXPECT_TRUE(t.BinaryFromServer());

    LineSettings line;  // 9600 8N1
    line.DtrControl = 1;
    line.RtsControl = 0;
    const auto sub = [&](int command, std::initializer_list<int> value) {
        std::string s = Bytes({IAC, SB, 44, command});
        for (int v : value)
            s += static_cast<char>(v);
        return s + Bytes({IAC, SE});
    };
    EXPECT_EQ(t.SetLine(line), sub(1, {0, 0, 0x25, 0x80}) + sub(2, {8}) + sub(3, {1}) +
                                   sub(4, {1}) + sub(5, {1}) + sub(5, {8}) + sub(5, {12}));
    EXPECT_EQ(t.Purge(false, true), sub(12, {1}));
    EXPECT_EQ(t.Purge(true, true), sub(12, {3}));

    // The answers, a modem-state notice (ignored) and data with a doubled 255 in between.
    data.clear();
    reply.clear();
    const std::string answers = sub(101, {0, 0, 0x25, 0x80}) + "ab" + Bytes({IAC, IAC}) + "c" +
                                sub(107, {0x30}) + sub(102, {8}) + sub(103, {1}) + sub(104, {1});
    t.Receive(answers.data(), answers.size(), data, reply);
    EXPECT_EQ(data,
              "ab\xff"
              "c");
    EXPECT_EQ(reply, "");
    EXPECT_TRUE(t.LineConfirmed());
    EXPECT_EQ(t.ConfirmedText(), "9600 baud, 8 data bits, no parity, 1 stop bit");
    const std::string out = "x\xffy\r";
    EXPECT_EQ(t.Escape(out.data(), out.size()), "x\xff\xffy\r");
}

TEST(TelnetComPort, OutsideBinaryACarriageReturnTravelsWithNul) {
    TelnetComPort t;
    t.Opening();
    std::string data, reply;
    const std::string server = Bytes({255, 254, 0, 255, 252, 0}) + std::string("a\r\0b", 4);
    t.Receive(server.data(), server.size(), data, reply);
    EXPECT_EQ(data, "a\rb");
    EXPECT_EQ(t.Escape("\r", 1), std::string("\r\0", 2));
}

TEST(RemoteLine, EveryFailureToConnectIsSaidNamingTheAddress) {
    std::string problem;
    // An underscore makes the resolver refuse the name by itself: no query leaves the machine.
    EXPECT_EQ(ConnectRemoteLine("tcp://pump_station.invalid:4001", problem), nullptr);
    EXPECT_EQ(problem,
              "tcp://pump_station.invalid:4001: the host name 'pump_station.invalid' is not known");

    const uint16_t closed = FreeLoopbackPort();
    EXPECT_EQ(ConnectRemoteLine("rfc2217://127.0.0.1:" + std::to_string(closed), problem), nullptr);
    EXPECT_EQ(problem, "rfc2217://127.0.0.1:" + std::to_string(closed) +
                           ": the connection was refused: nothing listens on port " +
                           std::to_string(closed) + " of 127.0.0.1");

    // A listener whose queue is full drops further connects: no answer at all.
    Listener full(0);
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(full.Port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ConnectRemoteLine("tcp://127.0.0.1:" + std::to_string(full.Port()), problem, 300ms),
              nullptr);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_TRUE(Has(problem, "no answer from 127.0.0.1 within 300 ms")) << problem;
    ::close(filler);
}

TEST(RemoteLine, AServerThatClosesAtOnceIsQuotedAndASilentOneIsNoRfc2217) {
    // ser2net's answer to a second client while the port is in use.
    for (bool rfc : {false, true}) {
        Listener server;
        server.ServeOnce([](int c) {
            const std::string busy = "Port already in use\r\n";
            [[maybe_unused]] ssize_t n = ::send(c, busy.data(), busy.size(), MSG_NOSIGNAL);
        });
        const std::string address =
            (rfc ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(server.Port());
        std::string problem;
        std::unique_ptr<RemoteLine> line = ConnectRemoteLine(address, problem);
        std::string failure = problem;
        if (line != nullptr) {
            // Raw TCP has no handshake: the refusal comes as the first bytes, then the end.
            char buf[64];
            while (line->WaitReadable(LineTransport::Clock::now() + 2s).Input &&
                   line->ReadNow(buf, sizeof buf) > 0) {
            }
            EXPECT_EQ(line->ReadNow(buf, sizeof buf), -1);
            failure = line->Failure();
        }
        EXPECT_EQ(line == nullptr, rfc);
        EXPECT_EQ(failure, address +
                               ": the server closed the connection, saying 'Port already in use' "
                               "(another client may have taken the port, or the server stopped)");
    }
    Listener silent;
    silent.ServeOnce([](int c) {
        char buf[64];
        while (::recv(c, buf, sizeof buf, 0) > 0) {
        }
    });
    std::string problem;
    const std::string address = "rfc2217://127.0.0.1:" + std::to_string(silent.Port());
    EXPECT_EQ(ConnectRemoteLine(address, problem, 300ms), nullptr);
    EXPECT_EQ(problem, address +
                           ": the server did not answer the RFC 2217 negotiation within 300 ms "
                           "(if it serves raw TCP, write tcp://)");
}

}  // namespace
