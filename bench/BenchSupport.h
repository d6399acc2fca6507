#pragma once
// Small helpers for the benchmarks: a private settings folder, percentiles, precise waits.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// One character at 9600 baud, 8N1: ten bits.
constexpr double kCharMs = 10.0 / 9600.0 * 1000.0;

inline std::string PrivateConfigFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rm7ux-bench-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    std::string dir = made != nullptr ? made : "/tmp";
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    // The history of changes and the journal too: a benchmark never writes into the user's own.
    setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
    return dir;
}

inline double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// Sleeps until t, spinning for the last stretch so the wake-up is on time.
inline void WaitUntil(Clock::time_point t) {
    auto spinFrom = t - std::chrono::microseconds(300);
    if (Clock::now() < spinFrom)
        std::this_thread::sleep_until(spinFrom);
    while (Clock::now() < t) {
    }
}

inline double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace bench
