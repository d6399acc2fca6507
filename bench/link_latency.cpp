// How long the link takes to hand over a byte that has arrived, and how close an echoed
// command gets to the time its characters need on a 9600-baud line.

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "link/VVCOMM2.h"
#include "platform/PortNames.h"
#include "platform/PseudoTerminal.h"

using namespace bench;

namespace {

constexpr uint32_t kPort = 77;

double ReadLatencyUs(TVVComm2& link, PseudoTerminal& pty, bool waitForChar) {
    std::atomic<int64_t> sentAt{0};
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        sentAt = Clock::now().time_since_epoch().count();
        char c = '>';
        if (::write(pty.MasterFd(), &c, 1) != 1)
            sentAt = -1;
    });
    std::string s;
    if (waitForChar) {
        link.WaitForChar(">", 4000, 200);
    } else {
        link.ReadCount(s, 1);
    }
    auto got = Clock::now().time_since_epoch().count();
    sender.join();
    return static_cast<double>(got - sentAt) / 1000.0;
}

void ReportLatency(const char* what, std::vector<double> us) {
    std::printf("%-34s median %.3f ms  p99 %.3f ms  (target: median < 0.2 ms)\n", what,
                Percentile(us, 0.5) / 1000.0, Percentile(us, 0.99) / 1000.0);
}

}  // namespace

int main() {
    std::string dir = PrivateConfigFolder();
    PseudoTerminal pty;
    AttachComPort(kPort, pty.SlavePath());
    TVVComm2 link;
    link.CommPort = kPort;
    link.BaudRate = TBaudRate::___9600;
    link.DataBits = TDataBits::_8;
    link.Open();

    std::vector<double> readUs, waitUs;
    for (int i = 0; i < 400; ++i)
        readUs.push_back(ReadLatencyUs(link, pty, false));
    for (int i = 0; i < 400; ++i)
        waitUs.push_back(ReadLatencyUs(link, pty, true));
    ReportLatency("byte arrived -> ReadCount", readUs);
    ReportLatency("byte arrived -> WaitForChar", waitUs);

    // A peer that echoes like a radio on a 9600-baud line: a character is whole one character
    // time after it started, and its echo needs another character time to come back.
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        Clock::time_point lineFree = Clock::now();
        while (!stop) {
            pollfd p{pty.MasterFd(), POLLIN, 0};
            if (poll(&p, 1, 5) <= 0)
                continue;
            char c;
            if (::read(pty.MasterFd(), &c, 1) != 1)
                continue;
            auto arrived = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double, std::milli>(kCharMs));
            auto start = std::max(arrived, lineFree);
            auto done = start + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double, std::milli>(kCharMs));
            WaitUntil(done);
            lineFree = done;
            if (::write(pty.MasterFd(), &c, 1) != 1)
                break;
        }
    });
    std::string command(200, 'P');
    std::vector<double> ratios;
    for (int run = 0; run < 5; ++run) {
        auto t0 = Clock::now();
        bool ok = link.WriteEchoed(command);
        double ms = Ms(Clock::now() - t0);
        double wire = 2.0 * kCharMs * static_cast<double>(command.size());
        if (!ok)
            std::printf("WriteEchoed failed\n");
        ratios.push_back(ms / wire);
    }
    stop = true;
    echo.join();
    std::printf("%-34s %.1f ms for %.1f ms of wire: ratio %.3f (median of 5; target <= 1.05)\n",
                "200-character WriteEchoed", Percentile(ratios, 0.5) * 2.0 * kCharMs * 200,
                2.0 * kCharMs * 200, Percentile(ratios, 0.5));
    link.Close();
    DetachComPort(kPort, pty.SlavePath());
    std::filesystem::remove_all(dir);
    return 0;
}
