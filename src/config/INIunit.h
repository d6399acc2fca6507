#pragma once
// The program's own settings: CFG_RM7UX_Radio.INI beside the executable (limits and timer
// values, only ever read) and CFG_RM7UX_Radio_DEV.INI beside it.

#include <cstddef>
#include <cstdint>
#include <string>

struct TProgramSettings {
    bool Development = false;
    int32_t MinCutoutTemp = 50;  // degrees Celsius
    bool MinCutoutTempSet = false;
    int32_t TimerInterval = 1000;      // milliseconds
    int32_t AdjustPowerIntervals = 2;  // timer ticks
    bool ConnectHide = false;
};

extern TProgramSettings ProgramSettings;
extern std::string SettingsFileName;
extern std::string DevSettingsFileName;
// Why the last LoadSettings kept the defaults (a file too large to be a settings file); "" when
// nothing was wrong. The callers decide whether to show it.
extern std::string SettingsProblem;
inline constexpr size_t kMaxSettingsFileSize = 1024 * 1024;

// Both paths in a folder (the executable's at start); bare names for an empty folder.
void SetSettingsFolder(const std::string& folder);
// Settings file into ProgramSettings; a missing file or bad value gives the defaults.
void LoadSettings();
// [MISC] DEVELOPMENT of the development file into ProgramSettings.Development.
bool LoadDevelopmentSettings();
