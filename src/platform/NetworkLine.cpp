#include "platform/NetworkLine.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/FdIo.h"
#include "platform/PortArgument.h"
#include "platform/Rfc2217.h"

namespace {

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string Seconds(std::chrono::milliseconds bound) {
    const auto ms = bound.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

// ---------------------------------------------------------------------------------------------
// Name look-up: getaddrinfo_a runs it on the C library's own thread; a look-up that outlives its
// bound is cancelled, or left to finish on its own and freed by a later call.

struct Lookup {
    gaicb Request{};
    addrinfo Hints{};
    std::string Host, Service;
};

std::mutex& AbandonedMutex() {
    static std::mutex m;
    return m;
}
std::vector<std::unique_ptr<Lookup>>& Abandoned() {
    static std::vector<std::unique_ptr<Lookup>> v;
    return v;
}

void FreeFinishedLookups() {
    std::lock_guard lock(AbandonedMutex());
    auto& list = Abandoned();
    for (auto it = list.begin(); it != list.end();) {
        if (gai_error(&(*it)->Request) == EAI_INPROGRESS) {
            ++it;
            continue;
        }
        if ((*it)->Request.ar_result != nullptr)
            freeaddrinfo((*it)->Request.ar_result);
        it = list.erase(it);
    }
}

// The addresses of host, or none with the reason in `problem`.
std::vector<sockaddr_storage> LookUp(const NetworkAddress& a, Clock::time_point deadline,
                                     std::chrono::milliseconds bound, std::string& problem) {
    FreeFinishedLookups();
    auto lookup = std::make_unique<Lookup>();
    lookup->Host = a.Host;
    lookup->Service = std::to_string(a.Port);
    lookup->Hints.ai_family = AF_UNSPEC;
    lookup->Hints.ai_socktype = SOCK_STREAM;
    lookup->Hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    lookup->Request.ar_name = lookup->Host.c_str();
    lookup->Request.ar_service = lookup->Service.c_str();
    lookup->Request.ar_request = &lookup->Hints;
    gaicb* list[1] = {&lookup->Request};
    int rc = getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr);
    if (rc != 0) {
        problem =
            "the host name '" + a.Host + "' could not be looked up (" + gai_strerror(rc) + ")";
        return {};
    }
    while ((rc = gai_error(&lookup->Request)) == EAI_INPROGRESS) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            break;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        const gaicb* const wait[1] = {&lookup->Request};
        gai_suspend(wait, 1, &ts);
    }
    if (rc == EAI_INPROGRESS) {
        if (gai_cancel(&lookup->Request) == EAI_NOTCANCELED) {
            std::lock_guard lock(AbandonedMutex());
            Abandoned().push_back(std::move(lookup));
        } else if (lookup->Request.ar_result != nullptr) {
            freeaddrinfo(lookup->Request.ar_result);
        }
        problem = "looking up the host name '" + a.Host + "' took longer than " + Seconds(bound) +
                  " (no name server answered)";
        return {};
    }
    if (rc != 0) {
        problem = rc == EAI_NONAME || rc == EAI_NODATA || rc == EAI_FAIL
                      ? "the host name '" + a.Host + "' is not known"
                  : rc == EAI_AGAIN ? "the host name '" + a.Host +
                                          "' could not be looked up (no name server answered)"
                                    : "the host name '" + a.Host + "' could not be looked up (" +
                                          gai_strerror(rc) + ")";
        return {};
    }
    std::vector<sockaddr_storage> found;
    for (const addrinfo* ai = lookup->Request.ar_result; ai != nullptr; ai = ai->ai_next) {
        sockaddr_storage s{};
        std::memcpy(&s, ai->ai_addr, std::min<size_t>(ai->ai_addrlen, sizeof s));
        found.push_back(s);
    }
    freeaddrinfo(lookup->Request.ar_result);
    if (found.empty())
        problem = "the host name '" + a.Host + "' has no address";
    return found;
}

std::string AddressText(const sockaddr_storage& s) {
    char text[INET6_ADDRSTRLEN] = "";
    if (s.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(s).sin_addr, text, sizeof text);
    else
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(s).sin6_addr, text, sizeof text);
    return text;
}

// A connected non-blocking socket with TCP_NODELAY (each typed character is a packet: the radio
// echoes it before the next goes), or -1 with the reason.
int ConnectTo(const std::vector<sockaddr_storage>& addresses, const NetworkAddress& a,
              Clock::time_point deadline, std::chrono::milliseconds bound, std::string& problem) {
    int lastError = 0;
    for (const auto& s : addresses) {
        const int fd = ::socket(s.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const socklen_t len = s.ss_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        int err = 0;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&s), len) != 0) {
            err = errno;
            if (err == EINPROGRESS) {
                const short ev = fdio::WaitReady(fd, POLLOUT, &deadline);
                socklen_t errLen = sizeof err;
                if (ev == 0)
                    err = ETIMEDOUT;
                else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &errLen) != 0)
                    err = errno;
            }
        }
        if (err == 0)
            return fd;
        ::close(fd);
        lastError = err;
        if (err == ETIMEDOUT)
            break;
    }
    const std::string where = a.Host + (addresses.size() == 1 && AddressText(addresses[0]) != a.Host
                                            ? " (" + AddressText(addresses[0]) + ")"
                                            : "");
    if (lastError == ECONNREFUSED)
        problem = "the connection was refused: nothing listens on port " + std::to_string(a.Port) +
                  " of " + where;
    else if (lastError == ETIMEDOUT)
        problem = "no answer from " + where + " within " + Seconds(bound) +
                  " (the host is down or cut off, or a firewall drops the connection)";
    else if (lastError == ENETUNREACH || lastError == EHOSTUNREACH)
        problem = where + " cannot be reached from here (" + std::strerror(lastError) + ")";
    else
        problem = "the connection to " + where + " failed (" + std::strerror(lastError) + ")";
    return -1;
}

