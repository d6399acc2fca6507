// The radio as rm7ux-sim and `rm7ux simulate` serve it: every stop signal removes the link and
// gives the caller its signal mask back; served for hours, it keeps no events.

#include "emulator/ServeRadio.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "RawPort.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "platform/PortNames.h"

namespace {

bool Blocked(int signal) {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, signal) == 1;
}

TEST(ServeUntilSignalled, EachStopSignalRemovesTheLinkAndRestoresTheMask) {
    TempDir dir;
    dir.PointConfigHere();
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        std::mutex mutex;
        std::vector<std::string> seen;
        EmulatorOptions options;
        options.OnEvent = [&](const RadioEvent& e) {
            std::lock_guard lock(mutex);
            seen.push_back(e.Text());
        };
        std::atomic<const RadioEmulator*> radio{nullptr};
        bool served = false, blockedAfter = true;
        std::ostringstream out, err;
        // Only the serving thread's mask is touched, and the signal is sent to it alone.
        std::thread server([&] {
            served = ServeUntilSignalled(options, {}, out, err, "test",
                                         [&](const RadioEmulator& r) { radio = &r; });
            blockedAfter = Blocked(signal);
        });
        ASSERT_TRUE(WaitFor([&] { return radio != nullptr; })) << err.str();
        const std::string link = ResolveComPort(radio.load()->ComPort());
        {
            RawPort port(link);
            ASSERT_TRUE(port.IsOpen());
            port.Write("RV");
            EXPECT_EQ(port.ReadUntil(">"), "RV RM7UH V1.12A\r\n>");
        }
        EXPECT_TRUE(WaitFor([&] {
            std::lock_guard lock(mutex);
            return seen == std::vector<std::string>{"rv"};
        }));
        EXPECT_TRUE(radio.load()->Events().empty());
        pthread_kill(server.native_handle(), signal);
        server.join();
        EXPECT_TRUE(served) << signal;
        EXPECT_FALSE(blockedAfter) << signal;
        struct stat st {};
        EXPECT_NE(::lstat(link.c_str(), &st), 0) << signal;
    }
}

}  // namespace
