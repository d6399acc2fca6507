#pragma once
// The radio's command protocol over the one link the window owns. Every operation is one
// exchange: OpenRadioPort, identification, its commands, CloseRadioPort. Each function reports
// its outcome itself as a comms-state code through the registered display hook, and none raises.

#include <cstdint>
#include <functional>
#include <string>

#include "link/VVCOMM2.h"

// Comms-state codes.
enum : uint8_t {
    csIdle = 0,
    csPortNotAvailable = 1,
    csNoConnection = 2,
    csTimeOut = 3,
    csInvalidDevice = 4,
    csPortOpen = 5,
    csConnected = 6,
};

using TDisplayCommsError = std::function<void(uint8_t code)>;
using TComsStateQuery = std::function<uint8_t()>;

// The window hands over its link and its two state operations before any use.
void RegisterRM7UXComms(TVVComm2* link, TDisplayCommsError displayCommsError,
                        TComsStateQuery comsState);
TVVComm2* RM7UXLink();
// Registers `display` and `comsState` in place of the hooks registered, which are left in them:
// for a caller that runs the link on a thread of its own for a while.
void SwapRM7UXReports(TDisplayCommsError& display, TComsStateQuery& comsState);

// Told, on the link's thread, before the first letter of "O3" leaves (true) and once a release
// or a restart after it is confirmed (false): a journal keeps the keying on disk before it
// happens. Empty: nobody is told.
using TKeyingObserver = std::function<void(bool keyed)>;
void SetKeyingObserver(TKeyingObserver observer);

// What the last EnsureRadioIdentified found.
const std::string& RM7UXVersionText();
bool RM7UXIsRM7UX();
// What the field showed before the last SetField or SetFieldPair typed its new value: the value
// the change replaced. Empty when that exchange did not get so far.
const std::string& RM7UXShownValue();

bool OpenRadioPort();
bool CloseRadioPort();
bool EnsureRadioIdentified();
bool IdentifyRadio(std::string& Version, bool& IsRM7UX);

bool QueryField(const std::string& Command, std::string& Reply, int From, int Count);
bool ReadField(const std::string& Command, std::string& Reply, int From, int Count);
bool QueryFieldWithArgument(const std::string& Command, const std::string& Argument,
                            std::string& Reply, int From, int Count);
bool QueryUntilPrompt(const std::string& Command, std::string& Reply,
                      const std::string& Terminator);
bool SetField(const std::string& Command, const std::string& Value);
bool SetFieldPair(const std::string& Command, const std::string& Argument,
                  const std::string& Value);
bool WriteAndReadField(const std::string& Command, const std::string& Value, std::string& Reply,
                       int From, int Count);
// "O3" (transmitter on) then "O4" (off), each followed by its prompt; a prompt that does not
// come is not a failure. Once "O3" has started, any failure ends with TransmitterOff, so the
// radio is never left keyed by it.
bool PulseTransmitter();
// A carriage return, then "O4" with its prompt; false when the radio did not echo "O4".
bool TransmitterOff();
// True while an "O3" has been sent and no "O4" (or reset) confirmed since: the radio may still
// be transmitting, and the operator must be told.
bool TransmitterMayBeOn();
bool SaveToFlash();
bool SaveToFlashSilently();
bool ResetRadio();
// "O" then "Z" (not echoed), then up to 2000 ms (and 300 characters) for the restarted radio's
// prompt; nothing reported. False when any of the three failed.
bool RestartRadio();
// The transmitter test: "O3" keys the radio until "O4"; what follows each echo is drained rather
// than awaited. False when the radio did not echo the command.
bool TransmitterTestOn();
bool TransmitterTestOff();
int64_t ReadSerialNumber();
bool ReadBandWidth(double& Bandwidth);
// False when the line would not fall silent (see DrainInput's bound).
bool FlushRadioLink();
// The modem's fixed configuration password (nine characters).
inline constexpr const char* kM82KDPassword = "TIDEWAter";
// LastReply, when given, receives the last reply the modem sent, for a caller that reports it.
bool EnterModemConfigMode(const std::string& Password, std::string* LastReply = nullptr);
bool ExitModemConfigMode(bool& ConfigLoaded);
