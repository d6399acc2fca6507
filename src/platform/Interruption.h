#pragma once
// SIGINT, SIGTERM and SIGHUP held back while the radio is in the middle of an exchange, so that
// an interrupted program never leaves it keyed or half-written. The command layer holds the
// signals while the port is open; a longer operation (a whole program, the modem's
// configuration mode) holds them across its exchanges or registers a cleanup. When the last hold
// ends with a signal pending, the delivery the program chose runs: the command line cleans up
// and exits with 128 + n, the window closes through its event loop.
//
//     InstallInterruptionHandlers(true);           // the command line: exit at once when idle
//     SetInterruptionDelivery([](int n) { ...; RunInterruptionCleanups(); std::exit(128 + n); });
//     { InterruptionHold exchange; ... }           // a signal in here waits for the closing brace
//     InterruptionCleanup leave([] { ... });       // runs before the program ends on a signal

#include <functional>
#include <string>
#include <vector>

// Installs the handlers (again: harmless). With exitWhenIdle, a signal that arrives while
// nothing is held and no cleanup is registered ends the process at once with 128 + n;
// otherwise it waits for delivery. Blocking system calls are not restarted after a signal, so a
// prompt on the terminal returns.
void InstallInterruptionHandlers(bool exitWhenIdle);
// Puts the default handlers back and forgets a pending signal (tests, and after delivery).
void RemoveInterruptionHandlers();

// The signal waiting to be delivered, 0 when none. The first of several wins.
int PendingInterruption();
// Readable once a signal has arrived (a self-pipe), for an event loop to watch; -1 before
// InstallInterruptionHandlers. ClearInterruptionWake empties it.
int InterruptionWakeFd();
void ClearInterruptionWake();

// Whether an exchange holds the signals now.
bool InterruptionHeld();

// Holds the signals for its lifetime; holds nest. The last one to end delivers a pending signal.
class InterruptionHold {
  public:
    InterruptionHold();
    ~InterruptionHold();
    InterruptionHold(const InterruptionHold&) = delete;
    InterruptionHold& operator=(const InterruptionHold&) = delete;
};

// What happens to a pending signal once nothing holds it. Called at most once per signal, never
// from inside another delivery; exchanges the delivery makes itself deliver nothing.
void SetInterruptionDelivery(std::function<void(int signal)> delivery);
// Runs the delivery now when a signal is pending and nothing holds it.
void DeliverPendingInterruption();

// Work that must be done before the program ends on a signal: the transmitter un-keyed, the
// modem taken out of its configuration mode. Registered for its lifetime.
class InterruptionCleanup {
  public:
    explicit InterruptionCleanup(std::function<void()> cleanup);
    ~InterruptionCleanup();
    InterruptionCleanup(const InterruptionCleanup&) = delete;
    InterruptionCleanup& operator=(const InterruptionCleanup&) = delete;

  private:
    size_t id_;
};
// Runs every registered cleanup once, newest first (for the delivery).
void RunInterruptionCleanups();

// What was done to the radio because of the signal, for the program to tell the user ("the
// radio was reset: ..."). Cleared by RemoveInterruptionHandlers.
void NoteInterruptionOutcome(const std::string& text);
const std::vector<std::string>& InterruptionOutcome();

// "SIGINT", "SIGTERM", "SIGHUP"; "signal n" for another.
std::string SignalName(int signal);
