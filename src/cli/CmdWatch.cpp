// watch: the radio's RSSI and temperature, one line per reading, for logging while an antenna is
// aligned. The port is held for the whole watch; every few seconds the radio is identified
// again, so a radio swapped on the cable is noticed rather than logged as the first one.

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <thread>

#include "cli/CliCommands.h"
#include "cli/RadioSession.h"
#include "cli/TerminalText.h"
#include "cli/TrafficLog.h"
#include "common/StrUtils.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "platform/Interruption.h"

namespace {

constexpr auto kIdentifyEvery = std::chrono::seconds(3);

}  // namespace

int RunWatch(CliContext& ctx) {
    int interval = 1000;
    if (const std::string* text = ctx.Option("--interval")) {
        std::optional<int64_t> n = TryStrToInt64(*text);
        if (!n || *n < 0 || *n > 3600000)
            return UsageError(ctx, "watch", "--interval needs milliseconds from 0 to 3600000");
        interval = static_cast<int>(*n);
    }
    std::optional<int64_t> count;
    if (const std::string* text = ctx.Option("--count")) {
        count = TryStrToInt64(*text);
        if (!count || *count < 1)
            return UsageError(ctx, "watch", "--count needs a number of readings from 1");
    }
    const bool csv = ctx.Flag("--csv");
    RadioSession session(ctx);
    if (!session.Connect())
        return session.Fail("watch");
    const std::string version = RM7UXVersionText();
    const int64_t serial = ReadSerialNumber();
    if (serial < 0 && session.Failure() != 0)
        return session.Fail("watch: reading the serial number");
    if (csv)
        ctx.Out() << "time,rssi,temperature_c\n" << std::flush;
    auto identified = std::chrono::steady_clock::now();
    for (int64_t n = 0; PendingInterruption() == 0 && (!count || n < *count); ++n) {
        if (std::chrono::steady_clock::now() - identified >= kIdentifyEvery) {
            std::string nowVersion;
            bool isRM7UX = false;
            if (!IdentifyRadio(nowVersion, isRM7UX))
                return session.Fail("watch: identifying the radio again");
            const int64_t nowSerial = ReadSerialNumber();
            if (nowSerial < 0 && session.Failure() != 0)
                return session.Fail("watch: reading the serial number");
            if (nowVersion != version || nowSerial != serial) {
                session.Close();
                ctx.Err() << "rm7ux watch: " << session.PortLabel()
                          << ": another radio is connected now (serial number " << nowSerial << ", "
                          << TerminalSafe(nowVersion) << "); the watch stops\n";
                return kExitFailed;
            }
            identified = std::chrono::steady_clock::now();
        }
        std::string rr, rt;
        if (!QueryField("RR", rr, 2, 2) || !QueryField("RT", rt, 2, 2))
            return session.Fail("watch");
        const std::optional<int64_t> rssi = TryHexToInt64(rr);
        const std::string temperature = TemperatureText(rt);
        const std::string rssiText = rssi ? std::to_string(*rssi) : "";
        if (csv)
            ctx.Out() << LocalTimeWithMilliseconds('T') << "," << rssiText << "," << temperature
                      << "\n";
        else
            ctx.Out() << LocalTimeWithMilliseconds('T') << "  RSSI "
                      << (rssi ? rssiText : "unknown") << "  "
                      << (temperature.empty() ? "unknown" : temperature + " °C") << "\n";
        ctx.Out() << std::flush;
        if (interval > 0 && (!count || n + 1 < *count)) {
            // A signal ends the wait early: the watch stops at once, between exchanges.
            const timespec wait{interval / 1000, (interval % 1000) * 1000000L};
            nanosleep(&wait, nullptr);
        }
    }
    // An interruption is how a watch is meant to end: between exchanges, the port closed, done.
    if (PendingInterruption() != 0)
        RemoveInterruptionHandlers();
    session.Close();
    return kExitOk;
}
