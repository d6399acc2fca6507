// A signal to rm7ux (or the window) while the radio is keyed or half-way through a program, sent
// by the radio itself at the moment it records the command; and a transmitter whose "O4" echo is
// lost. The radio must end un-keyed, with working settings equal to its flash.

#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "CliFixture.h"
#include "SignalAt.h"
#include "cli/RadioSession.h"

namespace {

size_t CountOf(const std::vector<std::string>& events, const std::string& event) {
    return static_cast<size_t>(std::count(events.begin(), events.end(), event));
}

// Whether the descriptor `fd` of process `pid` is a file whose name holds `part` ("" for any).
bool OnFileNamed(pid_t pid, uint64_t fd, const std::string& part) {
    if (part.empty())
        return true;
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(
        "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd), ec);
    return !ec && target.filename().string().find(part) != std::string::npos;
}

// Runs `args` (the program first) traced and, the first time it enters the system call `nr`,
// sends it `signal` and lets it go on: a signal at one exact moment, which no timing could give.
// Its output is collected as RunProgram collects it; Status -1 when the call never came.
// `traced` says whether this machine let it be traced at all (a container may forbid ptrace).
RunResult SignalAtSystemCall(const std::vector<std::string>& args, long nr, int signal,
                             const std::string& outputs, bool& traced,
                             const std::string& onFileNamed = "") {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = outputs + ".out", errPath = outputs + ".err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only what is safe between fork and exec in a process with threads.
        ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    RunResult result;
    int status = 0;
    const auto stopped = [&] {
        return WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; },
                       std::chrono::seconds(30));
    };
    traced = pid > 0 && stopped() && WIFSTOPPED(status);  // at its exec
    bool sent = false, ended = pid > 0 && !traced, hung = false;
    if (traced) {
        ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
        int pass = 0;
        while (!sent && !ended) {
            ::ptrace(PTRACE_SYSCALL, pid, nullptr, pass);
            pass = 0;
            if (!stopped()) {
                ended = hung = true;
            } else if (!WIFSTOPPED(status)) {
                ended = true;
            } else if (WSTOPSIG(status) == (SIGTRAP | 0x80)) {
                __ptrace_syscall_info info{};
                if (::ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info) > 0 &&
                    info.op == PTRACE_SYSCALL_INFO_ENTRY &&
                    info.entry.nr == static_cast<uint64_t>(nr) &&
                    OnFileNamed(pid, info.entry.args[0], onFileNamed)) {
                    ::kill(pid, signal);
                    ::ptrace(PTRACE_DETACH, pid, nullptr, 0);
                    sent = true;
                }
            } else {
                pass = WSTOPSIG(status);  // a signal of its own goes on to it
            }
        }
    }
    if (sent) {
        result.Status = subprocess_detail::Reap(pid, std::chrono::seconds(30));
    } else if (hung) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    result.Out = ReadWholeFile(outPath);
    result.Err = ReadWholeFile(errPath);
    return result;
}

class InterruptTest : public CliTest {
  protected:
    void StartSignalling(SignalAt& at, RadioPersonality radio = RadioPersonality::RM7UH()) {
        EmulatorOptions options;
        options.Radio = std::move(radio);
        options.OnEvent = [&at](const RadioEvent& e) { at.Look(e); };
        radio_ = std::make_unique<RadioEmulator>(options);
        radio_->Start();
    }
    CliResult RunUntilSignalled(std::vector<std::string> args, SignalAt& at) {
        return RunProgram(args, dir_.File("run"), std::chrono::seconds(60),
                          [&at](pid_t pid) { at.Started(pid); });
    }
    std::vector<std::string> Rm7ux(std::vector<std::string> args) {
        args.insert(args.begin(), {RM7UX_CLI_PATH, "--port", std::to_string(Radio().ComPort())});
        return args;
    }
    // Ended with 128 + n, the radio released after it was keyed and unchanged.
    void ExpectEndedUnkeyed(const CliResult& r, const SignalAt& at) {
        EXPECT_TRUE(at.Sent);
        EXPECT_EQ(r.Status, 128 + at.Signal) << r.Err;
        EXPECT_FALSE(Radio().Transmitting());
        const auto events = Radio().EventTexts();
        const auto on = std::find(events.begin(), events.end(), "tx on");
        EXPECT_NE(std::find(on, events.end(), "tx off"), events.end());
        EXPECT_TRUE(Has(r.Err, "interrupted by SIG")) << r.Err;
        ExpectWorkingEqualsFlash();
    }
    void ExpectWorkingEqualsFlash() {
        for (const char* code :
             {"PF", "PD", "PM", "PS", "PW", "PL0", "PL1", "PL2", "PL3", "PP", "PO", "SC",
              "PB", "PC", "PA", "P1", "P2", "P3",  "P4",  "PR",  "PT",  "PN", "PV"}) {
            EXPECT_EQ(Radio().Field(code), Radio().FlashField(code)) << code;
        }
    }
};

TEST_F(InterruptTest, ASignalWhileTheReadHasKeyedTheRadioWaitsForItsRelease) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        SignalAt& at = Signalling("tx on", signal);
        StartSignalling(at);
        CliResult r = RunUntilSignalled(Rm7ux({"read"}), at);
        ExpectEndedUnkeyed(r, at);
        EXPECT_EQ(r.Out, "") << "no record from an interrupted read";
    }
}

