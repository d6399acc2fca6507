#pragma once
// Debian's ser2net as the serial device server at a remote site, bridging two local TCP ports to
// an emulated radio's pseudo-terminal: one with a raw `tcp` accepter, one with a
// `telnet(rfc2217)` accepter, both to the same device (so one client at a time, as on site).
// Tests skip themselves where ser2net is not installed.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Subprocess.h"
#include "WaitFor.h"

namespace ser2net_detail {

// Whether something listens on the loopback port, from /proc rather than by connecting: a
// connection would make ser2net open the device, and it keeps it a moment after, which another
// port's first client would then find in use.
inline bool Listening(uint16_t port) {
    std::ifstream in("/proc/net/tcp");
    std::string line;
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, ":%04X ", port);
    while (std::getline(in, line)) {
        // "  0: 0100007F:B9C5 00000000:0000 0A ...": local address, remote, state (0A listen).
        const size_t at = line.find(wanted);
        if (at != std::string::npos && at < 20 && line.find(" 0A ", at) == at + 19)
            return true;
    }
    return false;
}

}  // namespace ser2net_detail

// A loopback port nobody listens on now (the kernel's choice of a free one).
inline uint16_t FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

class Ser2net {
  public:
    static std::string Program() {
        for (const char* p : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
            if (::access(p, X_OK) == 0)
                return p;
        }
        return "";
    }
    static bool Installed() { return !Program().empty(); }

    // Serves `device` (a pty path) until destroyed. `folder` holds the configuration and log.
    // The device starts at `deviceLine` (ser2net's form, 1200e72), so a test can tell what an
    // RFC 2217 client set it to from what ser2net set by itself.
    Ser2net(const std::string& device, const std::string& folder,
            const std::string& deviceLine = "1200e72")
        : folder_(folder) {
        // A port picked free may be taken before ser2net binds it: try again with others.
        for (int attempt = 0; attempt < 3 && !Ready(); ++attempt) {
            process_.reset();
            tcpPort_ = FreeLoopbackPort();
            rfcPort_ = FreeLoopbackPort();
            WriteConfig(device, deviceLine);
            process_ = std::make_unique<Subprocess>(std::vector<std::string>{
                "/bin/sh", "-c",
                "exec " + Program() + " -n -d -c " + Config() + " -P " + folder_ +
                    "/ser2net.pid >" + folder_ + "/ser2net.log 2>&1"});
            WaitFor([this] { return Ready(); }, std::chrono::seconds(5));
        }
    }
    ~Ser2net() { process_.reset(); }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    bool Ready() const {
        return process_ != nullptr && ser2net_detail::Listening(tcpPort_) &&
               ser2net_detail::Listening(rfcPort_);
    }
    // Stops the server: every connection it has goes at once.
    void Stop() { process_.reset(); }

    uint16_t TcpPort() const { return tcpPort_; }
    uint16_t RfcPort() const { return rfcPort_; }
    std::string TcpAddress() const { return "tcp://127.0.0.1:" + std::to_string(tcpPort_); }
    std::string RfcAddress() const { return "rfc2217://127.0.0.1:" + std::to_string(rfcPort_); }
    std::string Config() const { return folder_ + "/ser2net.yaml"; }
    std::string Log() const { return ReadWholeFile(folder_ + "/ser2net.log"); }

    // A configuration a technician could copy: chardelay off, so every echo leaves at once
    // instead of waiting for more characters.
    static std::string Configuration(const std::string& device, const std::string& deviceLine,
                                     uint16_t tcpPort, uint16_t rfcPort) {
        auto connection = [&](const std::string& name, const std::string& accepter) {
            return "connection: &" + name + "\n    accepter: " + accepter +
                   "\n    enable: on\n    options:\n      kickolduser: false\n"
                   "      chardelay: false\n    connector: serialdev," +
                   device + "," + deviceLine + ",local\n";
        };
        return "%YAML 1.1\n---\n" + connection("raw", "tcp,127.0.0.1," + std::to_string(tcpPort)) +
               connection("rfc2217", "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(rfcPort));
    }

  private:
    void WriteConfig(const std::string& device, const std::string& deviceLine) {
        std::ofstream(Config()) << Configuration(device, deviceLine, tcpPort_, rfcPort_);
    }

    std::string folder_;
    uint16_t tcpPort_ = 0, rfcPort_ = 0;
    std::unique_ptr<Subprocess> process_;
};

#define SKIP_WITHOUT_SER2NET()                                                    \
    do {                                                                          \
        if (!Ser2net::Installed())                                                \
            GTEST_SKIP() << "ser2net is not installed (apt-get install ser2net)"; \
    } while (false)
