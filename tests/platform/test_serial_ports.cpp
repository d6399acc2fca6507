// Listing the ports present, against a machine made of files: sysfs, /dev and the ports folder.

#include "platform/SerialPorts.h"

#include <poll.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "platform/PortWatcher.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

void Link(const fs::path& link, const fs::path& target) {
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
}

// A PC with ttyS0 (no UART), ttyS1 (a 16550A), an FTDI cable on ttyUSB0 with its by-id name, a
// CH340 that brltty took (no tty), and a ports folder with the cable pinned as COM7 and a link to
// a cable that is unplugged.
struct FakeMachine {
    TempDir dir;
    SerialPortRoots roots{dir.File("sys"), dir.File("dev"), dir.File("ports")};

    FakeMachine() {
        const fs::path sys = roots.Sys, dev = roots.Dev;
        for (const char* name : {"ttyS0", "ttyS1", "ttyUSB0", "tty0"})
            Write(dev / name, "");
        Write(sys / "class/tty/ttyS0/type", "0");
        Write(sys / "class/tty/ttyS1/type", "4");
        Write(sys / "class/tty/tty0/type", "0");
        const fs::path usb = sys / "devices/pci0000:00/usb1/1-1";
        Write(usb / "idVendor", "0403");
        Write(usb / "idProduct", "6001");
        Write(usb / "manufacturer", "FTDI");
        Write(usb / "product", "FT232R USB UART");
        Write(usb / "serial", "A1B2C3");
        fs::create_directories(usb / "1-1:1.0/ttyUSB0");
        fs::create_directories(sys / "bus/usb-serial/drivers/ftdi_sio");
        Link(usb / "1-1:1.0/ttyUSB0/driver", sys / "bus/usb-serial/drivers/ftdi_sio");
        Link(sys / "class/tty/ttyUSB0/device", usb / "1-1:1.0/ttyUSB0");
        Link(dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "../../ttyUSB0");
        const fs::path ch340 = sys / "devices/pci0000:00/usb1/1-2";
        Write(ch340 / "idVendor", "1a86");
        Write(ch340 / "idProduct", "7523");
        fs::create_directories(ch340 / "1-2:1.0");
        Link(sys / "bus/usb/devices/1-2", ch340);
        Link(sys / "bus/usb/devices/1-1", usb);
    }
};

TEST(SerialPorts, ListsRealPortsWithTheirNamesAndThePortsFolder) {
    FakeMachine m;
    auto ports = ListSerialPorts(m.roots);
    // Only ttyS1 and ttyUSB0 are real; no links yet.
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].Com, 2u);
    EXPECT_EQ(ports[0].Description(), "built-in UART 16550A");
    const SerialPortInfo& usb = ports[1];
    EXPECT_EQ(usb.Com, 33u);
    EXPECT_EQ(usb.Device, m.roots.Dev + "/ttyUSB0");
    EXPECT_EQ(usb.Driver, "ftdi_sio");
    EXPECT_EQ(usb.VendorId + ":" + usb.ProductId, "0403:6001");
    EXPECT_EQ(usb.Description(), "FTDI FT232R USB UART (A1B2C3)");
    EXPECT_EQ(fs::path(usb.ById).filename(), "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");

    // Pinned through its by-id name, the cable is listed once, as COM7; a stale link stays
    // listed, as absent.
    Link(fs::path(m.roots.Ports) / "COM7", usb.ById);
    Link(fs::path(m.roots.Ports) / "COM120", m.dir.File("gone"));
    ports = ListSerialPorts(m.roots);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[1].Com, 7u);
    EXPECT_EQ(ports[1].Kind, SerialPortKind::Link);
    EXPECT_EQ(ports[1].Description(), "FTDI FT232R USB UART (A1B2C3)");
    EXPECT_TRUE(ports[1].Present);
    EXPECT_EQ(ports[2].Com, 120u);
    EXPECT_FALSE(ports[2].Present);

    // brltty's work: a CH340 with no tty left.
    EXPECT_EQ(TtylessCh34xDevices(m.roots), std::vector<std::string>{"1-2"});
}

// Whether the watcher has something to say, without waiting.
bool Readable(const PortWatcher& watcher) {
    pollfd p{watcher.Fd(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

// Takes changes until nothing more is pending (at most `rounds` times); true when a change was
// reported on the way.
bool Settle(PortWatcher& watcher, int rounds, int& taken) {
    bool changed = false;
    for (taken = 0; taken < rounds && Readable(watcher); ++taken)
        changed = watcher.TakeChanges() || changed;
    return changed;
}

TEST(PortWatcher, SettlesAfterItsFolderIsMovedAwayAndWatchesTheNewOne) {
    TempDir dir;
    const fs::path ports = dir.File("ports");
    // Kernel device events are left out: another program's would wake the watcher by chance.
    PortWatcher watcher(ports.string(), false);
    ASSERT_GE(watcher.Fd(), 0);
    EXPECT_FALSE(Readable(watcher));

    // An idle window saw no change and has nothing to take.
    fs::rename(ports, dir.File("ports.old"));
    pollfd p{watcher.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    int taken = 0;
    EXPECT_TRUE(Settle(watcher, 50, taken));
    // The move, then the old watch's removal: a watcher that took the second for the folder
    // going again would never stop.
    EXPECT_LT(taken, 50);
    EXPECT_FALSE(Readable(watcher));
    EXPECT_TRUE(fs::is_directory(ports));

    // The folder made again is the one watched; the old one is not.
    Link(dir.File("ports.old/COM9"), "/dev/null");
    EXPECT_FALSE(Readable(watcher));
    Link(ports / "COM8", "/dev/null");
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(Settle(watcher, 50, taken));
    EXPECT_FALSE(Readable(watcher));

    // Removed outright, it is made and watched again too.
    fs::remove_all(ports);
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(Settle(watcher, 50, taken));
    EXPECT_LT(taken, 50);
    EXPECT_FALSE(Readable(watcher));
    Link(ports / "COM8", "/dev/null");
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(Settle(watcher, 50, taken));
}

}  // namespace
