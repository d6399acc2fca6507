#pragma once
// The command line's part in the change history: what a command did to the radio on its open
// link, recorded as it happens. A history that cannot be written is said once on standard error
// and the command goes on.

#include <string>

#include "cli/CliCommands.h"
#include "history/ChangeHistory.h"
#include "history/HistoryEntries.h"

class CliHistory {
  public:
    // The radio identified on the open link, with its serial number (-1 for none).
    CliHistory(const CliContext& ctx, std::string action, int64_t serial,
               const SettingsContext& context);

    HistoryOrigin& Origin() { return origin_; }

    // The field just set: its old value is what the radio showed before the new one was typed.
    void FieldSet(std::string_view code, const std::string& newRaw);
    void FieldSet(std::string_view code, const std::string& newRaw,
                  const SettingsContext& oldContext);
    void Field(std::string_view code, const std::string& oldRaw, const std::string& newRaw);
    void FlashSaved();

  private:
    void Put(const HistoryEntry& e);

    const CliContext& ctx_;
    ChangeHistory history_;
    HistoryOrigin origin_;
};
