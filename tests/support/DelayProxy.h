#pragma once
// A TCP proxy on the loopback that holds every byte for a while in each direction, as a cellular
// link does: `delay` each way makes a round trip of twice that. It can also cut its connections,
// as a network that drops in the middle of an exchange. One thread of its own; each connection
// goes to `upstream` on the loopback.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class DelayProxy {
  public:
    using Clock = std::chrono::steady_clock;

    DelayProxy(uint16_t upstream, std::chrono::milliseconds delay)
        : upstream_(upstream), delay_(delay) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 8);
        socklen_t len = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        thread_ = std::thread([this] { Run(); });
    }
    ~DelayProxy() {
        stop_ = true;
        Wake();
        thread_.join();
        for (auto& p : pairs_)
            CloseBoth(p);
        ::close(listen_);
        ::close(wake_);
    }
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    uint16_t Port() const { return port_; }
    std::string Address(const std::string& scheme = "tcp") const {
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }
    // Connections accepted so far, and those still open.
    int Accepted() const { return accepted_; }
    int Open() const { return open_; }
    // Drops every connection at once, both ways, with whatever was on its way.
    void Cut() {
        cut_ = true;
        Wake();
    }

  private:
    struct Chunk {
        Clock::time_point Due;
        std::string Bytes;
    };
    struct Pair {
        int Client = -1, Server = -1;
        std::deque<Chunk> ToServer, ToClient;
        bool ClientDone = false, ServerDone = false;
    };

    void Wake() {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
    }
    void CloseBoth(Pair& p) {
        if (p.Client >= 0)
            ::close(p.Client);
        if (p.Server >= 0)
            ::close(p.Server);
        p.Client = p.Server = -1;
    }
    int ConnectUpstream() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(upstream_);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return -1;
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return fd;
    }

    void Run() {
        while (!stop_) {
            if (cut_.exchange(false)) {
                for (auto& p : pairs_)
                    CloseBoth(p);
                pairs_.clear();
                open_ = 0;
            }
            std::vector<pollfd> fds{{wake_, POLLIN, 0}, {listen_, POLLIN, 0}};
            Clock::time_point next = Clock::now() + std::chrono::seconds(1);
            for (auto& p : pairs_) {
                fds.push_back({p.Client, static_cast<short>(p.ClientDone ? 0 : POLLIN), 0});
                fds.push_back({p.Server, static_cast<short>(p.ServerDone ? 0 : POLLIN), 0});
                for (auto* q : {&p.ToServer, &p.ToClient}) {
                    if (!q->empty() && q->front().Due < next)
                        next = q->front().Due;
                }
            }
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  next - Clock::now() + std::chrono::microseconds(999))
                                  .count();
            ::poll(fds.data(), fds.size(), static_cast<int>(std::max<int64_t>(wait, 0)));
            if (fds[0].revents & POLLIN) {
                uint64_t v;
                [[maybe_unused]] ssize_t n = ::read(wake_, &v, sizeof v);
            }
            if (fds[1].revents & POLLIN) {
                const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    const int server = ConnectUpstream();
                    if (server < 0) {
                        ::close(client);
                    } else {
                        int one = 1;
                        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                        pairs_.push_back({client, server, {}, {}, false, false});
                        ++accepted_;
                        ++open_;
                    }
                }
            }
            const Clock::time_point now = Clock::now();
            for (size_t i = 0; i < pairs_.size(); ++i) {
                Pair& p = pairs_[i];
                const size_t at = 2 + 2 * i;
                if (at + 1 < fds.size()) {
                    Take(fds[at], p.Client, p.ToServer, p.ClientDone, now);
                    Take(fds[at + 1], p.Server, p.ToClient, p.ServerDone, now);
                }
                Deliver(p.ToServer, p.Server, p.ClientDone);
                Deliver(p.ToClient, p.Client, p.ServerDone);
            }
            // A side that closed ends the pair once what it sent has been passed on.
            for (auto it = pairs_.begin(); it != pairs_.end();) {
                const bool done = (it->ClientDone && it->ToServer.empty()) ||
                                  (it->ServerDone && it->ToClient.empty());
                if (done) {
                    CloseBoth(*it);
                    it = pairs_.erase(it);
                    --open_;
                } else {
                    ++it;
                }
            }
        }
    }

    void Take(const pollfd& pfd, int fd, std::deque<Chunk>& queue, bool& done,
              Clock::time_point now) {
        if (done || (pfd.revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            return;
        char buf[4096];
        const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        // A network adds no acknowledgement delay of its own: ser2net's Nagle must not wait on us.
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
        if (n > 0)
            queue.push_back({now + delay_, std::string(buf, static_cast<size_t>(n))});
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            done = true;
    }
    void Deliver(std::deque<Chunk>& queue, int fd, bool /*sourceDone*/) {
        const Clock::time_point now = Clock::now();
        while (!queue.empty() && queue.front().Due <= now) {
            const std::string& bytes = queue.front().Bytes;
            [[maybe_unused]] ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            queue.pop_front();
        }
    }

    uint16_t upstream_;
    std::chrono::milliseconds delay_;
    int listen_ = -1;
    int wake_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
    std::vector<Pair> pairs_;  // the proxy's thread only
    std::atomic<bool> stop_{false};
    std::atomic<bool> cut_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> open_{0};
};
