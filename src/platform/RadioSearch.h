#pragma once
// Finding the port a radio answers on: which ports to try, in what order, which to leave alone,
// and what was found on each. The identification exchange itself is the caller's (the link
// layer sits above this one), given as a probe.

#include <functional>
#include <string>
#include <vector>

#include "platform/SerialPorts.h"

struct RadioSearchStep {
    SerialPortInfo Port;
    bool Tried = false;  // false: left alone (held by another program)
    bool Found = false;
    std::string Outcome;  // what the probe said, or who holds the port

    // "COM101 (/dev/pts/4, pseudo-terminal): No Connection"
    std::string Text() const;
};

// Ports worth trying: USB and ACM adapters and the ports folder's present links; built-in UARTs
// only with builtIn, since they exist on most PCs and answer nothing. Network ports never.
std::vector<SerialPortInfo> RadioSearchCandidates(const std::vector<SerialPortInfo>& ports,
                                                  bool builtIn);

// Tries each candidate that no other program holds, in order, until the probe finds a radio;
// returns every step taken (the last one Found when a radio answered). The probe returns true
// when a radio answered and says what it found in `outcome`.
using RadioProbe = std::function<bool(const SerialPortInfo& port, std::string& outcome)>;
std::vector<RadioSearchStep> SearchForRadio(const std::vector<SerialPortInfo>& candidates,
                                            const RadioProbe& probe);
