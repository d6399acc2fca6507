#pragma once
// The program's version text, from the build's version major.minor.release.build.

#include <cstdint>
#include <string>

// "major.minor", then ".release" when release is not 0, then " build N" when build is not 0.
std::string FormatVersionText(uint32_t major, uint32_t minor, uint32_t release, uint32_t build);
// The version of this build.
std::string GetVersionText();
// The version as the package has it, every part ("1.0.0.1"): what --version prints.
std::string GetPackageVersion();
