#pragma once
// One character lost on the line at each write of an operation in turn, and what must hold of
// the radio afterwards: its working settings and its flash each on one grid, inside their own
// limits. The radio's fields are decoded here on their own, not with the program's codec.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/RadioEmulator.h"

// The n-th write of an operation loses a character at its command letter, its value's first
// digit or its last digit, on the way in or on the way back: six kinds, taken in turn, so that
// every write and every kind is met. Commands without a value lose their letter.
inline LoseOnce LossAt(const std::string& command, size_t n) {
    static const LostAt kinds[] = {LostAt::CommandLetter, LostAt::FirstDigit, LostAt::LastDigit};
    LoseOnce lose;
    lose.Command = command;
    const bool hasValue = !(command == "EE" || command == "EP" || command == "O3" ||
                            command == "O4" || command == "OZ");
    lose.At = hasValue ? kinds[n % 3] : LostAt::CommandLetter;
    lose.OnTheWayIn = (n / 3) % 2 == 0;
    // "Z" is never echoed: only its loss on the way in is a loss at all.
    if (command == "OZ")
        lose.OnTheWayIn = true;
    return lose;
}

// Whether `event` is the one a command leaves when the radio takes it.
inline bool IsEventOf(const std::string& event, const std::string& command) {
    if (command == "EE")
        return event == "ee";
    if (command == "EP")
        return event == "flash";
    if (command == "OZ")
        return event == "reset";
    if (command == "O3")
        return event == "tx on";
    if (command == "O4")
        return event == "tx off";
    return event.rfind("write " + command + " ", 0) == 0;
}

// The loss armed for the write of `command` in an operation whose events, from the moment the
// fault is set, are `dryRun` when nothing is lost: armed after the events before that write, so
// that a read of the same field earlier in the operation keeps its characters.
inline LoseOnce LossAt(const std::string& command, size_t n,
                       const std::vector<std::string>& dryRun) {
    LoseOnce lose = LossAt(command, n);
    for (size_t i = 0; i < dryRun.size(); ++i) {
        if (!IsEventOf(dryRun[i], command))
            continue;
        if (i == 0)
            return lose;
        // Armed by the event before the write, counted as often as it came by then.
        lose.AfterEvent = dryRun[i - 1];
        lose.AfterCount = static_cast<int>(
            std::count(dryRun.begin(), dryRun.begin() + static_cast<long>(i), lose.AfterEvent));
        return lose;
    }
    lose.AfterEvent = "never: the dry run did not write it";
    return lose;
}

inline std::string Describe(const LoseOnce& lose) {
    static const char* const at[] = {"command letter", "first digit", "last digit"};
    return lose.Command + " " + at[static_cast<int>(lose.At)] +
           (lose.OnTheWayIn ? " lost on its way in" : " lost on its way back");
}

// MHz of a channel of an RM7UX (model 1) or RM7VX (model 0) on the step its PC names.
inline double ChannelMHz(const RadioFields& f, uint32_t channel, int model = 1) {
    const double base = model == 1 ? 300.0 : 100.0;
    return base + channel * (f.PC == 0 ? 0.00625 : 0.005);
}

// "" when the fields sit on one grid inside their own limits; what is wrong otherwise.
inline std::string GridProblem(const RadioFields& f, int model = 1) {
    const double low = model == 1 ? 300.0 : 100.0, high = model == 1 ? 512.0 : 235.0;
    if (f.PC > 1)
        return "step code " + std::to_string(f.PC);
    const auto mhz = [&](uint32_t channel) { return ChannelMHz(f, channel, model); };
    for (uint32_t limit : {f.P1, f.P2, f.P3, f.P4}) {
        if (mhz(limit) < low || mhz(limit) > high)
            return "a limit of " + std::to_string(mhz(limit)) + " MHz outside the model's range";
    }
    if (f.P1 > f.P2 || f.P3 > f.P4)
        return "a lower limit above its upper one";
    if (f.PT < f.P3 || f.PT > f.P4)
        return "TX " + std::to_string(mhz(f.PT)) + " MHz outside " + std::to_string(mhz(f.P3)) +
               " to " + std::to_string(mhz(f.P4));
    if (f.PR < f.P1 || f.PR > f.P2)
        return "RX " + std::to_string(mhz(f.PR)) + " MHz outside " + std::to_string(mhz(f.P1)) +
               " to " + std::to_string(mhz(f.P2));
    return "";
}

// Both the working settings and flash.
inline std::string RadioGridProblem(const RadioEmulator& radio, int model = 1) {
    const RadioPersonality p = radio.Radio();
    if (std::string w = GridProblem(p.Fields, model); !w.empty())
        return "working settings: " + w;
    if (std::string f = GridProblem(p.Flash, model); !f.empty())
        return "flash: " + f;
    return "";
}

// The editable fields, for comparing settings before and after.
inline bool SameSettings(const RadioFields& a, const RadioFields& b) {
    RadioFields x = a, y = b;
    x.RH = y.RH = x.RT = y.RT = x.RR = y.RR = x.RC = y.RC = 0;
    return x == y;
}
