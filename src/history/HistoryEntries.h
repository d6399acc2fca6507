#pragma once
// History entries for what a caller did to a radio, in the units of the settings table.

#include <cstdint>
#include <string>
#include <string_view>

#include "config/RadioSettings.h"
#include "history/ChangeHistory.h"

// The radio and the origin shared by the entries of one piece of work.
struct HistoryOrigin {
    std::string Serial;       // eight digits, "" when the radio holds none
    std::string Model;        // "RM7UX", "RM7VX"
    std::string Source;       // "window", "cli"
    std::string Action;       // "set", "program", ...
    SettingsContext Context;  // decodes the values
};

// The origin for a radio by its serial number (-1 for none) and version text.
HistoryOrigin OriginOf(int64_t serial, const std::string& versionText, int radioModel,
                       std::string source, std::string action);

// A field that went from `oldRaw` to `newRaw`, decoded in `origin`'s context (the old value in
// `oldContext` where the change moved the grid under it, as a step change does).
HistoryEntry FieldChangeEntry(const HistoryOrigin& origin, std::string_view code,
                              const std::string& oldRaw, const std::string& newRaw);
HistoryEntry FieldChangeEntry(const HistoryOrigin& origin, std::string_view code,
                              const std::string& oldRaw, const std::string& newRaw,
                              const SettingsContext& oldContext);
// A save of the working settings to flash: an entry of its own.
HistoryEntry FlashSaveEntry(const HistoryOrigin& origin);

// What one piece of work does to one radio, recorded as it happens: each field whose meaning
// changed, and each save to flash. A history that cannot be written never stops the work; the
// reason is kept once for the caller to show as it shows things.
class ChangeRecorder {
  public:
    // `history` may be null: nothing is recorded.
    ChangeRecorder(ChangeHistory* history, HistoryOrigin origin);

    HistoryOrigin& Origin() { return origin_; }
    // A field that went from `oldRaw`, meant in `before`, to `newRaw`, meant in `after`.
    void Field(std::string_view code, const std::string& oldRaw, const std::string& newRaw,
               const SettingsContext& before, const SettingsContext& after);
    void FlashSaved();
    // Why the history could not be written, the first time it is asked; "" otherwise.
    std::string TakeWarning();

  private:
    void Put(const HistoryEntry& e);

    ChangeHistory* history_;
    HistoryOrigin origin_;
    std::string warning_;
};
