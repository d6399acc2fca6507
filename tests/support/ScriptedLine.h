#pragma once
// A line in memory under the link, for protocol tests that need no pseudo-terminal: every byte
// written goes to a script, which answers with bytes that arrive after a set delay (one way, so
// a round trip is twice it). Remote, it stands for a device server's connection.

#include <deque>
#include <functional>
#include <string>
#include <thread>

#include "platform/LineTransport.h"

class ScriptedLine : public RemoteLine {
  public:
    using Script = std::function<std::string(char written)>;

    ScriptedLine(Script script, std::chrono::milliseconds oneWay, bool remote = true,
                 int connectRoundTripMs = 0)
        : script_(std::move(script)),
          oneWay_(oneWay),
          remote_(remote),
          connectRoundTrip_(connectRoundTripMs) {}

    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    bool GetLineSettings(LineSettings&) const override { return false; }
    bool SetLineSettings(const LineSettings&) override { return false; }

    long ReadNow(char* buffer, size_t n) override {
        if (!open_)
            return -1;
        size_t got = 0;
        while (got < n && !arriving_.empty() && arriving_.front().first <= Clock::now()) {
            buffer[got++] = arriving_.front().second;
            arriving_.pop_front();
        }
        return static_cast<long>(got);
    }
    LineReady WaitReadable(Clock::time_point deadline) override {
        if (!open_)
            return {false, true};
        const Clock::time_point next =
            arriving_.empty() ? deadline : std::min(deadline, arriving_.front().first);
        if (next != Clock::time_point::max())
            std::this_thread::sleep_until(next);
        return {!arriving_.empty() && arriving_.front().first <= Clock::now(), false};
    }
    bool Write(const char* data, size_t n) override {
        if (!open_)
            return false;
        for (size_t i = 0; i < n; ++i) {
            // The answer leaves once the byte has arrived, and takes as long to come back.
            const Clock::time_point due = Clock::now() + 2 * oneWay_;
            for (char c : script_(data[i]))
                arriving_.emplace_back(due, c);
        }
        return true;
    }
    bool Purge(bool, bool input) override {
        if (input)
            arriving_.clear();
        return true;
    }
    int LastErrno() const override { return 0; }

    bool IsRemote() const override { return remote_; }
    const std::string& Address() const override { return address_; }
    bool SetsLine() const override { return false; }
    int ConnectRoundTripMs() const override { return connectRoundTrip_; }
    std::string Failure() const override { return open_ ? "" : address_ + ": closed"; }

  private:
    Script script_;
    std::chrono::milliseconds oneWay_;
    bool remote_;
    int connectRoundTrip_;
    bool open_ = true;
    std::string address_ = "tcp://scripted:1";
    std::deque<std::pair<Clock::time_point, char>> arriving_;
};
