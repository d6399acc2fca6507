#include "cli/CliHistory.h"

#include "cli/TerminalText.h"
#include "operations/RadioOperations.h"

CliHistory::CliHistory(const CliContext& ctx, std::string action, const RadioIdentity& radio,
                       const SettingsContext& context)
    : ctx_(ctx),
      recorder_(ctx.History,
                OriginOf(radio.Serial, radio.VersionText, radio.Model, "cli", std::move(action)),
                ctx.Journal) {
    recorder_.Origin().Context = context;
    recorder_.Origin().Port = CliPortLabel(ctx);
}

CliHistory::~CliHistory() {
    SayWarning();
}

void CliHistory::SayWarning() {
    for (std::string warning; !(warning = recorder_.TakeWarning()).empty();)
        ctx_.Err() << "rm7ux: " << TerminalSafe(warning) << "\n";
}
