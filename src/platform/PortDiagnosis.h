#pragma once
// Why a serial port could not be opened, in words a technician can act on: which device a COM
// name stands for, who owns it, which program holds it. The command line prints it under
// "Not Available"; the window can show the same text as the tooltip of its state lamp.

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/SerialDevice.h"

struct PortHolder {
    pid_t Pid = 0;
    std::string Command;  // /proc/<pid>/comm, "" when it cannot be read
    bool Locked = false;  // it holds the device's exclusive lock (flock), as this link takes it
};

// Live processes other than this one with the device open, as far as /proc lets us see them (our
// user's, or every one for root). The device side of an emulated radio's pseudo-terminal is not
// a holder: it is the radio.
std::vector<PortHolder> FindPortHolders(const std::string& path);

// "COM9 (/dev/ttyUSB0) is in use by process 4242 (minicom): ...", with how to keep ModemManager
// off the adapter when it is the holder.
std::string DescribePortHeld(const std::string& comName, const std::string& path,
                             const std::vector<PortHolder>& holders);

// One or more lines (joined by "\n", no final line end) for a failed open of comName, which
// resolved to path ("" when the name maps to no device). error and err are what the open
// reported (TVVComm2::LastOpenError, LastOpenErrno); SerialOpenError::None with a path means
// the open succeeded but the device is not a terminal.
std::string DescribePortOpenFailure(const std::string& comName, const std::string& path,
                                    SerialOpenError error, int err);
