#pragma once
// Whether a configuration file may be programmed into the connected radio, decided by the
// serial number printed on the circuit board: a file carries one module's calibration, and in
// another module it could do damage. The window and the command line ask the same questions.

#include <cstdint>
#include <string>

// Valid serial numbers are 1000000 to 12999999.
bool IsValidSerialNumber(int64_t serial);
// Decimal, left-padded with "0" to at least eight characters (negative ones unpadded).
std::string FormatSerialNumber(int64_t serial);

enum class SerialDecision {
    WriteWithoutSerial,     // the file is this radio's (or carries no number): keep the radio's
    ConfirmAndWriteSerial,  // the radio has no valid number: after two confirmations, the file's
    WrongDevice,            // the file is another module's: nothing is written
};

// fileSerial F and radioSerial D, -1 when there is none.
SerialDecision DecideSerialNumber(int64_t fileSerial, int64_t radioSerial);

// The messages of the decision, with CR LF line breaks as the window shows them.
std::string WrongDeviceText(int64_t fileSerial, int64_t radioSerial);
std::string InvalidSerialWarningText(int64_t fileSerial);
std::string ProgramSerialQuestionText(int64_t fileSerial);
// Before a valid serial number is replaced (rm7ux set PN): which number goes, which comes.
std::string ChangeSerialWarningText(int64_t radioSerial, int64_t newSerial);
// The radio was exchanged while a question or the file dialog was open.
inline constexpr const char* kConnectionChangedText =
    "The device connection has changed.\r\nAborting!";
