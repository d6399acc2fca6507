#include "config/INIunit.h"

#include <algorithm>

#include "common/StrUtils.h"
#include "link/RadioTexts.h"
#include "platform/IniFile.h"

TProgramSettings ProgramSettings;
std::string SettingsFileName;
std::string DevSettingsFileName;

namespace {

// Punctuation after "$" never converts, so an absent key is told from a present one.
constexpr const char* kNoTemperature = "$!@#%^&*()_+{}|~";
static_assert(std::char_traits<char>::length(kNoTemperature) == 16);

}  // namespace

void SetSettingsFolder(const std::string& folder) {
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    SettingsFileName = prefix + "CFG_RM7UX_Radio.INI";
    DevSettingsFileName = prefix + "CFG_RM7UX_Radio_DEV.INI";
}

void LoadSettings() {
    TProgramSettings& s = ProgramSettings;
    s.MinCutoutTemp = 50;
    s.MinCutoutTempSet = false;
    try {
        TIniFile ini(SettingsFileName);
        std::string text = UpperCase(ini.ReadString("LIMITS", "MIN_CUTOUT_TEMP", kNoTemperature));
        if (auto t = TryStrToInt(text)) {
            s.MinCutoutTemp = std::clamp(*t, kLowestTemperature, kHighestTemperature);
            s.MinCutoutTempSet = true;
        }
        auto interval = TryStrToInt(Trim(ini.ReadString("Timer", "Interval", "1000")));
        s.TimerInterval = interval && *interval >= 500 && *interval <= 10000 ? *interval : 1000;
        auto ticks = TryStrToInt(Trim(ini.ReadString("Timer", "AdjustPowerIntervals", "2")));
        s.AdjustPowerIntervals = ticks && *ticks >= 1 && *ticks <= 10 ? *ticks : 2;
        s.ConnectHide = UpperCase(ini.ReadString("Timer", "ConnectHide", "NO")) == "YES";
    } catch (const std::exception&) {
        // Settings never stop the program: what was read so far stays, the rest keeps defaults.
    }
}

bool LoadDevelopmentSettings() {
    ProgramSettings.Development = false;
    try {
        TIniFile ini(DevSettingsFileName);
        ProgramSettings.Development =
            UpperCase(ini.ReadString("MISC", "DEVELOPMENT", "NO")) == "YES";
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
