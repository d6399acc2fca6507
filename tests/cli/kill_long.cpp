// kill_long: a seeded random run of SIGKILLs (scripts/kill-long), outside CI. Each try runs one
// command that writes to a radio (program, set step, set --flash, flash, read, --modem set, the
// window's TX test) against the emulated radio and kills it outright at a random moment: after a
// random one of the events the radio records for that command, and a random 0-3 ms later. Then
// the next run (rm7ux status) must say what was left in flight, and 'rm7ux repair --yes' must
// leave the radio un-keyed, its working settings equal to flash, the modem in AT mode and the
// journal empty. Prints one line per try that went wrong and the counts at the end.
//
//     kill_long [--seed N] [--tries N]

#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <random>
#include <thread>

#include "CliRunner.h"
#include "TempDir.h"
#include "emulator/RadioEmulator.h"

namespace {

constexpr const char* kFields[] = {"PF",  "PD", "PM", "PS", "PW", "PL0", "PL1", "PL2",
                                   "PL3", "PP", "PO", "SC", "PB", "PC",  "PA",  "P1",
                                   "P2",  "P3", "P4", "PR", "PT", "PN",  "PV"};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Kills the run once the radio has recorded `At` events, `DelayUs` later.
class Killer {
  public:
    void Arm(int at, int delayUs) {
        std::lock_guard lock(mutex_);
        at_ = at;
        delayUs_ = delayUs;
        seen_ = 0;
        pid_ = 0;
        due_ = false;
        sent_ = false;
    }
    void Event() {
        std::lock_guard lock(mutex_);
        if (++seen_ == at_ && at_ > 0) {
            due_ = true;
            changed_.notify_all();
        }
    }
    void Started(pid_t pid) {
        std::lock_guard lock(mutex_);
        pid_ = pid;
        changed_.notify_all();
    }
    // On a thread of its own: waits for the moment, then kills.
    void Run(const std::atomic<bool>& done) {
        std::unique_lock lock(mutex_);
        while (!done) {
            changed_.wait_for(lock, std::chrono::milliseconds(50));
            if (due_ && pid_ > 0 && !sent_) {
                const pid_t pid = pid_;
                const int delay = delayUs_;
                sent_ = true;
                lock.unlock();
                std::this_thread::sleep_for(std::chrono::microseconds(delay));
                ::kill(pid, SIGKILL);
                lock.lock();
            }
        }
    }
    void Stop() {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
    }
    bool Sent() {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    int Seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int at_ = 0, delayUs_ = 0, seen_ = 0;
    pid_t pid_ = 0;
    bool due_ = false, sent_ = false;
};

struct Command {
    std::string Name;
    bool Modem = false;
    bool Window = false;
    std::vector<std::string> Args;  // after rm7ux --port N [--modem]
};

}  // namespace

int main(int argc, char** argv) {
    unsigned seed = 1;
    int tries = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--seed")
            seed = static_cast<unsigned>(std::stoul(argv[i + 1]));
        else if (arg == "--tries")
            tries = std::stoi(argv[i + 1]);
    }
    std::mt19937 random(seed);
    TempDir dir;
    dir.PointConfigHere();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    Killer killer;
    std::atomic<bool> done{false};
    std::thread killing([&] { killer.Run(done); });
    auto options = [&](bool modem) {
        EmulatorOptions o;
        o.Modem = modem;
        o.RecordEvents = false;
        o.OnEvent = [&](const RadioEvent&) { killer.Event(); };
        return o;
    };
    RadioEmulator radio(options(false));
    radio.Start();
    RadioEmulator modem(options(true));
    modem.Start();

    const std::string fileA = dir.File("a.RM7UX"), fileB = dir.File("b.RM7UX");
    RunRm7ux({"--port", std::to_string(radio.ComPort()), "save", fileA}, dir.Path());
    RunRm7ux({"--port", std::to_string(radio.ComPort()), "set", "power", "1W", "ctcss", "7",
              "deviation", "99", "rx-frequency", "441", "--flash"},
             dir.Path());
    RunRm7ux({"--port", std::to_string(radio.ComPort()), "save", fileB}, dir.Path());

    std::vector<Command> commands = {
        {"program A", false, false, {"program", fileA}},
        {"program B", false, false, {"program", fileB}},
        {"set step 5", false, false, {"set", "step", "5", "--yes"}},
        {"set step 6.25", false, false, {"set", "step", "6.25", "--yes"}},
        {"set --flash", false, false, {"set", "power", "2W", "ctcss", "3", "--flash"}},
        {"flash", false, false, {"flash"}},
        {"read", false, false, {"read"}},
        {"--modem set --flash", true, false, {"set", "power", "500mW", "ctcss", "4", "--flash"}},
#ifdef RM7UX_WINDOW_DRIVER_PATH
        {"window TX test", false, true, {}},
#endif
    };
    // How many events each command makes when it runs to its end: where a kill may fall.
    std::vector<int> eventsOf(commands.size(), 0);
    auto argsOf = [&](const Command& c) {
        RadioEmulator& r = c.Modem ? modem : radio;
        std::vector<std::string> args;
        if (c.Window) {
#ifdef RM7UX_WINDOW_DRIVER_PATH
            args = {RM7UX_WINDOW_DRIVER_PATH, "--port", std::to_string(r.ComPort()), "--off"};
#endif
        } else {
            args = {RM7UX_CLI_PATH, "--port", std::to_string(r.ComPort())};
            if (c.Modem)
                args.push_back("--modem");
            args.insert(args.end(), c.Args.begin(), c.Args.end());
        }
        return args;
    };
    for (size_t i = 0; i < commands.size(); ++i) {
        killer.Arm(0, 0);
        // The window's driver waits to be killed: it is counted until RELEASED and stopped.
        if (commands[i].Window) {
            Subprocess w(argsOf(commands[i]));
            while (true) {
                const std::string line = w.Line();
                if (line.empty() || line == "RELEASED" || line == "STILL KEYED")
                    break;
            }
            eventsOf[i] = killer.Seen();
            w.Kill();
        } else {
            RunProgram(argsOf(commands[i]), dir.File("dry"));
            eventsOf[i] = killer.Seen();
        }
    }

