#pragma once
// What the window knows of the radio on its port, and nothing more: the radio's identity, each
// value as the radio last gave it or last confirmed it, whether its working settings may differ
// from its flash, and the window's own transmitter test. It is filled only from replies and from
// the results of operations, and emptied when another radio answers, so that what the window
// draws from it is always this radio's.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "config/RadioSettings.h"
#include "operations/RadioOperations.h"

struct RadioPicture {
    // Identification and serial number.
    bool Identified = false;
    int Model = 0;  // 1 RM7UX, 0 RM7VX
    std::string VersionText;
    int64_t Serial = -1;
    // Every field of the full read came; until then the window lets nothing be written.
    bool ReadInFull = false;
    // Changed each time another radio takes the picture's place.
    int Generation = 0;
    // The working settings may differ from flash, and the radio they are this one's.
    bool Unsaved = false;
    int64_t UnsavedSerial = -1;
    // The window's transmitter test: the radio keyed, and the PTT time-out to put back.
    bool Transmitting = false;
    int OperatorPTT = -1;
    int64_t TestSerial = -1;

    // A radio identified with its serial number. Another radio than the one pictured empties
    // every value; another than the one whose changes are marked clears the mark.
    void Identify(int model, const std::string& versionText, int64_t serial);
    // No radio: identity and values go. The unsaved mark stays with its radio, whose working
    // settings hold the changes still when it answers again.
    void Forget();
    // A value the radio gave or confirmed ("PT" -> "5780"); Erase: one it may no longer hold.
    void Set(const std::string& code, const std::string& raw);
    void Erase(const std::string& code);
    // An operation's values, unknown ones forgotten, and the mark as the operation left it.
    void Take(const OperationResult& result);

    std::optional<std::string> Field(std::string_view code) const;
    // The field as a number, when it holds one.
    std::optional<int64_t> Number(std::string_view code) const;
    // A frequency field in MHz on the radio's step; none while the step or the field is unknown.
    std::optional<double> MHz(std::string_view code) const;
    // The step code ("00", "01"), "" while unknown.
    std::string Step() const;
    // What the radio's values are decoded in, for the history and the settings table.
    SettingsContext Context() const;
    RadioIdentity Identity() const;

  private:
    std::map<std::string, std::string, std::less<>> fields_;
};
