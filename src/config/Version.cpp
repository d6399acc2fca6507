#include "config/Version.h"

#if !defined(RM7UX_VERSION_MAJOR) || !defined(RM7UX_PACKAGE_VERSION)
#error \
    "the build passes the project version as RM7UX_VERSION_MAJOR/MINOR/RELEASE/BUILD and RM7UX_PACKAGE_VERSION"
#endif

std::string FormatVersionText(uint32_t major, uint32_t minor, uint32_t release, uint32_t build) {
    std::string text = std::to_string(major) + "." + std::to_string(minor);
    if (release != 0)
        text += "." + std::to_string(release);
    if (build != 0)
        text += " build " + std::to_string(build);
    return text;
}

std::string GetVersionText() {
    return FormatVersionText(RM7UX_VERSION_MAJOR, RM7UX_VERSION_MINOR, RM7UX_VERSION_RELEASE,
                             RM7UX_VERSION_BUILD);
}

std::string GetPackageVersion() {
    return RM7UX_PACKAGE_VERSION;
}
