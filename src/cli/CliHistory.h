#pragma once
// The command line's part in the change history: the recorder its operations write through (the
// run's history and journal, on the run's port), and a history or journal that cannot be written
// said once on standard error while the command goes on.

#include <memory>
#include <string>

#include "cli/CliCommands.h"
#include "history/ChangeHistory.h"
#include "history/HistoryEntries.h"

struct RadioIdentity;

class CliHistory {
  public:
    // The radio identified on the open link; `context` decodes its values.
    CliHistory(const CliContext& ctx, std::string action, const RadioIdentity& radio,
               const SettingsContext& context);
    ~CliHistory();
    CliHistory(const CliHistory&) = delete;
    CliHistory& operator=(const CliHistory&) = delete;

    ChangeRecorder* Recorder() { return &recorder_; }
    // Says the warnings of the history and the journal, if any, now.
    void SayWarning();

  private:
    const CliContext& ctx_;
    ChangeRecorder recorder_;
};
