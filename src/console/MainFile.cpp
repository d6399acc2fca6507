// Save to file and program from file: a radio's whole flash configuration to and from a
// configuration file that belongs to one circuit board. The file carries that board's
// calibration, so it is programmed only into the radio whose serial number it names.

#include <QComboBox>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "common/UserDialogs.h"
#include "config/FieldTable.h"
#include "config/ProgramReview.h"
#include "config/RM7UXFlashConfigObj.h"
#include "config/SerialGuard.h"
#include "console/Main.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"

namespace {

constexpr int64_t kNoSerial = -1;

// Each model has its own file type.
void SetUpFileDialog(TFileDialog& dialog, uint8_t radioModel) {
    if (radioModel == 1) {
        dialog.DefaultExt = "RM7UX";
        dialog.Filter = "RM7UX|*.RM7UX";
    } else {
        dialog.DefaultExt = "RM7VX";
        dialog.Filter = "RM7VX|*.RM7VX";
    }
}

// A field as the window labels it, with its unit as the label has it ("TX Frequency (MHz)").
// `levels` are the RF Level list's captions, which name the power calibrations.
std::string WindowLabel(const ReviewRow& row, const std::vector<std::string>& levels) {
    std::string label(FieldLabel(row.Code));
    if (row.Code.size() == 3 && row.Code.rfind("PL", 0) == 0) {
        const size_t level = static_cast<size_t>(row.Code[2] - '0');
        if (level < levels.size())
            label = "RF Power Calibration " + levels[level];
    }
    return label + (row.Unit.empty() ? "" : " (" + row.Unit + ")");
}

// The review as the question shows it: one line per field that changes, in its unit, named as
// the window names it; `powerLevels` is the RF Level list.
std::string ReviewText(const ProgramReview& review, const std::string& fileName,
                       const QComboBox& powerLevels) {
    std::vector<std::string> levels;
    for (int i = 0; i < powerLevels.count(); ++i)
        levels.push_back(powerLevels.itemText(i).trimmed().toStdString());

    std::string text = "Programming '" + fileName + "' ";
    if (review.Changes.empty()) {
        text += "changes no field (" + std::to_string(review.Unchanged) + " unchanged).";
    } else {
        text += "changes " + std::to_string(review.Changes.size()) +
                (review.Changes.size() == 1 ? " field" : " fields") + ":\r\n\r\n";
        for (const ReviewRow& r : review.Changes)
            text +=
                WindowLabel(r, levels) + ": " + r.RadioValue + " \u2192 " + r.FileValue + "\r\n";
        text += "\r\n" + std::to_string(review.Unchanged) + " fields unchanged.";
    }
    return text + "\r\n\r\nThe radio is then saved to flash and reset.\r\n\r\nProgram the radio?";
}

}  // namespace

bool TMainForm::ConnectionUnchanged(int64_t StartSerial) {
    if (SerialNumber() == StartSerial)
        return true;
    ShowErrorBox(kConnectionChangedText);
    return false;
}

