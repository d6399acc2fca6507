// What a USB adapter's latency timer costs a full read. The protocol waits for the echo of each
// typed character and for each reply; an adapter hands received bytes over only when its timer
// runs out, so every such wait can take that much longer. A pseudo-terminal has no timer: this
// measures the full read against the radio paced at 9600 baud, counts the waits (one for the echo
// of each character the radio received, one for the reply to each command it saw), and works out
// the read at 16 ms (FTDI's default), at 1 ms (low latency) and at the wire's limit.

#include <cstdio>
#include <filesystem>

#include "BenchSupport.h"
#include "config/RM7UXFlashConfigObj.h"
#include "emulator/RadioEmulator.h"
#include "link/RM7UXcomms.h"

using namespace bench;

int main() {
    std::string dir = PrivateConfigFolder();
    RadioEmulator radio({.Pace = true});
    radio.Start();
    TVVComm2 link;
    link.CommPort = radio.ComPort();
    link.SetControlLines(0, 1);
    link.SetTimeouts(0, 100, 200, 0, 0);
    link.AllowAppProcessMessages = false;
    uint8_t state = 0;
    RegisterRM7UXComms(
        &link, [&](uint8_t c) { state = c; }, [&] { return state; });

    TRM7UXFlashRecordClass record;
    std::vector<double> times;
    long lastWaits = 0;
    uint64_t bytes = 0;
    for (int run = 0; run < 3; ++run) {
        radio.ResetCounters();
        radio.ClearEvents();
        auto t0 = Clock::now();
        if (!record.ReadFromRadio())
            std::printf("the read failed (state %d)\n", state);
        times.push_back(Ms(Clock::now() - t0));
        lastWaits = static_cast<long>(radio.BytesReceived() + radio.Events().size());
        bytes = radio.BytesReceived() + radio.BytesSent();
    }
    const double measured = Percentile(times, 0.5);
    const double wire = static_cast<double>(bytes) * kCharMs;
    const double perWait = measured / static_cast<double>(lastWaits);
    std::printf(
        "full read, pty at 9600 baud        %.0f ms, %llu characters (%.0f ms of wire), "
        "%ld waits for an echo or reply (%.2f ms of the read per wait)\n",
        measured, static_cast<unsigned long long>(bytes), wire, lastWaits, perWait);
    for (double timer : {16.0, 1.0}) {
        // Each wait ends up to one timer period late; on average half of one.
        const double worst = measured + static_cast<double>(lastWaits) * timer;
        const double mean = measured + static_cast<double>(lastWaits) * timer / 2;
        std::printf(
            "full read, USB latency timer %2.0f ms  %.0f ms (up to %.0f ms): ratio %.2f "
            "to the wire\n",
            timer, mean, worst, mean / wire);
    }
    std::printf("full read at the wire's limit      %.0f ms\n", wire);
    radio.Stop();
    RegisterRM7UXComms(nullptr, nullptr, nullptr);
    std::filesystem::remove_all(dir);
    return 0;
}
