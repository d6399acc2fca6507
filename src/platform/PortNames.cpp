#include "platform/PortNames.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/PortArgument.h"
#include "platform/UserFolders.h"

namespace fs = std::filesystem;

std::string ComPortName(uint32_t n) {
    return "COM" + std::to_string(n);
}

std::string DefaultComPortPath(uint32_t n) {
    if (n >= 1 && n <= 32)
        return "/dev/ttyS" + std::to_string(n - 1);
    if (n >= 33 && n <= 64)
        return "/dev/ttyUSB" + std::to_string(n - 33);
    if (n >= 65 && n <= 96)
        return "/dev/ttyACM" + std::to_string(n - 65);
    return "";
}

std::string ResolveComPort(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0)
        return "";
    uint32_t n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000)
            return "";
        n = n * 10 + static_cast<uint32_t>(name[i] - '0');
    }
    std::string link = PortsFolder() + "/" + name;
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0)
        return link;
    return DefaultComPortPath(n);
}

std::string ResolveComPort(uint32_t n) {
    return ResolveComPort(ComPortName(n));
}

bool AttachComPort(uint32_t n, const std::string& target) {
    std::error_code ec;
    fs::create_directories(PortsFolder(), ec);
    std::string link = PortsFolder() + "/" + ComPortName(n);
    // A link made beside and renamed over the old one, so a reader never sees no link.
    std::string temp = link + ".new" + std::to_string(::getpid());
    fs::remove(temp, ec);
    fs::create_symlink(target, temp, ec);
    if (ec)
        return false;
    fs::rename(temp, link, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

uint32_t AttachFreeComPort(uint32_t first, const std::string& target) {
    std::error_code ec;
    fs::create_directories(PortsFolder(), ec);
    for (uint32_t n = first; n <= 256; ++n) {
        struct stat st {};
        std::string def = DefaultComPortPath(n);
        if (!def.empty() && ::stat(def.c_str(), &st) == 0)
            continue;
        // symlink() fails on an existing name, so of two starting at once only one gets n.
        std::string link = PortsFolder() + "/" + ComPortName(n);
        if (::symlink(target.c_str(), link.c_str()) == 0)
            return n;
        if (errno != EEXIST)
            return 0;
    }
    return 0;
}

void DetachComPort(uint32_t n, const std::string& target) {
    std::error_code ec;
    std::string link = PortsFolder() + "/" + ComPortName(n);
    if (fs::read_symlink(link, ec) == fs::path(target) && !ec)
        fs::remove(link, ec);
}

std::string ReadAddressFile(const std::string& path) {
    struct stat st {};
    // A line, not a log someone pointed here by mistake.
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size > 4096)
        return "";
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        NetworkAddress address;
        std::string problem;
        return ParseNetworkAddress(line, address, problem) ? address.Text() : "";
    }
    return "";
}

std::string ComPortAddress(uint32_t n) {
    return ReadAddressFile(PortsFolder() + "/" + ComPortName(n));
}

std::string WriteAddressFile(uint32_t n, const std::string& address, const std::string& folder) {
    if (n < 1 || n > 256)
        return "COM numbers go from 1 to 256";
    NetworkAddress parsed;
    std::string problem;
    if (!ParseNetworkAddress(address, parsed, problem))
        return problem;
    const std::string dir = folder.empty() ? PortsFolder() : folder;
    std::error_code ec;
    fs::create_directories(dir, ec);
    const std::string file = dir + "/" + ComPortName(n);
    // Written beside and renamed over, so the window watching the folder never reads half a line.
    const std::string temp = file + ".new" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::trunc);
        out << parsed.Text() << "\n";
        if (!out.flush())
            return "cannot write " + temp;
    }
    fs::rename(temp, file, ec);
    if (ec) {
        fs::remove(temp, ec);
        return "cannot make " + file + ": " + ec.message();
    }
    return "";
}

uint32_t AttachFreeAddress(uint32_t first, const std::string& address) {
    NetworkAddress parsed;
    std::string problem;
    if (!ParseNetworkAddress(address, parsed, problem))
        return 0;
    std::error_code ec;
    fs::create_directories(PortsFolder(), ec);
    const std::string temp = PortsFolder() + "/.address" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::trunc);
        out << parsed.Text() << "\n";
        if (!out.flush())
            return 0;
    }
    uint32_t found = 0;
    for (uint32_t n = first; n <= 256 && found == 0; ++n) {
        struct stat st {};
        std::string def = DefaultComPortPath(n);
        if (!def.empty() && ::stat(def.c_str(), &st) == 0)
            continue;
        // link() fails on an existing name, so of two programs at once only one gets n.
        const std::string file = PortsFolder() + "/" + ComPortName(n);
        if (::link(temp.c_str(), file.c_str()) == 0)
            found = n;
        else if (errno != EEXIST)
            break;
    }
    fs::remove(temp, ec);
    return found;
}