// ---------------------------------------------------------------------------------------------
// The connection.

class TcpLine : public RemoteLine {
  public:
    TcpLine(int fd, std::string address, bool rfc2217)
        : fd_(fd), address_(std::move(address)), rfc2217_(rfc2217) {}
    ~TcpLine() override { Close(); }

    bool IsOpen() const override { return fd_ >= 0; }
    void Close() override {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    bool GetLineSettings(LineSettings& s) const override {
        if (!rfc2217_ || !telnet_.LineConfirmed())
            return false;
        s.BaudRate = *telnet_.Baud();
        s.DataBits = *telnet_.DataSize();
        s.Parity = std::max(0, *telnet_.Parity() - 1);
        s.StopBits = *telnet_.StopSize() == 2 ? 2 : *telnet_.StopSize() == 3 ? 1 : 0;
        return true;
    }
    bool SetLineSettings(const LineSettings& s) override {
        if (!SetsLine())
            return false;
        if (!Send(telnet_.SetLine(s)))
            return false;
        // Answered at once by a server that takes the option; the settings hold before the next
        // data byte either way, since the server takes both in order.
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
        while (!telnet_.LineConfirmed() && !dead_ && Clock::now() < deadline) {
            if (fdio::WaitReady(fd_, POLLIN, &deadline) != 0)
                Fill();
        }
        notes_ =
            telnet_.LineConfirmed()
                ? "The server set the line to " + telnet_.ConfirmedText() + "."
                : "The server did not confirm the line settings (" + telnet_.ConfirmedText() + ").";
        return telnet_.LineConfirmed();
    }

    long ReadNow(char* buffer, size_t n) override {
        if (pending_.empty() && !dead_)
            Fill();
        if (pending_.empty())
            return dead_ ? -1 : 0;
        const size_t take = std::min(n, pending_.size());
        std::memcpy(buffer, pending_.data(), take);
        pending_.erase(0, take);
        return static_cast<long>(take);
    }
    LineReady WaitReadable(Clock::time_point deadline) override {
        for (;;) {
            if (!pending_.empty())
                return {true, dead_};
            if (dead_ || fd_ < 0)
                return {false, true};
            const short ev = fdio::WaitReady(
                fd_, POLLIN, deadline == Clock::time_point::max() ? nullptr : &deadline);
            if (ev == 0)
                return {};
            // Telnet's own bytes are no input: wait on when nothing else came.
            Fill();
        }
    }
    bool Write(const char* data, size_t n) override {
        return Send(rfc2217_ ? telnet_.Escape(data, n) : std::string(data, n));
    }
    bool Purge(bool output, bool input) override {
        if (dead_ || fd_ < 0)
            return false;
        if (input) {
            // What has come so far; what is still on its way arrives later, as on a long cable.
            while (Fill() > 0) {
            }
            pending_.clear();
        }
        return !SetsLine() || Send(telnet_.Purge(output, input));
    }
    int LastErrno() const override { return errno_; }

    const std::string& Address() const override { return address_; }
    bool SetsLine() const override { return rfc2217_ && telnet_.ComPortAccepted().value_or(false); }
    int ConnectRoundTripMs() const override { return roundTrip_; }
    std::string Failure() const override { return failure_; }
    std::string TakeNotes() override { return std::exchange(notes_, std::string()); }

    // The telnet negotiation: true once the server answered the COM port option, false (with
    // the reason) when it closed, or said nothing until the deadline.
    bool Negotiate(Clock::time_point deadline, std::chrono::milliseconds bound,
                   std::string& problem) {
        const Clock::time_point start = Clock::now();
        if (!Send(telnet_.Opening())) {
            problem = failure_;
            return false;
        }
        while (!telnet_.ComPortAccepted() && !dead_ && Clock::now() < deadline) {
            if (fdio::WaitReady(fd_, POLLIN, &deadline) != 0)
                Fill();
        }
        if (dead_) {
            problem = failure_;
            return false;
        }
        if (!telnet_.ComPortAccepted()) {
            problem = "the server did not answer the RFC 2217 negotiation within " +
                      Seconds(bound) + " (if it serves raw TCP, write tcp://)";
            return false;
        }
        roundTrip_ = std::max(roundTrip_, MsSince(start));
        if (!*telnet_.ComPortAccepted())
            notes_ =
                "The server refuses the COM port option (RFC 2217): the line settings are "
                "the server's.";
        return true;
    }
    void SetConnectRoundTrip(int ms) { roundTrip_ = ms; }

  private:
    // Takes what has arrived without waiting: the count of line bytes added, 0 when nothing came,
    // -1 once the connection is gone.
    long Fill() {
        if (dead_ || fd_ < 0)
            return -1;
        char raw[4096];
        long added = 0;
        for (;;) {
            const ssize_t r = ::recv(fd_, raw, sizeof raw, MSG_DONTWAIT);
            if (r > 0) {
                // Acknowledged at once, not up to 40 ms later: a server that holds small packets
                // until the last is acknowledged (Nagle) would otherwise hold every reply's
                // second byte that long. The kernel forgets this after each acknowledgement.
                int one = 1;
                ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
                const size_t before = pending_.size();
                if (rfc2217_) {
                    std::string reply;
                    telnet_.Receive(raw, static_cast<size_t>(r), pending_, reply);
                    if (!reply.empty())
                        Send(reply);
                } else {
                    pending_.append(raw, static_cast<size_t>(r));
                }
                Remember(pending_.substr(before));
                added += static_cast<long>(pending_.size() - before);
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return added;
            Lost(r == 0 ? 0 : errno);
            return added > 0 ? added : -1;
        }
    }

    bool Send(const std::string& bytes) {
        if (dead_ || fd_ < 0)
            return false;
        int err = 0;
        if (fdio::WriteAll(fd_, bytes.data(), bytes.size(), true, err))
            return true;
        errno_ = err;
        Lost(err);
        return false;
    }

    // The last line the server sent, kept for the words a server closes with ("Port already in
    // use").
    void Remember(const std::string& data) {
        recent_ += data;
        if (recent_.size() > 160)
            recent_.erase(0, recent_.size() - 160);
    }
    std::string LastWords() const {
        std::string text = recent_;
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
            text.pop_back();
        const size_t start = text.find_last_of("\r\n");
        if (start != std::string::npos)
            text.erase(0, start + 1);
        const bool words =
            text.size() >= 4 && text.find(' ') != std::string::npos && text.back() != '>' &&
            std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
        return words ? text : "";
    }

    void Lost(int err) {
        dead_ = true;
        errno_ = err;
        // A server that says why and closes may be reset by our next write before its words are
        // read: whatever it sent is taken first.
        char raw[4096];
        ssize_t r = 0;
        while (fd_ >= 0 && (r = ::recv(fd_, raw, sizeof raw, MSG_DONTWAIT)) > 0) {
            std::string data, reply;
            if (rfc2217_)
                telnet_.Receive(raw, static_cast<size_t>(r), data, reply);
            else
                data.assign(raw, static_cast<size_t>(r));
            pending_ += data;
            Remember(data);
        }
        const std::string words = LastWords();
        if (err == 0 || !words.empty()) {
            failure_ = address_ + ": the server closed the connection" +
                       (words.empty() ? "" : ", saying '" + words + "'") +
                       " (another client may have taken the port, or the server stopped)";
        } else if (err == ECONNRESET || err == EPIPE) {
            failure_ = address_ + ": the connection was lost (the server reset it)";
        } else if (err == ETIMEDOUT) {
            failure_ = address_ + ": the connection was lost (the server took nothing for 5 s)";
        } else {
            failure_ = address_ + ": the connection was lost (" + std::strerror(err) + ")";
        }
    }

    int fd_ = -1;
    std::string address_;
    bool rfc2217_ = false;
    TelnetComPort telnet_;
    std::string pending_;  // line bytes received and not yet read
    std::string recent_;
    bool dead_ = false;
    int errno_ = 0;
    int roundTrip_ = 0;
    std::string failure_;
    std::string notes_;
};

}  // namespace

std::unique_ptr<RemoteLine> ConnectRemoteLine(const std::string& address, std::string& problem,
                                              std::chrono::milliseconds bound) {
    NetworkAddress a;
    if (!ParseNetworkAddress(address, a, problem))
        return nullptr;
    const std::string name = a.Text();
    const Clock::time_point lookupStart = Clock::now();
    const std::vector<sockaddr_storage> found = LookUp(a, lookupStart + bound, bound, problem);
    if (found.empty()) {
        problem = name + ": " + problem;
        return nullptr;
    }
    const Clock::time_point start = Clock::now();
    const int fd = ConnectTo(found, a, start + bound, bound, problem);
    if (fd < 0) {
        problem = name + ": " + problem;
        return nullptr;
    }
    auto line = std::make_unique<TcpLine>(fd, name, a.Rfc2217);
    // A connect takes one round trip (its SYN and the answer): the first estimate.
    line->SetConnectRoundTrip(MsSince(start));
    if (a.Rfc2217 && !line->Negotiate(Clock::now() + bound, bound, problem)) {
        if (problem.rfind(name, 0) != 0)
            problem = name + ": " + problem;
        return nullptr;
    }
    return line;
}
