#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TempDir.h"
#include "platform/Registry.h"
#include "platform/UserFolders.h"

namespace {

const char* kSerial = "\\Software\\KorvaTech\\CFG_RM7UX_Radio\\Serial";

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Registry, KeyIsASectionOfTheUserStore) {
    TempDir dir;
    dir.PointConfigHere();
    ASSERT_EQ(UserStoreFileName(), dir.Path() + "/config/KorvaTech/CFG_RM7UX_Radio.conf");

    TRegistry reg;
    EXPECT_FALSE(reg.OpenKeyReadOnly(kSerial));  // no store yet
    ASSERT_TRUE(reg.OpenKey(kSerial, true));
    EXPECT_EQ(reg.CurrentPath(), kSerial);
    reg.WriteInteger("CommPort", 7);
    reg.CloseKey();
    EXPECT_EQ(Get(UserStoreFileName()), "[Serial]\r\nCommPort=7\r\n");

    ASSERT_TRUE(reg.OpenKeyReadOnly("\\software\\korvatech\\cfg_rm7ux_radio\\SERIAL\\"));
    EXPECT_EQ(reg.ReadInteger("commport"), 7);
    EXPECT_THROW(reg.WriteInteger("CommPort", 8), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryException);
    reg.CloseKey();
    EXPECT_THROW(reg.ReadInteger("CommPort"), ERegistryException);
}

TEST(Registry, PathsOutsideTheProgramAndRelativeKeys) {
    TempDir dir;
    TRegistry reg(dir.File("store.conf"));
    EXPECT_FALSE(reg.OpenKey("\\Software\\Other\\Thing", true));
    EXPECT_FALSE(reg.OpenKey("\\Software\\KorvaTech", true));
    ASSERT_TRUE(reg.OpenKey("\\Software\\KorvaTech\\CFG_RM7UX_Radio", true));
    reg.WriteString("Name", "x");
    ASSERT_TRUE(reg.OpenKey("Serial\\Deeper", true));
    EXPECT_EQ(reg.CurrentPath(), "\\Software\\KorvaTech\\CFG_RM7UX_Radio\\Serial\\Deeper");
    reg.WriteInteger("N", -3);
    EXPECT_EQ(Get(dir.File("store.conf")), "[General]\r\nName=x\r\n[Serial/Deeper]\r\nN=-3\r\n");
}

TEST(Registry, NonIntegerValueRaises) {
    TempDir dir;
    std::ofstream(dir.File("store.conf")) << "[Serial]\nCommPort=abc\n";
    TRegistry reg(dir.File("store.conf"));
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSerial));
    EXPECT_TRUE(reg.ValueExists("CommPort"));
    EXPECT_THROW(reg.ReadInteger("CommPort"), ERegistryException);
    EXPECT_EQ(reg.ReadString("CommPort"), "abc");
}

TEST(Registry, UnwritableStoreRaises) {
    TempDir dir;
    std::ofstream(dir.File("plain")) << "x";
    TRegistry reg(dir.File("plain") + "/store.conf");
    ASSERT_TRUE(reg.OpenKey(kSerial, true));
    EXPECT_THROW(reg.WriteInteger("CommPort", 1), ERegistryException);
}

}  // namespace
