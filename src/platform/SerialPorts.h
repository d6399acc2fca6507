#pragma once
// The serial ports present on this machine, each with the COM number that reaches it and what a
// technician recognises it by: the stable /dev/serial/by-id name, and for a USB adapter its
// maker, product, serial number and driver. Read from sysfs, /dev and the ports folder, so it
// works where no udev daemon runs (containers, chroots) and tests can give a fake root.

#include <cstdint>
#include <string>
#include <vector>

// Where to look; tests point these at a folder of their own.
struct SerialPortRoots {
    std::string Sys = "/sys";
    std::string Dev = "/dev";
    std::string Ports;  // "" for the per-user ports folder
    std::string PortsFolder() const;
};

// Network: a file COMn in the ports folder holding a serial device server's address.
enum class SerialPortKind { Uart, Usb, Acm, Link, Network };

struct SerialPortInfo {
    uint32_t Com = 0;  // the COM number that reaches it; 0 when none does
    SerialPortKind Kind = SerialPortKind::Uart;
    std::string Device;   // /dev/ttyUSB0; for a ports-folder link, the device it leads to; for a
                          // network port, its address (tcp://HOST:PORT, rfc2217://HOST:PORT)
    std::string Link;     // the ports-folder link (or address file) COMn
    std::string ById;     // /dev/serial/by-id/... when udev made one
    bool Present = true;  // false for a link whose device is gone
    // USB devices only.
    std::string Vendor, Product, Serial, Driver, VendorId, ProductId;
    int UartType = 0;  // ttyS only: the kernel's UART type (4 = 16550A)

    // "FTDI FT232R USB UART (A1B2C3)", "built-in UART 16550A", "pseudo-terminal", "network port
    // on pump-station:4001 (RFC 2217)".
    std::string Description() const;
    bool IsUsb() const { return !VendorId.empty(); }
};

// COM number of a device by its default name: ttyS0 -> 1, ttyUSB1 -> 34, ttyACM0 -> 65; 0 for
// any other name or an index past 31.
uint32_t DefaultComNumber(const std::string& deviceName);

// Every present ttyS with a UART behind it (type 0 is a placeholder), ttyUSB and ttyACM, every
// link in the ports folder (also those whose device is gone) and every address file there,
// ordered by COM number. A device that a link reaches is listed once, under the link.
std::vector<SerialPortInfo> ListSerialPorts(const SerialPortRoots& roots = {});

// What one device (a path such as /dev/ttyUSB0 or a link to it) is; Com stays 0.
SerialPortInfo DescribeSerialDevice(const std::string& path, const SerialPortRoots& roots = {});

// Makes COMn in the ports folder lead to this cable by its stable by-id name, so the number holds
// whichever ttyUSB it comes back as. With no by-id name the link goes to the device itself and
// `note` says that the number then follows the name, not the cable. Only a serial line is taken:
// a device that does not answer as a terminal (/dev/null) is refused, and so are the machine's
// own terminals (/dev/tty, /dev/console, /dev/ptmx, the consoles /dev/ttyN); a pseudo-terminal
// is a line. "" on success, else why not.
std::string PinComPort(uint32_t n, const std::string& device, std::string& note,
                       const SerialPortRoots& roots = {});

// USB devices of a CH340/CH341 chip that have no tty: what brltty leaves of a cable it claimed.
std::vector<std::string> TtylessCh34xDevices(const SerialPortRoots& roots = {});
