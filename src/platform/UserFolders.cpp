#include "platform/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

// The XDG base folder named by `variable`, else `fallback` under the home folder.
std::string XdgFolder(const char* variable, const char* fallback) {
    const char* xdg = std::getenv(variable);
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* pw = getpwuid(getuid());
        home = pw != nullptr ? pw->pw_dir : "/tmp";
    }
    return std::string(home) + fallback;
}

}  // namespace

std::string UserConfigHome() {
    return XdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string UserDataHome() {
    return XdgFolder("XDG_DATA_HOME", "/.local/share");
}

std::string UserStateHome() {
    return XdgFolder("XDG_STATE_HOME", "/.local/state");
}

std::string PortsFolder() {
    return UserConfigHome() + "/KorvaTech/CFG_RM7UX_Radio/ports";
}

std::string UserStoreFileName() {
    return UserConfigHome() + "/KorvaTech/CFG_RM7UX_Radio.conf";
}

std::string ExecutableFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "";
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}
