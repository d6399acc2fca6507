// rm7ux-sim as scripts use it: start, read the two lines it prints, talk, stop with SIGTERM.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "RawPort.h"
#include "TempDir.h"
#include "platform/PortNames.h"

extern char** environ;

namespace {

class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> args) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        args.insert(args.begin(), RM7UX_SIM_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, RM7UX_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = ::fdopen(fds[0], "r");
    }
    ~SimProcess() {
        Stop();
        if (out_ != nullptr)
            std::fclose(out_);
    }

    std::string Line() {
        char buf[256];
        if (out_ == nullptr || std::fgets(buf, sizeof buf, out_) == nullptr)
            return "";
        std::string s = buf;
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        return s;
    }
    // Exit status after SIGTERM, -1 when it did not end normally.
    int Stop() {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

TEST(RM7UXSim, ServesTheChosenRadioUntilTerminated) {
    TempDir dir;
    dir.PointConfigHere();
    SimProcess sim({"--model", "RM7VX", "--serial", "1234567", "--port", "150", "--field",
                    "PT=2700", "--lower-case-echo"});
    ASSERT_EQ(sim.Line(), "COM 150");
    std::string device = sim.Line();
    ASSERT_EQ(device.rfind("DEVICE /dev/", 0), 0u) << device;
    EXPECT_NE(ResolveComPort(150), "");
    {
        RawPort port(ResolveComPort(150));
        ASSERT_TRUE(port.IsOpen());
        port.Write("RV");
        EXPECT_EQ(port.ReadUntil(">"), "rv RM7VX V2.03\r\n>");
        port.Write("PN\r");
        EXPECT_EQ(port.ReadUntil(">"), "pn 0012D687 \r\n>");
        port.Write("PT\r");
        EXPECT_EQ(port.ReadUntil(">"), "pt 2700 \r\n>");
    }
    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(::lstat((dir.Path() + "/config/KorvaTech/CFG_RM7UX_Radio/ports/COM150").c_str(), &st),
              0);
}

TEST(RM7UXSim, RefusesBadOptions) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--model", "RM9"},
                                          {"--port", "0"},
                                          {"--field", "ZZ=1"},
                                          {"--frobnicate"}}) {
        std::vector<char*> argv{const_cast<char*>(RM7UX_SIM_PATH)};
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        ASSERT_EQ(posix_spawn(&pid, RM7UX_SIM_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args[0];
    }
}

}  // namespace
