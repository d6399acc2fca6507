#pragma once
// Tells when serial ports may have come or gone: kernel device events for ttys (what udev itself
// listens to) and changes of the ports folder, whose links and address files raise no device
// events. One file
// descriptor to watch (a window gives it to its event loop); no thread of its own.

#include <string>

class PortWatcher {
  public:
    // portsFolder "" is the per-user ports folder, made when missing so it can be watched.
    // Without deviceEvents only the folder is watched.
    explicit PortWatcher(const std::string& portsFolder = "", bool deviceEvents = true);
    ~PortWatcher();
    PortWatcher(const PortWatcher&) = delete;
    PortWatcher& operator=(const PortWatcher&) = delete;

    // Readable when something happened; -1 when nothing can be watched.
    int Fd() const { return epoll_; }
    // Takes what is pending without waiting: true when a tty device or a ports-folder entry
    // came, went or changed.
    bool TakeChanges();

  private:
    void WatchFolder();

    std::string folder_;
    int epoll_ = -1;
    int uevents_ = -1;  // netlink, kernel device events
    int inotify_ = -1;
    int watch_ = -1;
};
