#pragma once
// Replays a fuzzer's seed corpus through its entry function, without libFuzzer, so the normal
// suite keeps every seed passing. The test is linked with the one fuzzer it replays.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

inline void ReplayCorpus(const std::filesystem::path& folder) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size()), 0);
        ++files;
    }
    // A corpus folder moved or emptied would otherwise pass unnoticed.
    EXPECT_GE(files, 5u);
}
