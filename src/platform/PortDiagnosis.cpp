#include "platform/PortDiagnosis.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/SerialPorts.h"
#include "platform/UserFolders.h"

namespace {

bool IsLive(const std::string& pid);
std::string BrlttyAdvice();

bool IsNumber(const char* s) {
    if (*s == '\0')
        return false;
    for (; *s != '\0'; ++s) {
        if (*s < '0' || *s > '9')
            return false;
    }
    return true;
}

std::vector<std::string> DirectoryEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* e = ::readdir(dir))
        names.emplace_back(e->d_name);
    ::closedir(dir);
    return names;
}

std::string LinkTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return "";
    std::vector<char> buf(4096);
    ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size() - 1);
    return n > 0 ? std::string(buf.data(), static_cast<size_t>(n)) : "";
}

// "COM7 (/dev/ttyUSB0)", or for a link in the ports folder "COM7 (/dev/ttyUSB0, linked from
// ...)", so the user sees both the name the program uses and the device behind it.
std::string Subject(const std::string& comName, const std::string& path) {
    if (comName == path)
        return path;
    std::string target = LinkTarget(path);
    if (target.empty())
        return comName + " (" + path + ")";
    return comName + " (" + target + ", linked from " + path + ")";
}

std::string ModeText(mode_t mode) {
    std::string s = S_ISCHR(mode) ? "c" : S_ISREG(mode) ? "-" : "?";
    const char* rwx = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        s += (mode & (0400 >> i)) ? rwx[i] : '-';
    return s;
}

std::string GroupName(gid_t gid) {
    const group* g = ::getgrgid(gid);
    return g != nullptr ? g->gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid) {
    const passwd* p = ::getpwuid(uid);
    return p != nullptr ? p->pw_name : std::to_string(uid);
}

bool ProcessHasGroup(gid_t gid) {
    if (::getegid() == gid)
        return true;
    int n = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(std::max(n, 0)));
    n = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return n > 0 && std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

