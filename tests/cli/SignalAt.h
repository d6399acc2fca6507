#pragma once
// A signal sent to a program at the moment the radio records a given event (the Nth whose text
// starts with Prefix): the radio's own thread sends it, so the timing is the protocol's, never a
// sleep's. SIGKILL stands for a run killed outright (or a flat battery).

#include <signal.h>

#include <atomic>
#include <string>

#include "emulator/RadioEmulator.h"

struct SignalAt {
    std::string Prefix;
    int Signal = 0;
    int Nth = 1;
    std::atomic<pid_t> Pid{0};
    std::atomic<int> Count{0};
    std::atomic<bool> Due{false};
    std::atomic<bool> Sent{false};
    // False while a test prepares the radio: its events do not count.
    std::atomic<bool> Armed{true};

    void Look(const RadioEvent& e) {
        if (Armed && !Due && e.Text().rfind(Prefix, 0) == 0 && ++Count == Nth) {
            Due = true;
            Fire();
        }
    }
    void Started(pid_t pid) {
        Pid = pid;
        if (Due)
            Fire();
    }
    void Fire() {
        const pid_t pid = Pid;
        if (pid > 0 && !Sent.exchange(true))
            ::kill(pid, Signal);
    }
};
