// simulate: the emulated radio on a pseudo-terminal, so every command can be tried without one.

#include <pthread.h>

#include <csignal>
#include <exception>

#include "cli/CliCommands.h"
#include "common/StrUtils.h"
#include "emulator/RadioEmulator.h"

int RunSimulate(CliContext& ctx) {
    EmulatorOptions options;
    const std::string* model = ctx.Option("--model");
    try {
        options.Radio = RadioPersonality::ByName(model != nullptr ? *model : "RM7UH");
    } catch (const std::exception&) {
        return UsageError(ctx, "simulate", "--model must be RM7UH, RM7UL or RM7VX");
    }
    if (const std::string* serial = ctx.Option("--serial")) {
        std::optional<int64_t> n = TryStrToInt64(*serial);
        if (!n || *n < 0 || *n > 0xFFFFFFFFll)
            return UsageError(ctx, "simulate", "--serial needs a number from 0 to 4294967295");
        // Set after the personality is made: to it, 0 means "keep the model's default".
        options.Radio.SetSerial(static_cast<uint32_t>(*n));
    }
    if (const std::string* version = ctx.Option("--version"))
        options.Radio.VersionText = *version;
    if (const std::string* port = ctx.Option("--port")) {
        std::optional<int32_t> n = TryStrToInt(*port);
        if (!n || *n < 1 || *n > 256)
            return UsageError(ctx, "simulate", "--port needs a COM number from 1 to 256");
        options.ComPort = static_cast<uint32_t>(*n);
    }
    options.Pace = ctx.Flag("--pace");

    // Blocked before the radio's thread exists, so that only sigwait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RadioEmulator radio(options);
    try {
        radio.Start();
    } catch (const std::exception& e) {
        ctx.Err() << "rm7ux simulate: " << e.what() << "\n";
        return kExitFailed;
    }
    ctx.Out() << "COM " << radio.ComPort() << "\nDEVICE " << radio.SlavePath() << "\n";
    ctx.Out().flush();
    ctx.Err() << "rm7ux simulate: " << radio.Radio().VersionText << " on " << radio.ComName()
              << " until interrupted\n";
    int signal = 0;
    sigwait(&stopSignals, &signal);
    radio.Stop();
    return kExitOk;
}
