#include "cli/CliHistory.h"

#include "cli/TerminalText.h"
#include "link/RM7UXcomms.h"

CliHistory::CliHistory(const CliContext& ctx, std::string action, int64_t serial,
                       const SettingsContext& context)
    : ctx_(ctx) {
    origin_ = OriginOf(serial, RM7UXVersionText(), context.RadioModel, "cli", std::move(action));
    origin_.Context = context;
}

void CliHistory::Put(const HistoryEntry& e) {
    if (!history_.Record(e)) {
        if (std::string warning = history_.TakeWarning(); !warning.empty())
            ctx_.Err() << "rm7ux: " << TerminalSafe(warning) << "\n";
    }
}

void CliHistory::FieldSet(std::string_view code, const std::string& newRaw) {
    Put(FieldChangeEntry(origin_, code, RM7UXShownValue(), newRaw));
}

void CliHistory::FieldSet(std::string_view code, const std::string& newRaw,
                          const SettingsContext& oldContext) {
    Put(FieldChangeEntry(origin_, code, RM7UXShownValue(), newRaw, oldContext));
}

void CliHistory::Field(std::string_view code, const std::string& oldRaw,
                       const std::string& newRaw) {
    Put(FieldChangeEntry(origin_, code, oldRaw, newRaw));
}

void CliHistory::FlashSaved() {
    Put(FlashSaveEntry(origin_));
}
