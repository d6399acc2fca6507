// read, save, program, diff: the whole flash record, between the radio and a configuration file.

#include <exception>
#include <string>

#include "cli/CliCommands.h"
#include "cli/RadioSession.h"
#include "cli/RecordFields.h"
#include "common/UserDialogs.h"
#include "config/RM7UXFlashConfigObj.h"
#include "config/SerialGuard.h"
#include "link/RM7UXcomms.h"

namespace {

// ReadFromRadio, with a reply that raises (a power calibration that is not hexadecimal) taken
// as the failed exchange it is.
bool ReadRadio(TRM7UXFlashRecordClass& record, RadioSession& session, std::string& problem) {
    try {
        if (record.ReadFromRadio())
            return true;
    } catch (const std::exception& e) {
        problem = e.what();
    }
    session.Close();
    return false;
}

int ReadFailed(RadioSession& session, const CliContext& ctx, const std::string& problem) {
    session.Fail("Failed to read the configuration from flash");
    if (!problem.empty())
        ctx.Err() << problem << "\n";
    if (TransmitterMayBeOn())
        ctx.Err() << "rm7ux: " << kTransmitterMayBeOnText << "\n";
    return kExitFailed;
}

// The file's record, as program and diff take it; a status other than kExitOk on failure.
int LoadFile(const CliContext& ctx, TRM7UXFlashRecordClass& record) {
    record.SetFileName(ctx.Args[0]);
    if (!record.FileExists()) {
        ShowErrorBox("The file '" + record.FileName() + "' does not exist");
        return kExitUsage;
    }
    bool loaded = false;
    try {
        loaded = record.LoadFromFile();
    } catch (const std::exception& e) {
        ctx.Err() << e.what() << "\n";
    }
    if (!loaded) {
        ShowErrorBox("Failed to load from the configuration from the file '" + record.FileName() +
                     "'");
        ctx.Err() << record.ConfigFile().ErrorText();
        return kExitUsage;
    }
    return kExitOk;
}

// The connected radio's serial number in one exchange: -1 when it holds none that reads as a
// number, -2 when the radio could not be asked (the session keeps the failure).
int64_t RadioSerialNumber(RadioSession& session) {
    if (!session.Connect())
        return -2;
    int64_t serial = ReadSerialNumber();
    session.Close();
    return serial < 0 && session.Failure() != 0 ? -2 : serial;
}

// The window's ConnectionUnchanged: the radio may have been exchanged while a question waited.
int ConnectionUnchanged(RadioSession& session, int64_t radioSerial) {
    const int64_t now = RadioSerialNumber(session);
    if (now == -2)
        return session.Fail("program");
    if (now != radioSerial) {
        ShowErrorBox(kConnectionChangedText);
        return kExitRefused;
    }
    return kExitOk;
}

// The two confirmations for programming the file's serial number into a radio without one.
int ConfirmSerialProgramming(RadioSession& session, int64_t fileSerial, int64_t radioSerial) {
    if (ShowWarningBox(InvalidSerialWarningText(fileSerial), MsgButtons::OKAbort) != MsgResult::OK)
        return kExitRefused;
    if (int status = ConnectionUnchanged(session, radioSerial); status != kExitOk)
        return status;
    if (ShowWarningBox(ProgramSerialQuestionText(fileSerial), MsgButtons::OKCancel) !=
        MsgResult::OK)
        return kExitRefused;
    return ConnectionUnchanged(session, radioSerial);
}

void PrintDifferences(const CliContext& ctx, const std::vector<FieldDifference>& differences) {
    for (const auto& d : differences)
        ctx.Out() << d.Key << " file=" << d.Expected << " radio=" << d.Actual << "\n";
}

}  // namespace

int RunRead(CliContext& ctx) {
    RadioSession session(ctx);
    TRM7UXFlashRecordClass record;
    std::string problem;
    if (!ReadRadio(record, session, problem))
        return ReadFailed(session, ctx, problem);
    if (ctx.Flag("--json"))
        PrintRecordJson(ctx.Out(), record.Record());
    else
        PrintRecordText(ctx.Out(), record.Record());
    return kExitOk;
}

