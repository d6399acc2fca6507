#include "cli/CliHistory.h"

#include "cli/TerminalText.h"
#include "operations/RadioOperations.h"

CliHistory::CliHistory(const CliContext& ctx, std::string action, const RadioIdentity& radio,
                       const SettingsContext& context)
    : ctx_(ctx),
      recorder_(&history_,
                OriginOf(radio.Serial, radio.VersionText, radio.Model, "cli", std::move(action))) {
    recorder_.Origin().Context = context;
}

CliHistory::~CliHistory() {
    SayWarning();
}

void CliHistory::SayWarning() {
    if (std::string warning = recorder_.TakeWarning(); !warning.empty())
        ctx_.Err() << "rm7ux: " << TerminalSafe(warning) << "\n";
}
