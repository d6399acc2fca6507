#pragma once
// A connection to a serial device server (a terminal server, a router's serial port, ser2net):
// raw TCP, where the line is as the server has it, or RFC 2217, where the tool sets it. The tool
// only connects out. A name look-up runs off the caller's thread and, like the connect and the
// negotiation, is bounded in time, so a dead network never hangs the window.

#include <chrono>
#include <memory>
#include <string>

#include "platform/LineTransport.h"

// Connects to `address` (tcp://HOST:PORT or rfc2217://HOST:PORT). nullptr, with what went wrong
// in plain words naming the address in `problem`, when it cannot: a host that is not known, a
// refused connection, no answer within `bound`, a server that closes at once.
std::unique_ptr<RemoteLine> ConnectRemoteLine(
    const std::string& address, std::string& problem,
    std::chrono::milliseconds bound = std::chrono::seconds(5));
