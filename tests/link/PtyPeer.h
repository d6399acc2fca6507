#pragma once
// The far end of a port for link tests: a pseudo-terminal whose device side is answered by a
// handler on its own thread. Attached as COM n in the test's ports folder.

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/PortNames.h"
#include "platform/PseudoTerminal.h"

class PtyPeer {
  public:
    // Gets every chunk the port side wrote; whatever it returns is sent back.
    using Handler = std::function<std::string(const std::string& received)>;

    explicit PtyPeer(uint32_t comPort, Handler handler = nullptr)
        : port_(comPort), handler_(std::move(handler)) {
        AttachComPort(port_, pty_.SlavePath());
        thread_ = std::thread([this] { Run(); });
    }
    ~PtyPeer() {
        stop_ = true;
        thread_.join();
        DetachComPort(port_, pty_.SlavePath());
    }

    void Send(const std::string& bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pty_.MasterFd() >= 0)
            WriteAll(bytes);
    }
    void HangUp() {
        std::lock_guard<std::mutex> lock(mutex_);
        pty_.HangUp();
    }
    std::string Received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    void ClearReceived() {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.clear();
    }

  private:
    void WriteAll(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t r = ::write(pty_.MasterFd(), bytes.data() + done, bytes.size() - done);
            if (r <= 0)
                return;
            done += static_cast<size_t>(r);
        }
    }
    void Run() {
        while (!stop_) {
            int fd;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                fd = pty_.MasterFd();
            }
            if (fd < 0) {
                usleep(1000);
                continue;
            }
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 5) <= 0 || (p.revents & POLLIN) == 0) {
                if (p.revents & (POLLHUP | POLLERR))
                    usleep(1000);
                continue;
            }
            char buf[512];
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                continue;
            std::string chunk(buf, static_cast<size_t>(n));
            std::string reply;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                received_ += chunk;
            }
            if (handler_)
                reply = handler_(chunk);
            if (!reply.empty())
                Send(reply);
        }
    }

    uint32_t port_;
    Handler handler_;
    PseudoTerminal pty_;
    std::mutex mutex_;
    std::string received_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
