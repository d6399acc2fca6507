// The command layer against a radio paced at 9600 baud: identification, 20 field reads and 10
// writes, as a ratio of the time taken to the time the bytes need on the line.

#include <cstdio>
#include <filesystem>

#include "BenchSupport.h"
#include "emulator/RadioEmulator.h"
#include "link/RM7UXcomms.h"

using namespace bench;

int main() {
    std::string dir = PrivateConfigFolder();
    RadioEmulator radio({.Pace = true});
    radio.Start();
    TVVComm2 link;
    link.CommPort = radio.ComPort();
    uint8_t state = 0;
    RegisterRM7UXComms(
        &link, [&](uint8_t c) { state = c; }, [&] { return state; });

    const char* reads[] = {"PC", "PD", "PM", "PP", "PO", "PW", "PF", "PA", "PR", "PT",
                           "P1", "P2", "P3", "P4", "SC", "PB", "PN", "PS", "PV", "PD"};
    const char* writes[][2] = {{"PD", "80"},   {"PM", "80"},  {"PF", "80"},   {"PP", "3C"},
                               {"PW", "03"},   {"SC", "00"},  {"PT", "5780"}, {"PR", "5780"},
                               {"P3", "5140"}, {"P4", "5DC0"}};
    std::vector<double> ratios;
    double lastMs = 0, lastWire = 0;
    for (int run = 0; run < 3; ++run) {
        radio.ResetCounters();
        auto t0 = Clock::now();
        bool ok = OpenRadioPort() && EnsureRadioIdentified();
        std::string reply;
        for (const char* code : reads) {
            int width = code[1] >= '1' && code[1] <= '4' ? 4 : code == std::string("PN") ? 8 : 2;
            if (code == std::string("PR") || code == std::string("PT"))
                width = 4;
            ok = ReadField(code, reply, 2, width) && ok;
        }
        for (auto& w : writes)
            ok = SetField(w[0], w[1]) && ok;
        CloseRadioPort();
        lastMs = Ms(Clock::now() - t0);
        lastWire = static_cast<double>(radio.BytesReceived() + radio.BytesSent()) * kCharMs;
        if (!ok)
            std::printf("an exchange failed (state %d)\n", state);
        ratios.push_back(lastMs / lastWire);
    }
    std::printf(
        "identify + 20 reads + 10 writes     %.1f ms for %.1f ms of wire (%llu bytes): "
        "ratio %.3f (median of 3; target <= 1.10)\n",
        lastMs, lastWire,
        static_cast<unsigned long long>(radio.BytesReceived() + radio.BytesSent()),
        Percentile(ratios, 0.5));
    radio.Stop();
    std::filesystem::remove_all(dir);
    return 0;
}