int RunSave(CliContext& ctx) {
    TRM7UXFlashRecordClass record;
    record.SetFileName(ctx.Args[0]);
    if (record.FileExists() && !ctx.Flag("--force")) {
        ctx.Err() << "rm7ux save: '" << record.FileName() << "' exists; --force replaces it\n";
        return kExitRefused;
    }
    RadioSession session(ctx);
    std::string problem;
    if (!ReadRadio(record, session, problem))
        return ReadFailed(session, ctx, problem);
    bool saved = false;
    try {
        saved = record.SaveToFile();
    } catch (const std::exception& e) {
        ctx.Err() << e.what() << "\n";
    }
    if (!saved) {
        ShowErrorBox("Failed to save the configuration to file");
        return kExitUsage;
    }
    ctx.Err() << "Saved the configuration of serial number "
              << FormatSerialNumber(record.Record().SerialNumber) << " to '" << record.FileName()
              << "'\n";
    return kExitOk;
}

int RunProgram(CliContext& ctx) {
    TRM7UXFlashRecordClass record;
    if (int status = LoadFile(ctx, record); status != kExitOk)
        return status;
    const TRM7UXFlashRecord fromFile = record.Record();
    if (!FitsTheRadio(fromFile)) {
        ctx.Err() << "rm7ux program: a value in '" << record.FileName()
                  << "' does not fit its field\n";
        return kExitUsage;
    }

    RadioSession session(ctx);
    const int64_t radioSerial = RadioSerialNumber(session);
    if (radioSerial == -2)
        return session.Fail("program");
    const int64_t fileSerial = fromFile.SerialNumber;
    switch (DecideSerialNumber(fileSerial, radioSerial)) {
        case SerialDecision::WriteWithoutSerial:
            record.Record().SerialNumber = -1;
            break;
        case SerialDecision::ConfirmAndWriteSerial:
            if (int status = ConfirmSerialProgramming(session, fileSerial, radioSerial);
                status != kExitOk)
                return status;
            break;
        case SerialDecision::WrongDevice:
            ShowErrorBox(WrongDeviceText(fileSerial, radioSerial));
            return kExitRefused;
    }

    if (!record.WriteToRadio())
        return session.Fail("Failed to write the configuration to flash");
    if (ResetRadio())
        ShowInformationBox("Configuration Saved to Flash");
    else
        ShowInformationBox("Configuration Saved to Flash\r\nPlease reset the device");

    // What the radio holds after the reset came from its flash: reading it back checks both.
    session.Settle();
    TRM7UXFlashRecordClass back;
    std::string problem;
    if (!ReadRadio(back, session, problem))
        return ReadFailed(session, ctx, problem);
    const std::vector<FieldDifference> differences = CompareRecords(fromFile, back.Record(), true);
    if (!differences.empty()) {
        PrintDifferences(ctx, differences);
        ctx.Err() << "rm7ux program: " << differences.size()
                  << (differences.size() == 1 ? " field" : " fields")
                  << " did not take (file value, radio value above)\n";
        return kExitFailed;
    }
    ctx.Out() << "Programmed and verified '" << record.FileName() << "' into serial number "
              << FormatSerialNumber(back.Record().SerialNumber) << "\n";
    return kExitOk;
}

int RunDiff(CliContext& ctx) {
    TRM7UXFlashRecordClass file;
    if (int status = LoadFile(ctx, file); status != kExitOk)
        return status;
    RadioSession session(ctx);
    TRM7UXFlashRecordClass radio;
    std::string problem;
    if (!ReadRadio(radio, session, problem))
        return ReadFailed(session, ctx, problem);
    PrintDifferences(ctx, CompareRecords(file.Record(), radio.Record(), false));
    return kExitOk;
}
