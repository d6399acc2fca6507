// watch: the radio's RSSI and temperature, one line per reading, for logging while an antenna is
// aligned. The port is held for the whole watch; every few seconds the radio is identified
// again, so a radio swapped on the cable is noticed rather than logged as the first one.

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <thread>

#include "cli/CliCommands.h"
#include "cli/RadioSession.h"
#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"

namespace {

volatile sig_atomic_t gStop = 0;

void OnStop(int) {
    gStop = 1;
}

// SIGINT and SIGTERM end the watch between exchanges, so the radio is never left mid-command;
// the handlers the program had are given back.
class StopSignals {
  public:
    StopSignals() {
        gStop = 0;
        struct sigaction sa {};
        sa.sa_handler = OnStop;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &oldInt_);
        sigaction(SIGTERM, &sa, &oldTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }

  private:
    struct sigaction oldInt_ {
    }, oldTerm_{};
};

constexpr auto kIdentifyEvery = std::chrono::seconds(3);

std::string TimeWithMilliseconds() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    char withMs[48];
    std::snprintf(withMs, sizeof withMs, "%s.%03d", text, static_cast<int>(ms));
    return withMs;
}

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
    StopSignals signals;
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
    for (int64_t n = 0; gStop == 0 && (!count || n < *count); ++n) {
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
            ctx.Out() << TimeWithMilliseconds() << "," << rssiText << "," << temperature << "\n";
        else
            ctx.Out() << TimeWithMilliseconds() << "  RSSI " << (rssi ? rssiText : "unknown")
                      << "  " << (temperature.empty() ? "unknown" : temperature + " °C") << "\n";
        ctx.Out() << std::flush;
        if (interval > 0 && (!count || n + 1 < *count)) {
            // A signal ends the wait early: the watch stops at once, between exchanges.
            const timespec wait{interval / 1000, (interval % 1000) * 1000000L};
            nanosleep(&wait, nullptr);
        }
    }
    session.Close();
    return kExitOk;
}
