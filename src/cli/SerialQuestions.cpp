#include "cli/SerialQuestions.h"

#include "cli/CliCommands.h"
#include "cli/RadioSession.h"
#include "common/UserDialogs.h"
#include "config/SerialGuard.h"
#include "link/RM7UXcomms.h"

namespace {

// The window's ConnectionUnchanged: the radio may have been exchanged while a question waited.
int ConnectionUnchanged(RadioSession& session, int64_t radioSerial) {
    const int64_t now = RadioSerialNumber(session);
    if (now == -2)
        return session.Fail("reading the serial number");
    if (now != radioSerial) {
        ShowErrorBox(kConnectionChangedText);
        return kExitRefused;
    }
    return kExitOk;
}

}  // namespace

int64_t RadioSerialNumber(RadioSession& session) {
    if (!session.Connect())
        return -2;
    int64_t serial = ReadSerialNumber();
    session.Close();
    return serial < 0 && session.Failure() != 0 ? -2 : serial;
}

int ConfirmSerialNumber(RadioSession& session, int64_t newSerial, int64_t radioSerial) {
    // A radio without a valid number gets program's warning; one with a number is told which
    // number it loses.
    const std::string warning = IsValidSerialNumber(radioSerial)
                                    ? ChangeSerialWarningText(radioSerial, newSerial)
                                    : InvalidSerialWarningText(newSerial);
    if (ShowWarningBox(warning, MsgButtons::OKAbort) != MsgResult::OK)
        return kExitRefused;
    if (int status = ConnectionUnchanged(session, radioSerial); status != kExitOk)
        return status;
    if (ShowWarningBox(ProgramSerialQuestionText(newSerial), MsgButtons::OKCancel) != MsgResult::OK)
        return kExitRefused;
    return ConnectionUnchanged(session, radioSerial);
}
