#pragma once
// The link for one run of the command line: the COM port, device or device server chosen, the
// comms-state hooks the command layer reports to, and the exchange pattern (open, identify,
// commands, close) with the reason for a failure put into words. A device server's connection
// is held for the whole command.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliCommands.h"
#include "link/VVCOMM2.h"
#include "platform/PortDiagnosis.h"

// Said when the radio did not confirm that its transmitter is off.
inline constexpr const char* kTransmitterMayBeOnText =
    "the radio did not confirm that its transmitter is off: switch the radio off";

class RadioSession {
  public:
    explicit RadioSession(const CliContext& ctx);
    ~RadioSession();
    RadioSession(const RadioSession&) = delete;
    RadioSession& operator=(const RadioSession&) = delete;

    // Whether another program has the port open; if so, state 1 and Fail names it.
    bool PortHeld();
    // PortHeld, OpenRadioPort and EnsureRadioIdentified. On failure the port is closed again.
    bool Connect();
    // CloseRadioPort; a failure state stays in force.
    void Close();
    // Opens the port only to drain what the radio still sends, and closes it. A reset ends with a
    // prompt that nobody reads; left queued, it would answer the next exchange's first command.
    void Settle();

    uint8_t State() const { return state_; }
    // The last failure code (1 to 4) reported since the last successful open; 0 when none.
    uint8_t Failure() const { return failure_; }
    // "COM9", the device path given with --device, or the address given with --port.
    std::string PortLabel() const;
    // Whether the port is a serial device server's (an address, or a COMn address file).
    bool IsNetworkPort() const;
    // Whether the connection to a device server was lost during the last exchange: as with a
    // cable pulled out, whatever that exchange was writing is not known to have been done. An
    // operation under way then stays unresolved for the next run to look at.
    bool LineLost() const;
    // Says, once, that the radio may still be keyed (an O3 without a confirmed O4): on failure
    // and, at the latest, when the session ends.
    void SayIfTransmitterMayBeOn();
    // The model of the radio identified last: 1 RM7UX, 0 RM7VX.
    int RadioModel() const;

    // Closes the port, prints "rm7ux: COM9: <what>: <state text>" and, for a port that could
    // not be opened, why; returns kExitFailed.
    int Fail(const std::string& what);
    // Closes the port and prints "rm7ux: COM9: " and an operation's own account of what
    // happened (lines broken by CR LF); returns kExitFailed.
    int FailWith(const std::string& account);

    // The field command of the last exchange, with the radio's answer: the one that failed when
    // an exchange went wrong ("PT (the radio answered 'PT XXXX')"); "" when none was made.
    std::string LastCommand() const;

  private:
    void Note(const std::string& text);
    void Follow(char direction, const std::string& bytes);
    [[noreturn]] void EndOnSignal(int signal);

    const CliContext& ctx_;
    TVVComm2 link_;
    uint8_t state_ = 0;
    uint8_t failure_ = 0;
    std::string sent_, received_;  // the exchange under way
    bool replied_ = false;         // its prompt has come
    std::pair<std::string, std::string> last_;
    std::vector<PortHolder> holders_;  // other programs found holding the port at Connect
    bool keyedSaid_ = false;
};
