#pragma once
// Telnet with the COM port option (RFC 2217), as a serial device server speaks it: what to send
// at connect, the line settings and purges as subnegotiations, the byte 255 doubled in the data
// both ways, and the server's answers read out of what it sends. No socket here: the connection
// feeds it bytes and sends what it returns.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/LineTransport.h"

class TelnetComPort {
  public:
    // Telnet bytes and options.
    static constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250,
                             SE = 240;
    static constexpr uint8_t BINARY = 0, SGA = 3, COM_PORT = 44;

    // WILL COM-PORT-OPTION, WILL and DO BINARY, DO SUPPRESS-GO-AHEAD.
    std::string Opening();
    // SET-BAUDRATE, SET-DATASIZE, SET-PARITY, SET-STOPSIZE and SET-CONTROL (flow control, DTR,
    // RTS) for these settings.
    std::string SetLine(const LineSettings& s) const;
    // PURGE-DATA: the server's receive buffer (input), its transmit buffer (output), or both.
    std::string Purge(bool output, bool input) const;
    // Data to send: the byte 255 doubled (and, while the server has not agreed to binary, a
    // carriage return followed by NUL, as telnet's network terminal wants it).
    std::string Escape(const char* data, size_t n) const;

    // Takes bytes from the server: the line's data goes to `data`, answers to the server's
    // requests to `reply` (every option but ours is refused).
    void Receive(const char* raw, size_t n, std::string& data, std::string& reply);

    // The server's answer to WILL COM-PORT-OPTION: nullopt until it came.
    std::optional<bool> ComPortAccepted() const { return comPort_; }
    bool BinaryToServer() const { return binaryOut_; }
    bool BinaryFromServer() const { return binaryIn_; }
    // The line as the server confirmed it (each value once its answer came).
    std::optional<uint32_t> Baud() const { return baud_; }
    std::optional<int> DataSize() const { return dataSize_; }
    std::optional<int> Parity() const { return parity_; }      // RFC 2217's: 1 none, 2 odd...
    std::optional<int> StopSize() const { return stopSize_; }  // 1 one, 2 two, 3 one and a half
    // Whether every setting of SetLine has been answered.
    bool LineConfirmed() const { return baud_ && dataSize_ && parity_ && stopSize_; }
    // "9600 baud, 8 data bits, no parity, 1 stop bit" as the server confirmed it.
    std::string ConfirmedText() const;

  private:
    void Option(uint8_t verb, uint8_t option, std::string& reply);
    void Subnegotiation();

    enum class State { Data, Iac, Verb, Sub, SubIac } state_ = State::Data;
    uint8_t verb_ = 0;
    std::string sub_;
    bool crPending_ = false;
    // Options asked for or refused once, so that no answer is given twice.
    bool askedWillComPort_ = false, askedWillBinary_ = false, askedDoBinary_ = false,
         askedDoSga_ = false;
    bool refused_[256] = {};
    std::optional<bool> comPort_;
    bool binaryOut_ = false, binaryIn_ = false;
    std::optional<uint32_t> baud_;
    std::optional<int> dataSize_, parity_, stopSize_;
};
