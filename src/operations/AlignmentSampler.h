#pragma once
// The readings of antenna alignment: raw RSSI as fast as the line allows, with the radio
// identified again (and its temperature read) every few seconds, so that another radio put on
// the cable is noticed rather than read as the first. The alignment view and `rm7ux watch` take
// the same readings from it. It holds the port from its first reading until Release.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class AlignmentSampler {
  public:
    static constexpr std::chrono::seconds IdentifyEvery{3};

    // The radio that was identified: its serial number and identification text.
    AlignmentSampler(int64_t serial, std::string versionText);
    ~AlignmentSampler();
    AlignmentSampler(const AlignmentSampler&) = delete;
    AlignmentSampler& operator=(const AlignmentSampler&) = delete;

    enum class State {
        Reading,       // a reading came
        NoReading,     // the radio did not answer; the next call tries again
        AnotherRadio,  // another radio answers now: the port is released and sampling ends
    };
    struct Reading {
        State Kind = State::NoReading;
        std::optional<int> Rssi;
        // The temperature as last read (every IdentifyEvery), and whether this reading read it.
        std::optional<int> TemperatureC;
        bool NewTemperature = false;
        double Seconds = 0;       // since the sampler was made
        int64_t Serial = -1;      // AnotherRadio: the radio that answers now
        std::string VersionText;  // and its identification
    };

    // One reading: the port opened when it is not held, the radio identified when due.
    Reading Next();
    // Closes the port when held.
    void Release();
    bool Holding() const { return holding_; }

  private:
    using Clock = std::chrono::steady_clock;
    int64_t serial_;
    std::string versionText_;
    bool holding_ = false;
    bool identified_ = false;
    Clock::time_point start_;
    Clock::time_point identifiedAt_;
    std::optional<int> temperature_;
    bool temperatureRead_ = false;
};

// The sampler on a thread of its own, so that the line never waits for a window to draw: the
// readings queue up until taken. The link's reports of its state are queued and handed to the
// display that was registered when Stop gives the link back. Nothing else may use the link from
// construction until Stop. Sampling ends by itself when another radio answers or a signal is
// pending.
class AlignmentThread {
  public:
    AlignmentThread(int64_t serial, std::string versionText, std::chrono::milliseconds retry);
    ~AlignmentThread();
    AlignmentThread(const AlignmentThread&) = delete;
    AlignmentThread& operator=(const AlignmentThread&) = delete;

    // The readings since the last call, oldest first.
    std::vector<AlignmentSampler::Reading> Take();
    // Ends sampling after the exchange in progress, releases the port and gives the link back.
    void Stop();

  private:
    void Run();

    AlignmentSampler sampler_;
    std::chrono::milliseconds retry_;
    // Before the thread starts, its own hooks; once they are registered, the ones they replaced.
    std::function<void(uint8_t)> display_;
    std::function<uint8_t()> state_;
    bool processedEvents_ = false;
    std::atomic<uint8_t> lastState_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<AlignmentSampler::Reading> readings_;
    std::vector<uint8_t> reports_;
    std::thread thread_;
};
