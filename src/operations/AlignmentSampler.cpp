#include "operations/AlignmentSampler.h"

#include <utility>

#include "common/StrUtils.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "operations/RadioOperations.h"
#include "platform/Interruption.h"

AlignmentSampler::AlignmentSampler(int64_t serial, std::string versionText)
    : serial_(serial), versionText_(std::move(versionText)), start_(Clock::now()) {
    // A caller that has the port open and the radio identified hands both over.
    TVVComm2* link = RM7UXLink();
    holding_ = link != nullptr && link->IsOpen();
    identified_ = holding_;
    identifiedAt_ = start_;
}

AlignmentSampler::~AlignmentSampler() {
    Release();
}

void AlignmentSampler::Release() {
    if (holding_)
        CloseRadioPort();
    holding_ = false;
    identified_ = false;
}

AlignmentSampler::Reading AlignmentSampler::Next() {
    Reading r;
    if (!holding_) {
        holding_ = OpenRadioPort();
        identified_ = false;
    }
    const Clock::time_point now = Clock::now();
    r.Seconds = std::chrono::duration<double>(now - start_).count();
    if (!holding_)
        return r;
    bool readTemperature = !temperatureRead_;
    if (!identified_ || now - identifiedAt_ >= IdentifyEvery) {
        RadioIdentity radio;
        if (!EnsureRadioIdentified() || !IdentifyOnLink(radio)) {
            identified_ = false;
            return r;
        }
        if (radio.Serial != serial_ || radio.VersionText != versionText_) {
            Release();
            r.Kind = State::AnotherRadio;
            r.Serial = radio.Serial;
            r.VersionText = radio.VersionText;
            return r;
        }
        identified_ = true;
        identifiedAt_ = Clock::now();
        readTemperature = true;
    }
    if (readTemperature) {
        temperatureRead_ = true;
        std::string rt;
        if (QueryField("RT", rt, 2, 2)) {
            if (const std::string celsius = TemperatureText(rt); !celsius.empty()) {
                temperature_ = TryStrToInt(celsius);
                r.NewTemperature = temperature_.has_value();
            }
        }
    }
    r.TemperatureC = temperature_;
    std::string rr;
    if (!QueryField("RR", rr, 2, 2)) {
        identified_ = false;
        return r;
    }
    const std::optional<int64_t> rssi = TryHexToInt64(rr);
    if (!rssi) {
        identified_ = false;
        return r;
    }
    r.Kind = State::Reading;
    r.Rssi = static_cast<int>(*rssi);
    return r;
}

AlignmentThread::AlignmentThread(int64_t serial, std::string versionText,
                                 std::chrono::milliseconds retry)
    : sampler_(serial, std::move(versionText)), retry_(retry) {
    // While the thread runs, the link reports to its queue and never pumps a window's events.
    display_ = [this](uint8_t code) {
        lastState_ = code;
        std::lock_guard lock(mutex_);
        // Every exchange reports; the display needs each change, not each repeat.
        if (reports_.empty() || reports_.back() != code)
            reports_.push_back(code);
    };
    state_ = [this] { return lastState_.load(); };
    SwapRM7UXReports(display_, state_);
    lastState_ = state_ ? state_() : 0;
    if (TVVComm2* link = RM7UXLink()) {
        processedEvents_ = link->AllowAppProcessMessages;
        link->AllowAppProcessMessages = false;
    }
    thread_ = std::thread([this] { Run(); });
}

AlignmentThread::~AlignmentThread() {
    Stop();
}

void AlignmentThread::Run() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                break;
        }
        if (PendingInterruption() != 0)
            break;
        AlignmentSampler::Reading r = sampler_.Next();
        const AlignmentSampler::State kind = r.Kind;
        std::unique_lock lock(mutex_);
        readings_.push_back(std::move(r));
        if (kind == AlignmentSampler::State::AnotherRadio)
            break;
        // A silent line is tried again after a while, not hammered.
        if (kind == AlignmentSampler::State::NoReading &&
            wake_.wait_for(lock, retry_, [this] { return stopping_; }))
            break;
    }
    sampler_.Release();
}

std::vector<AlignmentSampler::Reading> AlignmentThread::Take() {
    std::vector<AlignmentSampler::Reading> taken;
    std::lock_guard lock(mutex_);
    taken.swap(readings_);
    return taken;
}

void AlignmentThread::Stop() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    TDisplayCommsError display = display_;
    TComsStateQuery state = state_;
    SwapRM7UXReports(display, state);
    if (TVVComm2* link = RM7UXLink())
        link->AllowAppProcessMessages = processedEvents_;
    // The display learns what the link reported only now: it may look at the link, which was
    // the thread's until the join.
    for (uint8_t code : reports_)
        if (display_)
            display_(code);
    reports_.clear();
}
