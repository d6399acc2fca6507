#pragma once
// The project's programs run as a user runs them: a separate process with the test's
// environment (so its ports folder), either to its end with its output collected, or left
// running in the background and read a line at a time. Every wait has a deadline.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "WaitFor.h"

extern char** environ;

struct RunResult {
    int Status = -1;  // exit status; -1 when it did not end by itself
    std::string Out;
    std::string Err;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace subprocess_detail {

// `args` with the program first; pid -1 when it could not be started.
inline pid_t Spawn(std::vector<std::string> args, const posix_spawn_file_actions_t& actions) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

// The exit status once `pid` has ended; killed at the deadline, and then -1, as for a signal.
inline int Reap(pid_t pid, std::chrono::milliseconds deadline) {
    int status = 0;
    if (!WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, deadline)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace subprocess_detail

// Runs `args` (the program first) to its end, standard input from /dev/null; its output is
// collected through the files `outputs`.out and `outputs`.err.
// `started`, when given, learns the process id as soon as it runs.
inline RunResult RunProgram(const std::vector<std::string>& args, const std::string& outputs,
                            std::chrono::milliseconds deadline = std::chrono::seconds(30),
                            const std::function<void(pid_t)>& started = nullptr) {
    const std::string outPath = outputs + ".out";
    const std::string errPath = outputs + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = subprocess_detail::Spawn(args, actions);
    posix_spawn_file_actions_destroy(&actions);
    RunResult result;
    if (pid <= 0)
        return result;
    if (started)
        started(pid);
    result.Status = subprocess_detail::Reap(pid, deadline);
    result.Out = ReadWholeFile(outPath);
    result.Err = ReadWholeFile(errPath);
    return result;
}

// A program left running, as a script keeps a simulator: `args` with the program first; its
// standard output is read a line at a time, and it is ended with SIGTERM.
class Subprocess {
  public:
    explicit Subprocess(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        pid_ = subprocess_detail::Spawn(args, actions);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = ::fdopen(fds[0], "r");
    }
    ~Subprocess() {
        Stop();
        if (out_ != nullptr)
            std::fclose(out_);
    }
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // The next line it prints, without its end; "" once it has closed its output.
    std::string Line() {
        char buf[256];
        if (out_ == nullptr || std::fgets(buf, sizeof buf, out_) == nullptr)
            return "";
        std::string s = buf;
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        return s;
    }
    pid_t Pid() const { return pid_; }
    void Signal(int signal) {
        if (pid_ > 0)
            ::kill(pid_, signal);
    }
    // Killed outright (SIGKILL), as a flat battery ends it.
    void Kill() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        subprocess_detail::Reap(pid_, std::chrono::seconds(10));
        pid_ = -1;
    }
    // Exit status after SIGTERM, -1 when it did not end normally (or by the deadline).
    int Stop(std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, SIGTERM);
        const int status = subprocess_detail::Reap(pid_, deadline);
        pid_ = -1;
        return status;
    }

  private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};