void TMainForm::BitBtn_SaveConfigClick() {
    // The record's read un-keys the radio and would store the test's PTT time-out of 255 s.
    if (RefusedWhileTransmitting("save to file process"))
        return;
    try {
        SetUpFileDialog(SaveDialog, RadioModel());
        if (!ExecuteFileDialog(SaveDialog))
            return;
        FlashRecord->SetFileName(SaveDialog.FileName);
        OpenDialog.FileName = FlashRecord->FileName();
        if (FlashRecord->FileExists() &&
            ShowWarningBox("Replace existing file '" + FlashRecord->FileName() + "' ?") !=
                MsgResult::OK)
            return;
        RefreshPause pause(Timer_ReadRadio);
        if (!FlashRecord->ReadFromRadio()) {
            ShowErrorBox("Failed to read the configuration from flash");
            return;
        }
        // A replaced file that would not load back is no backup: the old one is kept.
        std::string problem;
        if (!FlashRecord->SaveToFileLoadable(problem))
            ShowErrorBox("Failed to save the configuration to file\r\n" + problem);
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

void TMainForm::BitBtn_WriteConfigClick() {
    if (RefusedWhileTransmitting("program from file process"))
        return;
    try {
        // Only a radio the window has read in full is programmed: its serial number decides.
        if (SerialNumber() < 0) {
            ShowErrorBox("No radio is connected");
            return;
        }
        const int64_t startSerial = SerialNumber();
        SetUpFileDialog(OpenDialog, RadioModel());
        if (!ExecuteFileDialog(OpenDialog))
            return;
        // The refresh runs while the dialog is up: the radio may have been exchanged.
        if (!ConnectionUnchanged(startSerial))
            return;
        FlashRecord->SetFileName(OpenDialog.FileName);
        SaveDialog.FileName = FlashRecord->FileName();
        const std::string& fileName = FlashRecord->FileName();
        if (!FlashRecord->FileExists()) {
            ShowErrorBox("The file '" + fileName + "' does not exist");
            return;
        }
        if (!FlashRecord->LoadFromFile()) {
            ShowErrorBox("Failed to load from the configuration from the file '" + fileName + "'");
            return;
        }
        // Every value is checked against this radio before anything is read or written.
        if (const std::optional<RecordRefusal> refusal =
                CheckRecordForRadio(FlashRecord->Record(), RadioModel())) {
            ShowErrorBox("The configuration in the file '" + fileName +
                         "' cannot be programmed into this radio:\r\n" + refusal->Problem);
            return;
        }

        int64_t& recordSerial = FlashRecord->Record().SerialNumber;
        const int64_t fileSerial = recordSerial;
        const int64_t radioSerial = SerialNumber();
        switch (DecideSerialNumber(fileSerial, radioSerial)) {
            case SerialDecision::WriteWithoutSerial:
                // The radio's own file, or one with no number: the radio keeps its own.
                recordSerial = kNoSerial;
                break;
            case SerialDecision::ConfirmAndWriteSerial:
                if (ShowWarningBox(InvalidSerialWarningText(fileSerial), MsgButtons::OKAbort) !=
                        MsgResult::OK ||
                    !ConnectionUnchanged(startSerial))
                    return;
                if (ShowWarningBox(ProgramSerialQuestionText(fileSerial), MsgButtons::OKCancel) !=
                        MsgResult::OK ||
                    !ConnectionUnchanged(startSerial))
                    return;
                break;
            case SerialDecision::WrongDevice:
                ShowErrorBox(WrongDeviceText(fileSerial, radioSerial));
                return;
        }

        // What the program would change, against what the radio holds now: the operator
        // programs or cancels.
        TRM7UXFlashRecordClass held;
        if (!held.ReadFromRadio()) {
            ShowErrorBox("Failed to read the configuration from flash");
            return;
        }
        if (held.Record().SerialNumber != radioSerial) {
            ShowErrorBox(kConnectionChangedText);
            return;
        }
        const ProgramReview review = ReviewProgram(FlashRecord->Record(), held.Record());
        if (ShowQuestionBox(ReviewText(review, fileName, *ComboBox_RFLevel),
                            MsgButtons::ProgramCancel) != MsgResult::OK)
            return;
        // The decision stands on the serial number of the last refresh, which may be a whole
        // timer interval old: the radio on the cable is asked once more, in the exchange that
        // writes it.
        RefreshPause pause(Timer_ReadRadio);
        if (!OpenRadioPort()) {
            ShowErrorBox("Failed to write the configuration to flash");
            return;
        }
        OperationResult r;
        SameRadio same = SameRadio::NoAnswer;
        {
            PortClose close;
            RadioIdentity radio;
            same = CheckSameRadio(radioSerial, &radio);
            if (same == SameRadio::Yes) {
                auto recorder = Recorder("program", radioSerial);
                r = ProgramRecord(FlashRecord->Record(), held.Record(), radio, recorder.get());
                SayHistoryWarning(*recorder);
            }
        }
        if (same != SameRadio::Yes) {
            ShowErrorBox(same == SameRadio::Another ? kConnectionChangedText
                                                    : "Failed to write the configuration to flash");
            return;
        }
        if (r.Unsaved == UnsavedChanges::Saved)
            SetChangesMadeState(false);
        else if (r.Unsaved == UnsavedChanges::Changed)
            SetChangesMadeState(true);
        // The window shows what the radio holds now: it is read again in full at once.
        ForgetRadio();
        RM7UXLoadradioData();
        if (r.Done())
            ShowInformationBox("Configuration Saved to Flash");
        else if (r.Outcome == OperationOutcome::ResetUnconfirmed)
            ShowInformationBox("Configuration Saved to Flash\r\nPlease reset the device");
        else
            ShowErrorBox("Failed to write the configuration to flash\r\n" + r.Message);
    } catch (const std::exception& e) {
        ShowException(e);
    }
}
