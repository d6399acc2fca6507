#include "platform/SerialPorts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>
#include <system_error>

#include "platform/PortArgument.h"
#include "platform/PortNames.h"
#include "platform/UserFolders.h"

namespace fs = std::filesystem;

namespace {

struct DefaultRange {
    const char* Prefix;
    uint32_t FirstCom;
    SerialPortKind Kind;
};

constexpr DefaultRange kRanges[] = {
    {"ttyS", 1, SerialPortKind::Uart},
    {"ttyUSB", 33, SerialPortKind::Usb},
    {"ttyACM", 65, SerialPortKind::Acm},
};

// The kernel's names for the UART types a PC has (include/uapi/linux/serial_core.h).
constexpr const char* kUartNames[] = {"unknown", "8250",    "16450", "16550",    "16550A", "Cirrus",
                                      "16650",   "16650V2", "16750", "startech", "16C950"};

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const DefaultRange* RangeOf(const std::string& name, uint32_t& index) {
    for (const auto& r : kRanges) {
        const std::string prefix = r.Prefix;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.size() > 4 || !AllDigits(digits))
            return nullptr;
        index = static_cast<uint32_t>(std::stoul(digits));
        return &r;
    }
    return nullptr;
}

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

std::string Canonical(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::canonical(p, ec);
    return ec ? std::string() : c.string();
}

// The by-id names udev made, by the device they lead to.
std::map<std::string, std::string> ByIdNames(const SerialPortRoots& roots) {
    std::map<std::string, std::string> names;
    std::error_code ec;
    const fs::path folder = fs::path(roots.Dev) / "serial" / "by-id";
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        std::string target = Canonical(e.path());
        if (!target.empty())
            names.emplace(target, e.path().string());
    }
    return names;
}

// Fills in what sysfs knows about the tty `name`: its driver, and for a USB device the
// attributes of the USB device it belongs to.
void ReadSysfs(const SerialPortRoots& roots, const std::string& name, SerialPortInfo& info) {
    const fs::path classDir = fs::path(roots.Sys) / "class" / "tty" / name;
    std::error_code ec;
    info.Driver = fs::read_symlink(classDir / "device" / "driver", ec).filename().string();
    info.UartType = std::atoi(ReadLine(classDir / "type").c_str());
    std::string dev = Canonical(classDir / "device");
    const std::string sysRoot = Canonical(roots.Sys);
    // The tty hangs below a USB interface; the device with idVendor is a level or two up.
    for (fs::path p = dev; !dev.empty() && p.string().size() > sysRoot.size();
         p = p.parent_path()) {
        if (!fs::exists(p / "idVendor", ec))
            continue;
        info.VendorId = ReadLine(p / "idVendor");
        info.ProductId = ReadLine(p / "idProduct");
        info.Vendor = ReadLine(p / "manufacturer");
        info.Product = ReadLine(p / "product");
        info.Serial = ReadLine(p / "serial");
        break;
    }
}

bool IsTtyInSysfs(const SerialPortRoots& roots, const std::string& name) {
    std::error_code ec;
    return fs::exists(fs::path(roots.Sys) / "class" / "tty" / name, ec);
}

// `device` is a node in the /dev folder, or what a link leads to.
SerialPortInfo DescribeDevice(const SerialPortRoots& roots, const std::string& device,
                              const std::map<std::string, std::string>& byId) {
    SerialPortInfo info;
    info.Device = device;
    const std::string name = fs::path(device).filename().string();
    uint32_t index = 0;
    if (const DefaultRange* r = RangeOf(name, index))
        info.Kind = r->Kind;
    if (IsTtyInSysfs(roots, name) &&
        Canonical(fs::path(device).parent_path()) == Canonical(roots.Dev))
        ReadSysfs(roots, name, info);
    auto it = byId.find(Canonical(device));
    if (it != byId.end())
        info.ById = it->second;
    return info;
}

}  // namespace

std::string SerialPortRoots::PortsFolder() const {
    return Ports.empty() ? ::PortsFolder() : Ports;
}

