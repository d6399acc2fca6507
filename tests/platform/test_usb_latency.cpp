// Low latency for USB adapters: asked for at open, given back at close, refusals reported. A
// pseudo-terminal stands in for the adapter and a recording driver for its ioctls.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/PseudoTerminal.h"
#include "platform/SerialDevice.h"

namespace {

struct RecordingDriver {
    int Flags = 0x1000;  // some flag of the driver's own, which must survive
    int RefuseSet = 0;   // errno for TIOCSSERIAL, 0 to accept
    std::vector<std::string> Calls;

    SerialFlagsIo Io(bool adapter) {
        return {[this](int, serial_struct& s) {
                    Calls.push_back("get");
                    s.flags = Flags;
                    return 0;
                },
                [this](int, const serial_struct& s) {
                    Calls.push_back("set " + std::to_string(s.flags));
                    if (RefuseSet != 0)
                        return RefuseSet;
                    Flags = s.flags;
                    return 0;
                },
                [adapter](const std::string&) { return adapter; }};
    }
};

TEST(UsbLatency, AskedAtOpenGivenBackAtCloseAndRefusalsReported) {
    PseudoTerminal pty;
    const std::string low = std::to_string(0x1000 | ASYNC_LOW_LATENCY);
    struct Case {
        bool Adapter;
        int InitialFlags;
        int RefuseSet;
        LowLatency Result;
        std::vector<std::string> Calls;  // open and close
        int FlagsAfter;
    };
    const Case cases[] = {
        {true, 0x1000, 0, LowLatency::Set, {"get", "set " + low, "set 4096"}, 0x1000},
        {true,
         0x1000 | ASYNC_LOW_LATENCY,
         0,
         LowLatency::AlreadyLow,
         {"get"},
         0x1000 | ASYNC_LOW_LATENCY},
        {true, 0x1000, EINVAL, LowLatency::Refused, {"get", "set " + low}, 0x1000},
        {false, 0x1000, 0, LowLatency::NotUsb, {}, 0x1000},
    };
    for (const auto& c : cases) {
        RecordingDriver driver;
        driver.Flags = c.InitialFlags;
        driver.RefuseSet = c.RefuseSet;
        SerialDevice device;
        device.SetSerialFlagsIo(driver.Io(c.Adapter));
        ASSERT_TRUE(device.Open(pty.SlavePath()));
        EXPECT_EQ(device.Latency().Result, c.Result);
        device.Close();
        EXPECT_EQ(driver.Calls, c.Calls);
        EXPECT_EQ(driver.Flags, c.FlagsAfter);
    }
    LowLatencyState refused;
    refused.Result = LowLatency::Refused;
    refused.Errno = EINVAL;
    refused.LatencyTimerMs = 16;
    EXPECT_EQ(DescribeLatency(refused),
              "USB latency: the driver refused low latency (Invalid argument), latency timer 16 "
              "ms: every echo and reply may wait that long");
}

}  // namespace
