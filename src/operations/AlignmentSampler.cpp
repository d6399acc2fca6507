#include "operations/AlignmentSampler.h"

#include <utility>

#include "common/StrUtils.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "operations/RadioOperations.h"

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
