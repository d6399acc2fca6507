#include "platform/HelpViewer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "common/StrUtils.h"

namespace {

struct Candidate {
    const char* Name;
    THelpViewerKind Kind;
};

// In order of preference: xchm can open a file at a context number.
constexpr Candidate kCandidates[] = {{"xchm", THelpViewerKind::XChm},
                                     {"kchmviewer", THelpViewerKind::KChmViewer}};

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Reads exactly `size` bytes unless the other side closes first; returns the count read.
size_t ReadFull(int fd, void* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, static_cast<char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

}  // namespace

THelpViewer FindHelpViewer(const std::string& searchPath) {
    const auto folders = SplitString(searchPath, ':');
    for (const auto& candidate : kCandidates) {
        for (const auto& folder : folders) {
            // A relative PATH entry would depend on the working folder of the moment.
            if (folder.empty() || folder.front() != '/')
                continue;
            std::string program = folder;
            if (program.back() != '/')
                program += '/';
            program += candidate.Name;
            if (IsExecutableFile(program))
                return {candidate.Kind, program};
        }
    }
    return {};
}

THelpViewer FindHelpViewer() {
    const char* path = std::getenv("PATH");
    return FindHelpViewer(path != nullptr ? path : "");
}

std::vector<std::string> HelpViewerArguments(const THelpViewer& viewer, const std::string& file,
                                             std::optional<long> context) {
    std::vector<std::string> args{viewer.Program};
    if (viewer.Kind == THelpViewerKind::XChm && context.has_value()) {
        args.push_back("--contextid");
        args.push_back(std::to_string(*context));
    }
    // Not every viewer understands "--": a name that starts with "-" is made a path instead.
    args.push_back(!file.empty() && file.front() == '-' ? "./" + file : file);
    return args;
}

long StartHelpViewer(const THelpViewer& viewer, const std::string& file,
                     std::optional<long> context) {
    if (!viewer.Found())
        return 0;
    // Everything the children need is prepared here: after fork only async-signal-safe calls.
    std::vector<std::string> args = HelpViewerArguments(viewer, file, context);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The pipe carries the viewer's pid from the middle child, then an errno if exec fails; it
    // closes by itself (O_CLOEXEC) when exec succeeds.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return 0;
    pid_t middle = fork();
    if (middle < 0) {
        close(fds[0]);
        close(fds[1]);
        return 0;
    }
    if (middle == 0) {
        close(fds[0]);
        setsid();
        pid_t viewerPid = fork();
        if (viewerPid == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            int devNull = open("/dev/null", O_RDONLY);
            if (devNull >= 0) {
                dup2(devNull, STDIN_FILENO);
                close(devNull);
            }
            execv(argv[0], argv.data());
            int error = errno;
            (void)!write(fds[1], &error, sizeof error);
            _exit(127);
        }
        int pidValue = viewerPid;
        (void)!write(fds[1], &pidValue, sizeof pidValue);
        _exit(0);
    }
    close(fds[1]);
    // The middle child exits at once, so the viewer is adopted by init and never left a zombie.
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int pidValue = 0;
    int error = 0;
    long result = 0;
    if (ReadFull(fds[0], &pidValue, sizeof pidValue) == sizeof pidValue && pidValue > 0 &&
        ReadFull(fds[0], &error, sizeof error) == 0)
        result = pidValue;
    close(fds[0]);
    return result;
}
