#pragma once
// A pseudo-terminal pair: the device side (the master) is held by whoever plays the radio; the
// port side (the slave path, e.g. /dev/pts/7) is what the serial link opens.

#include <string>

#include "platform/LineTransport.h"

class PseudoTerminal {
  public:
    PseudoTerminal();  // throws std::runtime_error when no pty can be had
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    // The port side as the device side keeps it open; -1 when it could not be opened.
    int KeeperFd() const { return slaveKeeper_; }
    // Closes the device side: the port side then reads as hung up (EIO).
    void HangUp();
    // The line as the port side's user last set it: speed, data bits, parity and stop bits.
    LineSettings PortLine() const;

  private:
    int master_ = -1;
    // Kept open so that the port side's closing does not hang the device side up, and so the
    // line is raw before the first byte, whoever opens it.
    int slaveKeeper_ = -1;
    std::string slavePath_;
};
