#pragma once
// The readings of antenna alignment: raw RSSI as fast as the line allows, with the radio
// identified again (and its temperature read) every few seconds, so that another radio put on
// the cable is noticed rather than read as the first. The alignment view and `rm7ux watch` take
// the same readings from it. It holds the port from its first reading until Release.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

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
