#include "platform/Interruption.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <utility>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Shared with the handler: lock-free atomics and a pipe only.
std::atomic<int> g_pending{0};
std::atomic<int> g_holds{0};
std::atomic<int> g_cleanups{0};
std::atomic<bool> g_exitWhenIdle{false};
int g_wake[2] = {-1, -1};
// A signal the program was started with ignored (nohup, a service manager): the user's choice,
// never overridden. Learnt before the first handler is installed.
bool g_inheritedIgnore[3] = {false, false, false};
bool g_inheritedKnown = false;

struct Registry {
    std::function<void(int)> Delivery;
    std::vector<std::pair<size_t, std::function<void()>>> Cleanups;
    size_t NextId = 1;
    bool Delivering = false;
    std::vector<std::string> Outcome;
};

Registry& State() {
    static Registry r;
    return r;
}

void OnSignal(int signal) {
    const int saved = errno;
    int none = 0;
    g_pending.compare_exchange_strong(none, signal);
    if (g_exitWhenIdle.load() && g_holds.load() == 0 && g_cleanups.load() == 0)
        _exit(128 + signal);
    if (g_wake[1] >= 0) {
        const char byte = 1;
        // A full pipe already wakes the reader.
        [[maybe_unused]] ssize_t r = ::write(g_wake[1], &byte, 1);
    }
    errno = saved;
}

}  // namespace

void InstallInterruptionHandlers(bool exitWhenIdle) {
    g_exitWhenIdle = exitWhenIdle;
    if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        g_wake[0] = g_wake[1] = -1;
    if (!g_inheritedKnown) {
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            struct sigaction now {};
            g_inheritedIgnore[i] =
                ::sigaction(kSignals[i], nullptr, &now) == 0 && now.sa_handler == SIG_IGN;
        }
        g_inheritedKnown = true;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals)
        sigaddset(&action.sa_mask, s);
    // No SA_RESTART: a read from the terminal returns, so a question never outlasts a signal.
    action.sa_flags = 0;
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        if (!g_inheritedIgnore[i])
            ::sigaction(kSignals[i], &action, nullptr);
    }
}

void RemoveInterruptionHandlers() {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        action.sa_handler = g_inheritedIgnore[i] ? SIG_IGN : SIG_DFL;
        ::sigaction(kSignals[i], &action, nullptr);
    }
    g_pending = 0;
    ClearInterruptionWake();
    State().Outcome.clear();
}

int PendingInterruption() {
    return g_pending.load();
}

int InterruptionWakeFd() {
    return g_wake[0];
}

void ClearInterruptionWake() {
    if (g_wake[0] < 0)
        return;
    char buf[64];
    while (::read(g_wake[0], buf, sizeof buf) > 0) {
    }
}

bool InterruptionHeld() {
    return g_holds.load() > 0;
}

InterruptionHold::InterruptionHold() {
    // A signal that came between two exchanges (a cleanup kept it waiting) goes before the next.
    if (g_holds.load() == 0)
        DeliverPendingInterruption();
    ++g_holds;
}

InterruptionHold::~InterruptionHold() {
    if (--g_holds == 0)
        DeliverPendingInterruption();
}

void SetInterruptionDelivery(std::function<void(int signal)> delivery) {
    State().Delivery = std::move(delivery);
}

void DeliverPendingInterruption() {
    Registry& r = State();
    const int signal = g_pending.load();
    if (signal == 0 || g_holds.load() > 0 || r.Delivering || !r.Delivery)
        return;
    r.Delivering = true;
    // A delivery that returns (the window's, which only queues the close) may be asked again.
    struct Done {
        Registry& r;
        ~Done() { r.Delivering = false; }
    } done{r};
    r.Delivery(signal);
}

InterruptionCleanup::InterruptionCleanup(std::function<void()> cleanup) {
    Registry& r = State();
    id_ = r.NextId++;
    r.Cleanups.emplace_back(id_, std::move(cleanup));
    ++g_cleanups;
}

InterruptionCleanup::~InterruptionCleanup() {
    auto& list = State().Cleanups;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->first == id_) {
            list.erase(it);
            --g_cleanups;
            break;
        }
    }
}

void RunInterruptionCleanups() {
    auto& list = State().Cleanups;
    // Taken out first: a cleanup runs once even when it ends the program's wait again.
    auto pending = std::move(list);
    list.clear();
    g_cleanups = 0;
    for (auto it = pending.rbegin(); it != pending.rend(); ++it)
        it->second();
}

void NoteInterruptionOutcome(const std::string& text) {
    State().Outcome.push_back(text);
}

const std::vector<std::string>& InterruptionOutcome() {
    return State().Outcome;
}

std::string SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signal);
    }
}
