#pragma once
// Runs the built rm7ux as a user would: a separate process with the test's environment (so its
// ports folder), standard input from /dev/null, its output collected.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "WaitFor.h"

extern char** environ;

struct CliResult {
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

// `folder` holds the captured output while the program runs.
inline CliResult RunRm7ux(const std::vector<std::string>& args, const std::string& folder,
                          std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
    const std::string outPath = folder + "/cli.out";
    const std::string errPath = folder + "/cli.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all = args;
    all.insert(all.begin(), RM7UX_CLI_PATH);
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    CliResult result;
    int spawned = posix_spawn(&pid, RM7UX_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return result;
    int status = 0;
    bool ended = WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, deadline);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    } else if (WIFEXITED(status)) {
        result.Status = WEXITSTATUS(status);
    }
    result.Out = ReadWholeFile(outPath);
    result.Err = ReadWholeFile(errPath);
    return result;
}
