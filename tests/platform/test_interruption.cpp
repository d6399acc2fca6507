// A signal raised inside nested holds waits for the last one; the cleanups run newest first, once.

#include <gtest/gtest.h>
#include <poll.h>

#include <csignal>
#include <string>
#include <vector>

#include "platform/Interruption.h"

TEST(Interruption, HeldUntilTheLastHoldThenCleanupsNewestFirst) {
    std::vector<std::string> done;
    InstallInterruptionHandlers(false);
    SetInterruptionDelivery([&done](int signal) {
        done.push_back(SignalName(signal));
        RunInterruptionCleanups();
    });
    {
        InterruptionCleanup first([&done] { done.push_back("first"); });
        InterruptionCleanup second([&done] { done.push_back("second"); });
        {
            InterruptionHold outer;
            {
                InterruptionHold inner;
                std::raise(SIGTERM);
                std::raise(SIGINT);
                EXPECT_EQ(PendingInterruption(), SIGTERM) << "the first signal wins";
                pollfd wake{InterruptionWakeFd(), POLLIN, 0};
                EXPECT_EQ(::poll(&wake, 1, 0), 1) << "an event loop is woken";
            }
            EXPECT_TRUE(InterruptionHeld());
            EXPECT_TRUE(done.empty());
        }
        EXPECT_EQ(done, (std::vector<std::string>{"SIGTERM", "second", "first"}));
        RunInterruptionCleanups();
        EXPECT_EQ(done.size(), 3u) << "each cleanup runs once";
    }
    RemoveInterruptionHandlers();
    SetInterruptionDelivery(nullptr);
    EXPECT_EQ(PendingInterruption(), 0);
}
