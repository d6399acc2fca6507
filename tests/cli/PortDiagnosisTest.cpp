// The reasons given for a port that cannot be opened.

#include "platform/PortDiagnosis.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "TempDir.h"
#include "platform/PortNames.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(PortDiagnosis, NamesTheDeviceAComNameStandsFor) {
    TempDir dir;
    dir.PointConfigHere();
    EXPECT_TRUE(Has(DescribePortOpenFailure("COM200", "", SerialOpenError::NoSuchDevice, ENOENT),
                    "COM200 maps to no device"));
    EXPECT_TRUE(Has(DescribePortOpenFailure("COM34", DefaultComPortPath(34),
                                            SerialOpenError::NoSuchDevice, ENOENT),
                    "COM34 is /dev/ttyUSB1, which does not exist"));

    ASSERT_TRUE(AttachComPort(7, dir.File("unplugged")));
    std::string linked =
        DescribePortOpenFailure("COM7", ResolveComPort(7), SerialOpenError::NoSuchDevice, ENOENT);
    EXPECT_TRUE(Has(linked, "COM7 is linked to " + dir.File("unplugged"))) << linked;

    std::ofstream(dir.File("plain"));
    EXPECT_EQ(DescribePortOpenFailure("COM8", dir.File("plain"), SerialOpenError::None, 0),
              "COM8 (" + dir.File("plain") + ") is not a serial device.");
}

TEST(PortDiagnosis, PermissionDeniedNamesTheOwningGroup) {
    TempDir dir;
    const std::string device = dir.File("ttyFAKE");
    std::ofstream(device).close();
    // A group this process is not in, so the advice is to join it.
    const group* g = nullptr;
    setgrent();
    while ((g = getgrent()) != nullptr) {
        gid_t mine[256];
        int n = getgroups(256, mine);
        if (g->gr_gid != getegid() &&
            std::find(mine, mine + std::max(n, 0), g->gr_gid) == mine + std::max(n, 0))
            break;
    }
    ASSERT_NE(g, nullptr);
    const std::string name = g->gr_name;
    const gid_t gid = g->gr_gid;
    endgrent();
    if (::chown(device.c_str(), static_cast<uid_t>(-1), gid) != 0)
        GTEST_SKIP() << "cannot give the file to another group here";
    ::chmod(device.c_str(), 0660);

    std::string text =
        DescribePortOpenFailure("COM33", device, SerialOpenError::PermissionDenied, EACCES);
    EXPECT_TRUE(Has(text, "Permission denied: COM33 (" + device + ")")) << text;
    EXPECT_TRUE(Has(text, "group " + name + ", mode -rw-rw----")) << text;
    EXPECT_TRUE(Has(text, "must be in group " + name + ": sudo usermod -aG " + name)) << text;

    ::chmod(device.c_str(), 0600);
    text = DescribePortOpenFailure("COM33", device, SerialOpenError::PermissionDenied, EACCES);
    EXPECT_TRUE(Has(text, "only its owner can open it")) << text;
}

TEST(PortDiagnosis, BusyWithoutAVisibleHolderSaysSo) {
    TempDir dir;
    std::ofstream(dir.File("tty")).close();
    EXPECT_TRUE(FindPortHolders(dir.File("tty")).empty());
    EXPECT_TRUE(Has(DescribePortOpenFailure("COM9", dir.File("tty"), SerialOpenError::Busy, EBUSY),
                    "in use by another program, whose process cannot be seen"));
}

TEST(PortDiagnosis, ModemManagerAsTheHolderGetsTheUdevRule) {
    const std::string text =
        DescribePortHeld("COM33", "/dev/ttyUSB9", {{4242, "ModemManager", false}});
    EXPECT_TRUE(Has(text, "in use by process 4242 (ModemManager)")) << text;
    EXPECT_TRUE(Has(text, "ENV{ID_MM_DEVICE_IGNORE}=\"1\"")) << text;
    EXPECT_FALSE(Has(DescribePortHeld("COM33", "/dev/ttyUSB9", {{4242, "minicom", false}}),
                     "ID_MM_DEVICE_IGNORE"));
}

}  // namespace
