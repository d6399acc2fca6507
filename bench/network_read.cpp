// A full read of the radio (the record the window and `rm7ux read` take) through ser2net, raw
// TCP and RFC 2217, with 0 and 150 ms added round trip (a delaying proxy, as a cellular link),
// against the radio paced at 9600 baud. Printed against the wire time plus one round trip per
// turnaround (each time the line's direction changes from us to the radio and back).

#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "BenchSupport.h"
#include "DelayProxy.h"
#include "Ser2net.h"
#include "config/RM7UXFlashConfigObj.h"
#include "emulator/RadioEmulator.h"
#include "link/RM7UXcomms.h"

using namespace bench;

int main() {
    if (!Ser2net::Installed()) {
        std::printf("ser2net is not installed (apt-get install ser2net): nothing measured\n");
        return 0;
    }
    const std::string dir = PrivateConfigFolder();
    RadioEmulator radio({.Pace = true});
    radio.Start();
    Ser2net server(radio.SlavePath(), dir);
    if (!server.Ready()) {
        std::printf("ser2net did not start:\n%s\n", server.Log().c_str());
        return 1;
    }
    std::printf("full read through ser2net, radio paced at 9600 baud\n");
    for (const bool rfc : {false, true}) {
        for (const int delayMs : {0, 75}) {
            DelayProxy network(rfc ? server.RfcPort() : server.TcpPort(),
                               std::chrono::milliseconds(delayMs));
            TVVComm2 link;
            link.NetworkAddress = network.Address(rfc ? "rfc2217" : "tcp");
            link.Parity = TParity::None;
            link.DataBits = TDataBits::_8;
            link.StopBits = TStopBits::_1;
            link.SetControlLines(0, 1);
            link.HoldConnection = true;
            uint8_t state = 0;
            RegisterRM7UXComms(
                &link, [&](uint8_t c) { state = c; }, [&] { return state; });
            // A turnaround: bytes sent, then the first byte back.
            int turnarounds = 0;
            char last = 'r';
            link.OnTraffic = [&](char direction, const std::string&) {
                if (direction == 'r' && last == 'w')
                    ++turnarounds;
                last = direction;
            };
            // The connection is made once and held, as by the window; measured after it. The
            // server lets the device go a moment after its last client (the other port's).
            const auto giveUp = Clock::now() + std::chrono::seconds(5);
            while (!OpenRadioPort() && Clock::now() < giveUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            CloseRadioPort();
            radio.ResetCounters();
            TRM7UXFlashRecordClass record;
            const auto t0 = Clock::now();
            const bool ok = record.ReadFromRadio();
            const double ms = Ms(Clock::now() - t0);
            const double wire =
                static_cast<double>(radio.BytesReceived() + radio.BytesSent()) * kCharMs;
            const double rtt = 2.0 * delayMs;
            const double bound = wire + turnarounds * rtt;
            std::printf(
                "  %-8s +%3.0f ms round trip: %7.1f ms%s; wire %.1f ms + %d turnarounds x "
                "%.0f ms = %.1f ms; ratio %.2f (link's estimate %d ms)\n",
                rfc ? "RFC 2217" : "raw TCP", rtt, ms, ok ? "" : " (FAILED)", wire, turnarounds,
                rtt, bound, ms / bound, link.RoundTripMs());
            link.Release();
            RegisterRM7UXComms(nullptr, nullptr, nullptr);
        }
    }
    radio.Stop();
    std::filesystem::remove_all(dir);
    return 0;
}