std::string SerialPortInfo::Description() const {
    if (IsUsb()) {
        std::string text = Vendor;
        if (!Product.empty())
            text += (text.empty() ? "" : " ") + Product;
        if (text.empty())
            text = "USB serial " + VendorId + ":" + ProductId;
        if (!Serial.empty())
            text += " (" + Serial + ")";
        return text;
    }
    if (Kind == SerialPortKind::Network) {
        NetworkAddress a;
        std::string problem;
        if (!ParseNetworkAddress(Device, a, problem))
            return "network port";
        const bool v6 = a.Host.find(':') != std::string::npos;
        return "network port on " + (v6 ? "[" + a.Host + "]" : a.Host) + ":" +
               std::to_string(a.Port) + (a.Rfc2217 ? " (RFC 2217)" : " (raw TCP)");
    }
    if (!Present)
        return "absent";
    if (Device.rfind("/dev/pts/", 0) == 0)
        return "pseudo-terminal";
    if (UartType > 0) {
        const auto count = static_cast<int>(std::size(kUartNames));
        return std::string("built-in UART ") +
               (UartType < count ? kUartNames[UartType] : std::to_string(UartType).c_str());
    }
    return Kind == SerialPortKind::Acm ? "USB modem (ACM)" : "serial device";
}

uint32_t DefaultComNumber(const std::string& deviceName) {
    uint32_t index = 0;
    const DefaultRange* r = RangeOf(deviceName, index);
    return r != nullptr && index < 32 ? r->FirstCom + index : 0;
}

SerialPortInfo DescribeSerialDevice(const std::string& path, const SerialPortRoots& roots) {
    std::string resolved = Canonical(path);
    SerialPortInfo info =
        DescribeDevice(roots, resolved.empty() ? path : resolved, ByIdNames(roots));
    info.Present = !resolved.empty();
    return info;
}

std::vector<SerialPortInfo> ListSerialPorts(const SerialPortRoots& roots) {
    const auto byId = ByIdNames(roots);
    std::vector<SerialPortInfo> ports;
    std::vector<std::string> linked;
    std::vector<uint32_t> linkNumbers;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(roots.PortsFolder(), ec)) {
        const std::string name = e.path().filename().string();
        if (name.size() < 4 || name.compare(0, 3, "COM") != 0 ||
            !AllDigits(std::string_view(name).substr(3)) || name.size() > 6)
            continue;
        const auto n = static_cast<uint32_t>(std::stoul(name.substr(3)));
        if (n < 1 || n > 256)
            continue;
        std::error_code lec;
        if (!fs::is_symlink(e.symlink_status(lec))) {
            const std::string address = ReadAddressFile(e.path().string());
            if (address.empty())
                continue;
            SerialPortInfo info;
            info.Com = n;
            info.Kind = SerialPortKind::Network;
            info.Device = address;
            info.Link = e.path().string();
            linkNumbers.push_back(n);
            ports.push_back(std::move(info));
            continue;
        }
        const std::string resolved = Canonical(e.path());
        SerialPortInfo info = DescribeDevice(
            roots, resolved.empty() ? fs::read_symlink(e.path(), lec).string() : resolved, byId);
        info.Com = n;
        info.Kind = SerialPortKind::Link;
        info.Link = e.path().string();
        info.Present = !resolved.empty();
        if (info.Present)
            linked.push_back(resolved);
        linkNumbers.push_back(n);
        ports.push_back(std::move(info));
    }
    for (const auto& e : fs::directory_iterator(fs::path(roots.Sys) / "class" / "tty", ec)) {
        const std::string name = e.path().filename().string();
        uint32_t index = 0;
        const DefaultRange* r = RangeOf(name, index);
        const fs::path node = fs::path(roots.Dev) / name;
        std::error_code nec;
        if (r == nullptr || !fs::exists(node, nec))
            continue;
        const std::string resolved = Canonical(node);
        if (std::find(linked.begin(), linked.end(), resolved) != linked.end())
            continue;
        SerialPortInfo info = DescribeDevice(roots, node.string(), byId);
        // Most PCs have ttyS0-3 whether or not a UART is behind them; those answer nothing.
        if (r->Kind == SerialPortKind::Uart && info.UartType == 0)
            continue;
        info.Com = DefaultComNumber(name);
        // A link with the same number wins over the default name, so that number is not this.
        if (std::find(linkNumbers.begin(), linkNumbers.end(), info.Com) != linkNumbers.end())
            info.Com = 0;
        ports.push_back(std::move(info));
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        // Devices no number reaches go last.
        const uint32_t ka = a.Com == 0 ? UINT32_MAX : a.Com, kb = b.Com == 0 ? UINT32_MAX : b.Com;
        return ka != kb ? ka < kb : a.Device < b.Device;
    });
    return ports;
}

