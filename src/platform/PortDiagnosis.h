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

// Processes other than this one with the device open, as far as /proc lets us see them.
std::vector<PortHolder> FindPortHolders(const std::string& path);

// One or more lines (joined by "\n", no final line end) for a failed open of comName, which
// resolved to path ("" when the name maps to no device). error and err are what the open
// reported (TVVComm2::LastOpenError, LastOpenErrno); SerialOpenError::None with a path means
// the open succeeded but the device is not a terminal.
std::string DescribePortOpenFailure(const std::string& comName, const std::string& path,
                                    SerialOpenError error, int err);
