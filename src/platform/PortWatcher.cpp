#include "platform/PortWatcher.h"

#include <linux/netlink.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string_view>

#include "platform/UserFolders.h"

namespace {

constexpr unsigned kKernelEvents = 1;  // the netlink group of the kernel's own uevents

void Add(int epoll, int fd) {
    if (epoll < 0 || fd < 0)
        return;
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = fd;
    ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &e);
}

// "add@/devices/.../tty/ttyUSB0\0ACTION=add\0...\0SUBSYSTEM=tty\0...": whether it is a tty's.
bool IsTtyEvent(const char* data, size_t size) {
    for (size_t at = 0; at < size;) {
        std::string_view field(data + at, ::strnlen(data + at, size - at));
        if (field == "SUBSYSTEM=tty")
            return true;
        at += field.size() + 1;
    }
    return false;
}

}  // namespace

PortWatcher::PortWatcher(const std::string& portsFolder, bool deviceEvents)
    : folder_(portsFolder.empty() ? PortsFolder() : portsFolder) {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (deviceEvents)
        uevents_ =
            ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelEvents;
    if (uevents_ >= 0 &&
        ::bind(uevents_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        // Some sandboxes give no device events; the ports folder is still watched.
        ::close(uevents_);
        uevents_ = -1;
    }
    Add(epoll_, uevents_);
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    Add(epoll_, inotify_);
    WatchFolder();
}

PortWatcher::~PortWatcher() {
    for (int fd : {uevents_, inotify_, epoll_}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void PortWatcher::WatchFolder() {
    if (inotify_ < 0)
        return;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    watch_ = ::inotify_add_watch(
        inotify_, folder_.c_str(),
        // A network port's address file edited in place is written and closed, not created.
        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
            IN_CLOSE_WRITE);
}

bool PortWatcher::TakeChanges() {
    bool changed = false;
    alignas(inotify_event) char buf[8192];
    ssize_t n = 0;
    while (uevents_ >= 0 && (n = ::recv(uevents_, buf, sizeof buf, 0)) > 0)
        changed = changed || IsTtyEvent(buf, static_cast<size_t>(n));
    bool folderGone = false;
    while (inotify_ >= 0 && (n = ::read(inotify_, buf, sizeof buf)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            // Removing a watch queues an IN_IGNORED for it: taken as the folder going, that one
            // would remove the new watch too, and so on for ever.
            if (e->wd != watch_)
                continue;
            folderGone = folderGone || (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED));
            changed = true;
        }
    }
    if (folderGone) {
        if (watch_ >= 0)
            ::inotify_rm_watch(inotify_, watch_);
        WatchFolder();
    }
    return changed;
}