TEST_F(InterruptTest, AnInterruptedProgramFinishesItsFieldThenResetsTheRadio) {
    SignalAt& at = Signalling("write PM", SIGTERM);
    StartSignalling(at);
    const std::string file = File("radio.RM7UX");
    ASSERT_EQ(Run({"save", file}).Status, 0);
    // The radio before the program: other calibration in working settings and flash alike.
    RadioPersonality before = Radio().Radio();
    for (RadioFields* f : {&before.Fields, &before.Flash}) {
        f->PF = 0x11;
        f->PD = 0x22;
        f->PM = 0x33;
        f->PS = 0x44;
    }
    Radio().SwapRadio(before);
    Radio().ClearEvents();

    CliResult r = RunUntilSignalled(Rm7ux({"program", file}), at);
    EXPECT_EQ(r.Status, 128 + SIGTERM) << r.Err;
    const auto events = Radio().EventTexts();
    EXPECT_EQ(CountOf(events, "write PM 80"), 1u);
    EXPECT_FALSE(std::any_of(events.begin(), events.end(), [](const std::string& e) {
        return e.rfind("write PS", 0) == 0;
    })) << "no field after the signal";
    EXPECT_EQ(CountOf(events, "flash"), 0u);
    EXPECT_EQ(CountOf(events, "reset"), 1u);
    EXPECT_EQ(Radio().Field("PM"), 0x33u) << "the working settings are the flash's again";
    ExpectWorkingEqualsFlash();
    EXPECT_TRUE(Has(r.Err, "interrupted by SIGTERM")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "the radio was reset and runs on its flash")) << r.Err;
}

// "O3" taken, the echo of "O4" lost: the read fails, and a carriage return and "O4" follow.
// When that echo is lost too, the operator is told.
// A watch is meant to be ended by a signal: it stops between readings, closes the port and ends
// as done, with every reading whole.
TEST_F(InterruptTest, AWatchEndsBetweenReadingsOnASignal) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        SignalAt& at = Signalling("read RT", signal);
        StartSignalling(at);
        CliResult r = RunUntilSignalled(Rm7ux({"watch", "--interval", "0", "--csv"}), at);
        EXPECT_TRUE(at.Sent);
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_TRUE(Has(r.Out, ",42,25\r\n")) << r.Out;
        EXPECT_TRUE(r.Out.ends_with("\r\n")) << r.Out;
    }
}

// A signal while save writes its file: the file is finished whole and the trial copy and the
// temporary file are gone, and the run ends on the signal saying so. The moment is the temporary
// file's fsync, with the trial copy beside it (the journal syncs files of its own before).
TEST_F(InterruptTest, ASignalWhileSaveWritesLeavesNoTrialOrTemporaryFile) {
    StartRadio();
    const std::string file = File("radio.RM7UX");
    ASSERT_EQ(Run({"save", file}).Status, 0);
    ASSERT_EQ(Run({"set", "power", "1W"}).Status, 0);  // so the new file differs from the old
    bool traced = false;
    RunResult r = SignalAtSystemCall(
        {RM7UX_CLI_PATH, "--port", std::to_string(Radio().ComPort()), "save", file, "--force"},
        SYS_fsync, SIGTERM, dir_.File("traced"), traced, "radio.RM7UX");
    if (!traced)
        GTEST_SKIP() << "this machine does not let a test trace a program (ptrace)";
    EXPECT_EQ(r.Status, 128 + SIGTERM) << r.Err;
    EXPECT_TRUE(Has(r.Err, "rm7ux: interrupted by SIGTERM\n")) << r.Err;
    EXPECT_TRUE(Has(r.Err, "rm7ux: '" + file + "' was saved\n")) << r.Err;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.find("radio.RM7UX") == std::string::npos || name == "radio.RM7UX") << name;
    }
    CliResult same = Run({"diff", file});
    EXPECT_EQ(same.Status, 0) << same.Out << same.Err;
}

TEST_F(InterruptTest, ALostEchoOfTheReleaseIsFollowedByAnotherRelease) {
    for (int lost : {1, -1}) {
        SCOPED_TRACE(lost);
        StartRadio();
        RadioFaults faults;
        faults.LoseEchoOf = "O4";
        faults.LoseEchoTimes = lost;
        Radio().SetFaults(faults);
        const std::string log = File("link.log");
        CliResult r = Run({"--log", log, "read"});
        EXPECT_EQ(r.Status, 1) << r.Err;
        EXPECT_FALSE(Radio().Transmitting());
        EXPECT_EQ(CountOf(Radio().EventTexts(), "tx off"), 2u);
        EXPECT_EQ(Has(r.Err, kTransmitterMayBeOnText), lost < 0) << r.Err;
        EXPECT_TRUE(Has(ReadWholeFile(log), "Setting data bits = 8")) << "8N1 on the line";
    }
}

#ifdef RM7UX_WINDOW_PATH
TEST_F(InterruptTest, TheWindowEndsAfterTheExchangeThatASignalInterrupts) {
    SignalAt& at = Signalling("tx on", SIGTERM);
    StartSignalling(at);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    CliResult r = RunUntilSignalled(
        {RM7UX_WINDOW_PATH, "--port", std::to_string(Radio().ComPort()), "--connect", "--report"},
        at);
    ExpectEndedUnkeyed(r, at);
}
#endif

}  // namespace