// Membership as the user database has it now, which a running session does not pick up.
bool UserListedInGroup(uid_t uid, gid_t gid) {
    const passwd* p = ::getpwuid(uid);
    if (p == nullptr)
        return false;
    std::string name = p->pw_name;
    gid_t primary = p->pw_gid;
    int n = 64;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    if (::getgrouplist(name.c_str(), primary, groups.data(), &n) < 0) {
        groups.resize(static_cast<size_t>(n));
        if (::getgrouplist(name.c_str(), primary, groups.data(), &n) < 0)
            return false;
    }
    return std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

// The serial adapters that are there, so a user whose COM number is wrong can pick the right
// one. Built-in /dev/ttyS ports always exist, so they would only hide the interesting ones.
std::string PresentAdapters() {
    std::vector<std::string> found;
    for (const SerialPortInfo& port : ListSerialPorts()) {
        if (!port.Present || port.Kind == SerialPortKind::Uart ||
            (port.Kind == SerialPortKind::Link && !port.IsUsb()))
            continue;
        std::string entry = port.Device;
        if (port.Com != 0)
            entry += " (COM" + std::to_string(port.Com) + ")";
        found.push_back(entry);
    }
    std::sort(found.begin(), found.end());
    if (found.empty())
        return "No USB serial adapter (/dev/ttyUSB*, /dev/ttyACM*) is present." + BrlttyAdvice();
    std::string text = "Serial adapters present:";
    for (const auto& f : found)
        text += " " + f;
    return text + "." + BrlttyAdvice();
}

std::string NoSuchDevice(const std::string& comName, const std::string& path, int err) {
    const std::string link = PortsFolder() + "/" + comName;
    if (path.empty()) {
        return comName +
               " maps to no device: COM1-COM32 are /dev/ttyS0-31, COM33-COM64 /dev/ttyUSB0-31, "
               "COM65-COM96 /dev/ttyACM0-31; for another device make a link " +
               link + ".\n" + PresentAdapters();
    }
    std::string target = LinkTarget(path);
    if (!target.empty()) {
        return comName + " is linked to " + target + " (" + path +
               "), which does not exist: the device is unplugged or has another name now.\n" +
               PresentAdapters();
    }
    struct stat st {};
    if ((err == ENXIO || err == ENODEV) && ::stat(path.c_str(), &st) == 0) {
        return Subject(comName, path) + " has no hardware behind it (" + std::strerror(err) +
               ").\n" + PresentAdapters();
    }
    if (comName == path)
        return path + " does not exist.\n" + PresentAdapters();
    return comName + " is " + path + ", which does not exist: the adapter is unplugged or has " +
           "another name (a link " + link + " can point at it).\n" + PresentAdapters();
}

std::string PermissionDenied(const std::string& comName, const std::string& path) {
    std::string text = "Permission denied: " + Subject(comName, path);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return text + ".";
    const std::string group = GroupName(st.st_gid);
    text += " belongs to user " + UserName(st.st_uid) + ", group " + group + ", mode " +
            ModeText(st.st_mode) + ".\n";
    if ((st.st_mode & 060) != 060) {
        return text +
               "Its group may not read and write it; only its owner can open it (a udev "
               "rule can give the group access).";
    }
    const uid_t uid = ::getuid();
    if (UserListedInGroup(uid, st.st_gid) && !ProcessHasGroup(st.st_gid)) {
        return text + "You were added to group " + group +
               " after this session began: log out and in again (or start a shell with "
               "'newgrp " +
               group + "').";
    }
    return text + "Your user must be in group " + group + ": sudo usermod -aG " + group + " " +
           UserName(uid) + ", then log out and in again.";
}

std::string Busy(const std::string& comName, const std::string& path) {
    std::vector<PortHolder> holders = FindPortHolders(path);
    // The lock is what refused us; others may only watch the line (or, for an emulated radio,
    // be the device itself).
    if (std::any_of(holders.begin(), holders.end(), [](const PortHolder& h) { return h.Locked; }))
        std::erase_if(holders, [](const PortHolder& h) { return !h.Locked; });
    if (holders.empty()) {
        return Subject(comName, path) +
               " is in use by another program, whose process cannot be seen from here (it may "
               "belong to another user).";
    }
    return DescribePortHeld(comName, path, holders);
}

bool ProcessRuns(const std::string& command) {
    for (const auto& pid : DirectoryEntries("/proc")) {
        if (!IsNumber(pid.c_str()))
            continue;
        std::ifstream comm("/proc/" + pid + "/comm");
        std::string name;
        if (std::getline(comm, name) && name == command && IsLive(pid))
            return true;
    }
    return false;
}

// brltty on some desktops takes CH340/CH341 cables for braille displays: the ttyUSB device
// disappears right after it is plugged in.
std::string BrlttyAdvice() {
    if (TtylessCh34xDevices().empty() || !ProcessRuns("brltty"))
        return "";
    return "\nA CH340/CH341 USB serial adapter is plugged in but has no ttyUSB device, and brltty "
           "is running: brltty has claimed it as a braille display. Remove brltty (sudo apt "
           "remove brltty) or disable its udev rule, then plug the cable in again.";
}

// Processes holding an flock on the file, from /proc/locks: "1: FLOCK ADVISORY WRITE <pid>
// <major>:<minor>:<inode> 0 EOF" (a waiting request has "->" after the number).
std::vector<pid_t> LockHolders(const struct stat& device) {
    std::vector<pid_t> pids;
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, id;
        fields >> number >> kind;
        if (kind != "FLOCK")
            continue;
        fields >> mode >> access >> pid >> id;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(id.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3)
            continue;
        if (major == ::major(device.st_dev) && minor == ::minor(device.st_dev) &&
            inode == device.st_ino)
            pids.push_back(static_cast<pid_t>(std::atol(pid.c_str())));
    }
    return pids;
}

// The index N of /dev/pts/N, or -1 for any other path.
int PtyIndex(const std::string& path) {
    const std::string prefix = "/dev/pts/";
    if (path.compare(0, prefix.size(), prefix) != 0 || !IsNumber(path.c_str() + prefix.size()))
        return -1;
    return std::atoi(path.c_str() + prefix.size());
}

// Whether the process holds the other side of pseudo-terminal `index`: it is the device there
// (an emulated radio), not a program competing for the line. The kernel names the pty of a
// master descriptor in its fdinfo as "tty-index".
bool HoldsPtyMaster(const std::string& pid, int index) {
    const std::string fdFolder = "/proc/" + pid + "/fd";
    for (const auto& fd : DirectoryEntries(fdFolder)) {
        if (!IsNumber(fd.c_str()))
            continue;
        const std::string target = LinkTarget(fdFolder + "/" + fd);
        if (target != "/dev/ptmx" && target != "/dev/pts/ptmx")
            continue;
        std::ifstream info("/proc/" + pid + "/fdinfo/" + fd);
        std::string line;
        while (std::getline(info, line)) {
            if (line.rfind("tty-index:", 0) == 0 && std::atoi(line.c_str() + 10) == index)
                return true;
        }
    }
    return false;
}

