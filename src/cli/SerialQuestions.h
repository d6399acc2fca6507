#pragma once
// The questions asked before a radio's serial number is written, by program (a radio without a
// valid number takes the file's) and by set PN alike: two confirmations, and the radio on the
// line checked again after each, since it may have been exchanged while a question waited.

#include <cstdint>

class RadioSession;

// The connected radio's serial number in one exchange: -1 when it holds none that reads as a
// number, -2 when the radio could not be asked (the session keeps the failure).
int64_t RadioSerialNumber(RadioSession& session);

// kExitOk when `radioSerial` (the radio's number before) may be replaced by `newSerial`:
// asked twice, on the terminal or by --yes. kExitRefused when declined or the radio changed,
// kExitFailed (said) when it could not be asked.
int ConfirmSerialNumber(RadioSession& session, int64_t newSerial, int64_t radioSerial);
