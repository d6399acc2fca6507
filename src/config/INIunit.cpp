#include "config/INIunit.h"

#include <algorithm>

#include "common/StrUtils.h"
#include "link/RadioTexts.h"
#include "platform/IniFile.h"

TProgramSettings ProgramSettings;
std::string SettingsFileName;
std::string DevSettingsFileName;
std::string SettingsProblem;

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
    SettingsProblem.clear();
    try {
        // Read once: a key at a time would read a huge file again for every key.
        std::string content = ReadWholeFile(SettingsFileName, kMaxSettingsFileSize).value_or("");
        if (content.size() > kMaxSettingsFileSize) {
            SettingsProblem = "The settings file " + SettingsFileName +
                              " is larger than 1 MB and was not read; the defaults apply";
            content.clear();
        }
        const TIniText ini(content);
        auto read = [&ini](std::string_view section, std::string_view key, const char* fallback) {
            return ini.Find(section, key).value_or(fallback);
        };
        std::string text = UpperCase(read("LIMITS", "MIN_CUTOUT_TEMP", kNoTemperature));
        if (auto t = TryStrToInt(text)) {
            s.MinCutoutTemp = std::clamp(*t, kLowestTemperature, kHighestTemperature);
            s.MinCutoutTempSet = true;
        }
        auto interval = TryStrToInt(Trim(read("Timer", "Interval", "1000")));
        s.TimerInterval = interval && *interval >= 500 && *interval <= 10000 ? *interval : 1000;
        auto ticks = TryStrToInt(Trim(read("Timer", "AdjustPowerIntervals", "2")));
        s.AdjustPowerIntervals = ticks && *ticks >= 1 && *ticks <= 10 ? *ticks : 2;
        s.ConnectHide = UpperCase(read("Timer", "ConnectHide", "NO")) == "YES";
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
