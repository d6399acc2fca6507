// Replays the configuration-file fuzzer's seed corpus through its entry function, without
// libFuzzer, so the normal suite keeps every seed passing.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(FlashFileFuzzCorpus, EverySeedPasses) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(RM7UX_FLASHFILE_CORPUS)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size()), 0);
        ++files;
    }
    EXPECT_GE(files, 5u);
}
