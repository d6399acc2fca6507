// simulate: the emulated radio on a pseudo-terminal, so every command can be tried without one.

#include <exception>

#include "cli/CliCommands.h"
#include "common/StrUtils.h"
#include "emulator/RadioEmulator.h"
#include "emulator/ServeRadio.h"
#include "platform/PortArgument.h"

int RunSimulate(CliContext& ctx) {
    EmulatorOptions options;
    RadioPersonality::Serial serial;
    if (const std::string* text = ctx.Option("--serial")) {
        std::optional<int64_t> n = TryStrToInt64(*text);
        if (!n || *n < 0 || *n > 0xFFFFFFFFll)
            return UsageError(ctx, "simulate", "--serial needs a number from 0 to 4294967295");
        serial = static_cast<uint32_t>(*n);
    }
    const std::string* model = ctx.Option("--model");
    try {
        options.Radio = RadioPersonality::ByName(model != nullptr ? *model : "RM7UH", serial);
    } catch (const std::exception&) {
        return UsageError(ctx, "simulate", "--model must be RM7UH, RM7UL or RM7VX");
    }
    if (const std::string* version = ctx.Option("--version"))
        options.Radio.VersionText = *version;
    if (const std::string* port = ctx.Option("--port")) {
        if (LooksLikeAddress(*port))
            return UsageError(ctx, "simulate",
                              "--port " + *port +
                                  ": an address names a device server's port; the emulated "
                                  "radio is served here, as a COM port of this machine");
        PortArgument chosen;
        std::string problem;
        if (!ParsePortArgument(*port, chosen, problem) || !chosen.Number)
            return UsageError(ctx, "simulate", "--port needs a COM number from 1 to 256");
        options.ComPort = *chosen.Number;
    }
    options.Pace = ctx.Flag("--pace");

    const bool served =
        ServeUntilSignalled(options, RadioFaults{}, ctx.Out(), ctx.Err(), "rm7ux simulate",
                            [&ctx](const RadioEmulator& radio) {
                                ctx.Err() << "rm7ux simulate: " << radio.Radio().VersionText
                                          << " on " << radio.ComName() << " until interrupted\n";
                            });
    return served ? kExitOk : kExitFailed;
}
