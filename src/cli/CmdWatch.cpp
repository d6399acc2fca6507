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
#include "common/Csv.h"
#include "common/StrUtils.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "operations/AlignmentSampler.h"
#include "operations/RadioOperations.h"
#include "platform/Interruption.h"

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
    RadioIdentity radio;
    if (!IdentifyOnLink(radio) && session.Failure() != 0)
        return session.Fail("watch: reading the serial number");
    // The readings the alignment view takes: RSSI each time, the radio identified and its
    // temperature read every few seconds.
    AlignmentSampler sampler(radio.Serial, radio.VersionText);
    if (csv)
        ctx.Out() << CsvLine({"time", "rssi", "temperature-c"}) << std::flush;
    // Output that can no longer be written (a full disk) ends the watch: nobody sees it.
    for (int64_t n = 0; PendingInterruption() == 0 && (!count || n < *count) && ctx.Out(); ++n) {
        const AlignmentSampler::Reading r = sampler.Next();
        if (r.Kind == AlignmentSampler::State::AnotherRadio) {
            ctx.Err() << "rm7ux watch: " << TerminalSafe(session.PortLabel())
                      << ": another radio is connected now (serial number " << r.Serial << ", "
                      << TerminalSafe(r.VersionText) << "); the watch stops\n";
            return kExitFailed;
        }
        if (r.Kind == AlignmentSampler::State::NoReading) {
            sampler.Release();
            return session.Fail("watch");
        }
        const std::string rssiText = r.Rssi ? std::to_string(*r.Rssi) : "";
        const std::string temperature = r.TemperatureC ? std::to_string(*r.TemperatureC) : "";
        if (csv)
            ctx.Out() << CsvLine({LocalTimeWithMilliseconds('T'), rssiText, temperature});
        else
            ctx.Out() << LocalTimeWithMilliseconds('T') << "  RSSI "
                      << (r.Rssi ? rssiText : "unknown") << "  "
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
