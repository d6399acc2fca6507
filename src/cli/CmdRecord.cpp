// read, save, program, diff: the whole flash record, between the radio and a configuration file.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "cli/CliCommands.h"
#include "cli/CliHistory.h"
#include "cli/RadioSession.h"
#include "cli/RecordFields.h"
#include "cli/SerialQuestions.h"
#include "cli/TerminalText.h"
#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "config/ProgramReview.h"
#include "config/RM7UXFlashConfigObj.h"
#include "config/SerialGuard.h"
#include "link/RM7UXcomms.h"
#include "link/Utilities.h"
#include "operations/RadioOperations.h"
#include "platform/IniFile.h"
#include "platform/Interruption.h"

namespace {

// ReadFromRadio, with a reply that raises (a power calibration that is not hexadecimal) taken
// as the failed exchange it is.
bool ReadRadio(TRM7UXFlashRecordClass& record, RadioSession& session, std::string& problem,
               const CliContext& ctx, const char* stage = "reading the radio") {
    // The record's own exchanges open the port themselves: the holder check comes first, as
    // for every other command, so a terminal program on the line is never read through.
    if (session.PortHeld())
        return false;
    Progress(ctx, stage);
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
    const std::string command = session.LastCommand();
    session.Fail("Failed to read the configuration from flash" +
                 (command.empty() ? std::string() : " at " + TerminalSafe(command)));
    if (!problem.empty())
        ctx.Err() << problem << "\n";
    return kExitFailed;
}

// A JSON record: the first thing in the file, after a byte-order mark and blanks, is "{".
bool LooksLikeJson(std::string_view text) {
    if (StartsWith(text, "\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::string_view t = TrimView(text.substr(0, 64));
    return !t.empty() && t[0] == '{';
}

int LoadJsonFile(const CliContext& ctx, TRM7UXFlashRecordClass& record, std::string_view text) {
    if (text.size() > TINIRM7UX::MaxFileSize) {
        ctx.Err() << "rm7ux: '" << TerminalSafe(record.FileName())
                  << "': larger than a record can be (1 MB)\n";
        return kExitUsage;
    }
    if (StartsWith(text, "\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::string problem;
    if (RecordFromJson(text, record.Record(), problem))
        return kExitOk;
    ctx.Err() << "rm7ux: '" << TerminalSafe(record.FileName())
              << "' is not a record rm7ux can program: " << TerminalSafe(problem) << "\n";
    return kExitUsage;
}

// Only a regular file is a record. Opened without blocking and asked what it is: a FIFO would
// otherwise wait for a writer for ever, and a device give endless bytes.
int CheckRegularFile(const CliContext& ctx, const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            ShowErrorBox("The file '" + path + "' does not exist");
        } else {
            ctx.Err() << "rm7ux: '" << TerminalSafe(path) << "': " << std::strerror(errno) << "\n";
        }
        return kExitUsage;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (regular)
        return kExitOk;
    ctx.Err() << "rm7ux: '" << TerminalSafe(path)
              << "' is not a regular file; a configuration file or a JSON record is\n";
    return kExitUsage;
}

// The file's record, as program and diff take it: a configuration file, or a JSON record as
// read --json prints it; a status other than kExitOk on failure.
int LoadFile(const CliContext& ctx, TRM7UXFlashRecordClass& record) {
    record.SetFileName(ctx.Args[0]);
    if (int status = CheckRegularFile(ctx, record.FileName()); status != kExitOk)
        return status;
    // One more byte than a record may have tells that the file has more.
    const std::optional<std::string> text =
        ReadWholeFile(record.FileName(), TINIRM7UX::MaxFileSize);
    if (text && LooksLikeJson(*text))
        return LoadJsonFile(ctx, record, *text);
    bool loaded = false;
    try {
        loaded = record.LoadFromFile();
    } catch (const std::exception& e) {
        ctx.Err() << TerminalSafe(e.what()) << "\n";
    }
    if (!loaded) {
        ShowErrorBox("Failed to load from the configuration from the file '" + record.FileName() +
                     "'");
        ctx.Err() << TerminalSafeLines(record.ConfigFile().ErrorText());
        return kExitUsage;
    }
    return kExitOk;
}

// The review as a table: one line per field that changes, the count of those that do not.
void PrintReview(const CliContext& ctx, const ProgramReview& review) {
    if (review.Changes.empty()) {
        ctx.Out() << "No field changes (" << review.Unchanged << " unchanged)\n";
        return;
    }
    size_t name = 7, unit = 4, radio = 5;
    for (const ReviewRow& r : review.Changes) {
        name = std::max(name, r.Name.size());
        unit = std::max(unit, TerminalColumns(r.Unit));
        radio = std::max(radio, TerminalColumns(TerminalSafe(r.RadioValue)));
    }
    auto pad = [](const std::string& text, size_t width) {
        const size_t w = TerminalColumns(text);
        return text + std::string(w < width ? width - w : 0, ' ') + "  ";
    };
    ctx.Out() << pad("setting", name) << pad("unit", unit) << pad("radio", radio) << "file\n";
    for (const ReviewRow& r : review.Changes) {
        ctx.Out() << pad(r.Name, name) << pad(r.Unit, unit)
                  << pad(TerminalSafe(r.RadioValue), radio) << TerminalSafe(r.FileValue) << "\n";
    }
    ctx.Out() << review.Changes.size()
              << (review.Changes.size() == 1 ? " field changes, " : " fields change, ")
              << review.Unchanged << " unchanged\n";
}

void PrintDifferences(const CliContext& ctx, const std::vector<FieldDifference>& differences,
                      const TRM7UXFlashRecord& file, const TRM7UXFlashRecord& radio) {
    for (const auto& d : differences)
        ctx.Out() << DifferenceText(d, file, radio) << "\n";
}

// A save whose result would not load back is refused, and the old file left as it was.
int SaveLoadable(const CliContext& ctx, TRM7UXFlashRecordClass& record) {
    std::string problem;
    bool saved = false;
    try {
        saved = record.SaveToFileLoadable(problem);
    } catch (const std::exception& e) {
        problem = e.what();
    }
    if (saved)
        return kExitOk;
    ctx.Err() << "rm7ux save: " << TerminalSafeLines(problem) << "\n";
    return kExitUsage;
}

}  // namespace

int RunRead(CliContext& ctx) {
    RadioSession session(ctx);
    TRM7UXFlashRecordClass record;
    std::string problem;
    if (!ReadRadio(record, session, problem, ctx))
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
        ctx.Err() << "rm7ux save: '" << TerminalSafe(record.FileName())
                  << "' exists; --force replaces it\n";
        return kExitRefused;
    }
    RadioSession session(ctx);
    std::string problem;
    if (!ReadRadio(record, session, problem, ctx))
        return ReadFailed(session, ctx, problem);
    Progress(ctx, "writing '" + record.FileName() + "'");
    {
        // A signal waits for the file to be written or left: either way it is whole, and the
        // trial copy and the temporary file are gone before the run ends.
        InterruptionHold whole;
        const int status = SaveLoadable(ctx, record);
        if (PendingInterruption() != 0) {
            NoteInterruptionOutcome("'" + TerminalSafe(record.FileName()) +
                                    (status == kExitOk ? "' was saved" : "' was left as it was"));
        }
        if (status != kExitOk)
            return status;
    }
    ctx.Err() << "Saved the configuration of serial number "
              << FormatSerialNumber(record.Record().SerialNumber) << " to '"
              << TerminalSafe(record.FileName()) << "'\n";
    return kExitOk;
}

int RunProgram(CliContext& ctx) {
    TRM7UXFlashRecordClass record;
    if (int status = LoadFile(ctx, record); status != kExitOk)
        return status;
    const TRM7UXFlashRecord fromFile = record.Record();

    RadioSession session(ctx);
    const int64_t radioSerial = RadioSerialNumber(session);
    if (radioSerial == -2)
        return session.Fail("program");
    const int64_t fileSerial = fromFile.SerialNumber;
    const SerialDecision decision = DecideSerialNumber(fileSerial, radioSerial);
    if (decision == SerialDecision::WrongDevice) {
        ShowErrorBox(WrongDeviceText(fileSerial, radioSerial));
        return kExitRefused;
    }
    // Every value is checked against the radio it is for before anything is written.
    if (const std::optional<RecordRefusal> refusal =
            CheckRecordForRadio(fromFile, session.RadioModel())) {
        ctx.Err() << "rm7ux program: '" << TerminalSafe(record.FileName())
                  << "': " << TerminalSafe(refusal->Problem) << "; nothing was written\n";
        return refusal->Kind == SettingRefusal::OutOfLimits ? kExitRefused : kExitUsage;
    }
    if (decision == SerialDecision::WriteWithoutSerial) {
        record.Record().SerialNumber = -1;
    } else if (int status = ConfirmSerialNumber(session, fileSerial, radioSerial);
               status != kExitOk) {
        return status;
    }

    // What the program will change, read right before writing: the radio it was read from is
    // the one written, or nothing is.
    TRM7UXFlashRecordClass before;
    std::string problem;
    if (!ReadRadio(before, session, problem, ctx, "reading the radio to review the changes"))
        return ReadFailed(session, ctx, problem);
    if (before.Record().SerialNumber != radioSerial) {
        ShowErrorBox(kConnectionChangedText);
        return kExitRefused;
    }
    const ProgramReview review = ReviewProgram(record.Record(), before.Record());
    PrintReview(ctx, review);

    Progress(ctx, "writing the configuration and saving it to flash");
    if (!session.Connect())
        return session.Fail("program");
    RadioIdentity radio;
    if (!IdentifyOnLink(radio) && session.Failure() != 0)
        return session.Fail("program");
    if (radio.Serial != radioSerial) {
        session.Close();
        ShowErrorBox(kConnectionChangedText);
        return kExitRefused;
    }
    OperationResult result;
    {
        CliHistory history(ctx, "program", radio, ContextOfRecord(before.Record()));
        result = ProgramRecord(record.Record(), before.Record(), radio, history.Recorder());
    }
    // A signal that came during the reset ends the run at the port's close: what was done is
    // said with it.
    if (PendingInterruption() != 0 && result.Outcome != OperationOutcome::Mixed)
        NoteInterruptionOutcome(result.Done()
                                    ? "the radio was programmed, saved to flash and reset; it "
                                      "was not read back to verify"
                                    : "the radio was programmed and saved to flash; its reset "
                                      "was not confirmed: reset it");
    session.Close();
    if (!result.Done() && result.Outcome != OperationOutcome::ResetUnconfirmed) {
        // What the radio holds now, field by field, as read back.
        for (const std::string& code : result.Written) {
            const std::optional<std::string> held = result.Value(code);
            ctx.Out() << code << "=" << (held ? "$" + *held : std::string("unknown")) << "\n";
        }
        return session.FailWith("Failed to write the configuration to flash: " + result.Message);
    }
    ShowInformationBox(result.Done() ? "Configuration Saved to Flash"
                                     : "Configuration Saved to Flash\r\nPlease reset the device");

    // What the radio holds after the reset came from its flash: reading it back checks both.
    session.Settle();
    TRM7UXFlashRecordClass back;
    if (!ReadRadio(back, session, problem, ctx, "reading the radio back to verify")) {
        // The line must know that this radio is programmed, only not verified.
        const std::string command = session.LastCommand();
        session.Fail("programmed and saved to flash; the verifying read failed" +
                     (command.empty() ? std::string() : " at " + TerminalSafe(command)));
        if (!problem.empty())
            ctx.Err() << TerminalSafe(problem) << "\n";
        return kExitFailed;
    }
    TRM7UXFlashRecord expected = fromFile;
    std::string noPV;
    if (expected.RevPowerThreshold >= 0 && back.Record().RevPowerThreshold < 0 &&
        !RadioTakesPV(ModelVariantCode(back.Record().FirmwareVersion) != 2,
                      back.Record().FirmwareVersion, &noPV)) {
        // Firmware older than PV: the field was rightly not sent, which is no failure.
        expected.RevPowerThreshold = -1;
        ctx.Err() << "rm7ux program: PV not programmed: the firmware of this radio ("
                  << TerminalSafe(back.Record().FirmwareVersion) << ") has no PV\n";
    }
    const std::vector<FieldDifference> differences = CompareRecords(expected, back.Record(), true);
    if (!differences.empty()) {
        PrintDifferences(ctx, differences, expected, back.Record());
        ctx.Err() << "rm7ux program: " << differences.size()
                  << (differences.size() == 1 ? " field" : " fields")
                  << " did not take (file value, radio value above)\n";
        return kExitFailed;
    }
    ctx.Out() << "Programmed and verified '" << TerminalSafe(record.FileName())
              << "' into serial number " << FormatSerialNumber(back.Record().SerialNumber) << "\n";
    return kExitOk;
}

int RunDiff(CliContext& ctx) {
    TRM7UXFlashRecordClass file;
    if (LoadFile(ctx, file) != kExitOk)
        return kExitUsage;
    RadioSession session(ctx);
    TRM7UXFlashRecordClass radio;
    std::string problem;
    // As diff(1): 0 the same, 1 different, 2 trouble of any kind.
    if (!ReadRadio(radio, session, problem, ctx)) {
        ReadFailed(session, ctx, problem);
        return kExitUsage;
    }
    const std::vector<FieldDifference> differences =
        CompareRecords(file.Record(), radio.Record(), false);
    PrintDifferences(ctx, differences, file.Record(), radio.Record());
    return differences.empty() ? kExitOk : kExitFailed;
}