// A zombie keeps its /proc entry but holds nothing; one that ended meanwhile has none.
bool IsLive(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text;
    std::getline(stat, text);
    const size_t close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size())
        return false;
    const char state = text[close + 2];
    return state != 'Z' && state != 'X' && state != 'x';
}

}  // namespace

std::vector<PortHolder> FindPortHolders(const std::string& path) {
    std::vector<PortHolder> holders;
    struct stat device {};
    if (path.empty() || ::stat(path.c_str(), &device) != 0)
        return holders;
    const std::string self = std::to_string(::getpid());
    const std::vector<pid_t> locked = LockHolders(device);
    char real[4096];
    const int ptyIndex = ::realpath(path.c_str(), real) != nullptr ? PtyIndex(real) : -1;
    for (const auto& pid : DirectoryEntries("/proc")) {
        if (!IsNumber(pid.c_str()) || pid == self)
            continue;
        const std::string fdFolder = "/proc/" + pid + "/fd";
        for (const auto& fd : DirectoryEntries(fdFolder)) {
            struct stat st {};
            if (!IsNumber(fd.c_str()) || ::stat((fdFolder + "/" + fd).c_str(), &st) != 0)
                continue;
            if (st.st_dev != device.st_dev || st.st_ino != device.st_ino)
                continue;
            if (!IsLive(pid))
                break;
            PortHolder h;
            h.Pid = static_cast<pid_t>(std::stol(pid));
            h.Locked = std::find(locked.begin(), locked.end(), h.Pid) != locked.end();
            // The device's own keeping of the line; a lock is a client's, even in that process.
            if (!h.Locked && ptyIndex >= 0 && HoldsPtyMaster(pid, ptyIndex))
                break;
            std::ifstream comm("/proc/" + pid + "/comm");
            // No name to read: it ended while we looked.
            if (std::getline(comm, h.Command))
                holders.push_back(h);
            break;
        }
    }
    std::sort(holders.begin(), holders.end(),
              [](const PortHolder& a, const PortHolder& b) { return a.Pid < b.Pid; });
    return holders;
}

std::string DescribePortOpenFailure(const std::string& comName, const std::string& path,
                                    SerialOpenError error, int err) {
    switch (error) {
        case SerialOpenError::NoSuchDevice:
            return NoSuchDevice(comName, path, err);
        case SerialOpenError::PermissionDenied:
            return PermissionDenied(comName, path);
        case SerialOpenError::Busy:
            return Busy(comName, path);
        case SerialOpenError::Other:
            return "Cannot open " + Subject(comName, path) + ": " + std::strerror(err) + ".";
        case SerialOpenError::None:
            break;
    }
    if (path.empty())
        return NoSuchDevice(comName, path, ENOENT);
    return Subject(comName, path) + " is not a serial device.";
}

std::string DescribePortHeld(const std::string& comName, const std::string& path,
                             const std::vector<PortHolder>& holders) {
    std::string list;
    bool modemManager = false;
    for (const auto& h : holders) {
        if (!list.empty())
            list += ", ";
        list += std::to_string(h.Pid);
        if (!h.Command.empty())
            list += " (" + h.Command + ")";
        modemManager = modemManager || h.Command == "ModemManager";
    }
    std::string text = Subject(comName, path) + " is in use by " +
                       (holders.size() == 1 ? "process " : "processes ") + list +
                       ": close that program and try again.";
    if (modemManager) {
        const SerialPortInfo info = DescribeSerialDevice(path);
        const std::string vendor = info.VendorId.empty() ? "xxxx" : info.VendorId;
        const std::string product = info.ProductId.empty() ? "xxxx" : info.ProductId;
        text +=
            "\nModemManager probes new serial adapters with AT commands, and the M82KD modem "
            "answers them. Keep it off this adapter with a udev rule, for instance in "
            "/etc/udev/rules.d/99-rm7ux.rules:\n"
            "ATTRS{idVendor}==\"" +
            vendor + "\", ATTRS{idProduct}==\"" + product +
            "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n"
            "then: sudo udevadm control --reload && sudo udevadm trigger, and plug the cable in "
            "again.";
    }
    return text;
}