namespace {

// Why a character device is no serial line to pin, or "" when it is one. A serial line (a UART,
// a USB adapter, a pseudo-terminal) answers TCGETS; /dev/null and /dev/zero do not. The
// terminals of this machine itself answer it but are no line to a radio: /dev/tty (the
// caller's own terminal), /dev/console, /dev/ptmx and the virtual consoles /dev/ttyN.
std::string NotASerialLine(const std::string& path, const struct stat& st,
                           const SerialPortRoots& roots) {
    const unsigned maj = major(st.st_rdev), min = minor(st.st_rdev);
    if ((maj == 5 && min <= 2) || (maj == 4 && min < 64))
        return path + " is a terminal or console of this machine, not a serial device";
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        // Held exclusively (TIOCEXCL) by a program using it: only a terminal is, so it is one.
        std::error_code ec;
        const std::string subsystem =
            fs::read_symlink(roots.Sys + "/dev/char/" + std::to_string(maj) + ":" +
                                 std::to_string(min) + "/subsystem",
                             ec)
                .filename()
                .string();
        const bool ptySlave = maj >= 136 && maj <= 143;
        if (err == EBUSY && (subsystem == "tty" || ptySlave))
            return "";
        return path + ": " + std::strerror(err);
    }
    termios settings{};
    const bool terminal = ::tcgetattr(fd, &settings) == 0;
    const int err = errno;
    ::close(fd);
    return terminal ? "" : path + " is not a serial device (" + std::strerror(err) + ")";
}

}  // namespace

std::string PinComPort(uint32_t n, const std::string& device, std::string& note,
                       const SerialPortRoots& roots) {
    note.clear();
    if (n < 1 || n > 256)
        return "COM numbers go from 1 to 256";
    std::string path = device;
    if (path.find('/') == std::string::npos)
        path = roots.Dev + "/" + path;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? path + " does not exist" : path + ": " + std::strerror(errno);
    if (!S_ISCHR(st.st_mode))
        return path + " is not a serial device";
    if (std::string why = NotASerialLine(path, st, roots); !why.empty())
        return why;
    const SerialPortInfo info = DescribeSerialDevice(path, roots);
    std::string target = info.ById;
    if (target.empty()) {
        target = info.Device;
        note = "No stable name (/dev/serial/by-id) for " + info.Device + ": COM" +
               std::to_string(n) + " follows that name, not the cable.";
    }
    const std::string folder = roots.PortsFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string link = folder + "/COM" + std::to_string(n);
    const std::string temp = link + ".pin";
    std::error_code ignored;
    fs::remove(temp, ignored);
    fs::create_symlink(target, temp, ec);
    if (!ec)
        fs::rename(temp, link, ec);
    if (ec) {
        // The reason is the failed step's, not that of the tidying after it.
        fs::remove(temp, ignored);
        return "cannot make the link " + link + ": " + ec.message();
    }
    return "";
}

std::vector<std::string> TtylessCh34xDevices(const SerialPortRoots& roots) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e :
         fs::directory_iterator(fs::path(roots.Sys) / "bus" / "usb" / "devices", ec)) {
        const fs::path dev = e.path();
        if (ReadLine(dev / "idVendor") != "1a86")
            continue;
        const std::string product = ReadLine(dev / "idProduct");
        if (product != "7523" && product != "5523" && product != "7522")
            continue;
        bool hasTty = false;
        std::error_code wec;
        const std::string real = Canonical(dev);
        for (auto it = fs::recursive_directory_iterator(real, wec);
             !wec && it != fs::recursive_directory_iterator(); it.increment(wec)) {
            if (it.depth() > 3) {
                it.disable_recursion_pending();
                continue;
            }
            if (it->path().filename().string().rfind("ttyUSB", 0) == 0) {
                hasTty = true;
                break;
            }
        }
        if (!hasTty)
            found.push_back(e.path().filename().string());
    }
    return found;
}