    int kills = 0, leftInFlight = 0, noticed = 0, repaired = 0, wrong = 0;
    int leftKeyed = 0, leftInRadioMode = 0, leftUnsaved = 0;
    for (int t = 1; t <= tries; ++t) {
        const size_t which = std::uniform_int_distribution<size_t>(0, commands.size() - 1)(random);
        const Command& c = commands[which];
        RadioEmulator& r = c.Modem ? modem : radio;
        const int at = std::uniform_int_distribution<int>(1, std::max(1, eventsOf[which]))(random);
        const int delay = std::uniform_int_distribution<int>(0, 3000)(random);
        killer.Arm(at, delay);
        if (c.Window) {
            Subprocess w(argsOf(c));
            killer.Started(w.Pid());
            for (std::string line = w.Line();
                 !line.empty() && line != "RELEASED" && line != "STILL KEYED"; line = w.Line()) {
            }
            w.Kill();
        } else {
            RunProgram(argsOf(c), dir.File("try"), std::chrono::seconds(60),
                       [&](pid_t pid) { killer.Started(pid); });
        }
        const bool killed = killer.Sent();
        killer.Arm(0, 0);
        kills += killed ? 1 : 0;
        std::error_code ec;
        const std::string journal = dir.File("state/KorvaTech/CFG_RM7UX_Radio/journal");
        // An entry without an end: one whose intent was not yet durable (".new-") has sent
        // nothing, and one that ended was only not yet removed.
        bool inFlight = false;
        for (const auto& f : std::filesystem::directory_iterator(journal, ec)) {
            const std::string name = f.path().filename().string();
            const std::string text = "\n" + ReadWholeFile(f.path().string());
            inFlight = inFlight || (f.path().extension() == ".op" && name.rfind(".new-", 0) != 0 &&
                                    !Has(text, "\nend\t") && !Has(text, "\nrepaired\t"));
        }
        const bool keyed = r.Transmitting();
        const bool radioMode = r.ModemInRadioMode();
        bool unsaved = false;
        for (const char* code : kFields)
            unsaved = unsaved || r.Field(code) != r.FlashField(code);
        leftKeyed += keyed ? 1 : 0;
        leftInRadioMode += radioMode ? 1 : 0;
        leftUnsaved += unsaved ? 1 : 0;
        std::vector<std::string> status = {"--port", std::to_string(r.ComPort())};
        if (c.Modem)
            status.push_back("--modem");
        status.push_back("status");
        const CliResult next = RunRm7ux(status, dir.Path());
        const bool said = Has(next.Err, "did not finish") || Has(next.Err, "was cut off");
        if (inFlight) {
            ++leftInFlight;
            noticed += said ? 1 : 0;
        }
        std::vector<std::string> repair = {"--port", std::to_string(r.ComPort())};
        if (c.Modem)
            repair.push_back("--modem");
        repair.insert(repair.end(), {"repair", "--yes"});
        const CliResult fixed = RunRm7ux(repair, dir.Path());
        bool clean = fixed.Status == 0 && !r.Transmitting() && !r.ModemInRadioMode();
        std::string differs;
        for (const char* code : kFields) {
            if (r.Field(code) != r.FlashField(code))
                differs += std::string(" ") + code;
        }
        clean = clean && differs.empty();
        bool journalEmpty = true;
        for (const auto& f : std::filesystem::directory_iterator(journal, ec))
            journalEmpty = journalEmpty && f.path().extension() != ".op";
        clean = clean && journalEmpty;
        repaired += clean ? 1 : 0;
        if (!clean || (inFlight && !said) || ((keyed || radioMode) && !inFlight)) {
            ++wrong;
            std::cout << "try " << t << " (seed " << seed << "): " << c.Name << ", killed "
                      << (killed ? "after event " + std::to_string(at) + " + " +
                                       std::to_string(delay) + " us"
                                 : "never (it ended first)")
                      << (keyed ? ", keyed" : "") << (radioMode ? ", modem in radio mode" : "")
                      << (inFlight ? ", in the journal" : "") << (said ? ", noticed" : "")
                      << "; repair " << fixed.Status
                      << (differs.empty() ? "" : ", working differs from flash:" + differs)
                      << (journalEmpty ? "" : ", journal not empty") << "\n"
                      << next.Err << fixed.Err << std::flush;
        }
    }
    done = true;
    killer.Stop();
    killing.join();
    std::cout << "seed " << seed << ": " << tries << " tries, " << kills << " kills, "
              << leftInFlight << " left an operation in flight (" << leftKeyed << " keyed, "
              << leftInRadioMode << " with the modem in its configuration mode, " << leftUnsaved
              << " with working settings other than flash), " << noticed
              << " of them noticed by the next run, " << repaired << " of " << tries
              << " tries repaired (working = flash, un-keyed, modem in AT mode, journal empty), "
              << wrong << " wrong\n";
    return wrong == 0 ? 0 : 1;
}
