#pragma once
// "COM" + n on Linux. A link COMn in the ports folder wins (ln -s /dev/ttyUSB0 COM7); otherwise
// COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31, and higher
// numbers name no device. A file COMn in the ports folder whose one line is a serial device
// server's address (tcp://HOST:PORT or rfc2217://HOST:PORT) makes COMn that network port.

#include <cstdint>
#include <string>

std::string ComPortName(uint32_t n);  // "COM7"
// The path to open for a "COMn" name, or "" when the name maps to no device.
std::string ResolveComPort(const std::string& name);
std::string ResolveComPort(uint32_t n);
// The path a port number maps to by default, without the ports folder ("" above COM96).
std::string DefaultComPortPath(uint32_t n);
// Makes or replaces the link COMn -> target in the ports folder; false on failure.
bool AttachComPort(uint32_t n, const std::string& target);
// Links target as the lowest free COMn from `first` on (no link in the ports folder and no
// default device), never replacing a link someone else made meanwhile; the number, or 0 when
// none can be had.
uint32_t AttachFreeComPort(uint32_t first, const std::string& target);
// Removes COMn from the ports folder when it still points at target.
void DetachComPort(uint32_t n, const std::string& target);

// The address a file in the ports folder holds, written out again; "" when `path` is no regular
// file or holds no address.
std::string ReadAddressFile(const std::string& path);
// COMn's address when the ports folder makes it a network port, else "".
std::string ComPortAddress(uint32_t n);
// Makes COMn the network port at `address`, replacing a link or file of that name, in `folder`
// ("" for the ports folder). "" on success, else why not.
std::string WriteAddressFile(uint32_t n, const std::string& address,
                             const std::string& folder = "");
// Makes the lowest free COMn from `first` on (no entry in the ports folder, no default device)
// the network port at `address`, never replacing what someone else made meanwhile; the number, or
// 0 when none can be had.
uint32_t AttachFreeAddress(uint32_t first, const std::string& address);
