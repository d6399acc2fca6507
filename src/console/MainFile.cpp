// Save to file and program from file: a radio's whole flash configuration to and from a
// configuration file that belongs to one circuit board. The file carries that board's
// calibration, so it is programmed only into the radio whose serial number it names.

#include <exception>
#include <string>

#include "common/UserDialogs.h"
#include "config/RM7UXFlashConfigObj.h"
#include "console/Main.h"
#include "link/RM7UXcomms.h"

namespace {

constexpr int64_t kNoSerial = -1;
const char* const kConnectionChanged = "The device connection has changed.\r\nAborting!";

bool IsValidSerialNumber(int64_t serial) {
    return serial >= 1000000 && serial <= 12999999;
}

std::string FormatSerialNumber(int64_t serial) {
    std::string text = std::to_string(serial);
    // Zeros in front of a minus sign would make a number of it that it is not.
    if (serial >= 0 && text.size() < 8)
        text.insert(0, 8 - text.size(), '0');
    return text;
}

std::string InvalidSerialWarningText(int64_t fileSerial) {
    return "Invalid serial number in connect device!!\r\n\r\nThe connected device appears not to "
           "have a correctly programmed serial number.\r\nThe serial number is a unique number "
           "printed on the devices Printed Circuit Board (PCB).\r\n\r\n"
           "The PCB serial number keeps a configuration from being programmed into the wrong\r\n"
           "device: a configuration holds the calibration of one device, and programmed into\r\n"
           "another it could damage the connected device.\r\n\r\n"
           "Make sure that the connected device is the correct device for this configuration "
           "!!!\r\nThe PCB Serial Number should be '" +
           FormatSerialNumber(fileSerial) + "'\r\nIf it is not abort now !!!";
}

std::string ProgramSerialQuestionText(int64_t fileSerial) {
    return "Program Serial Number ?\r\n\r\nThe serial number for the connect device will be "
           "programmed with '" +
           FormatSerialNumber(fileSerial) +
           "'\r\nMake sure this is the correct Serial number and press OK to proceed.";
}

std::string WrongDeviceText(int64_t fileSerial, int64_t radioSerial) {
    return "Wrong device !!\r\n\r\nThe configuration in this file is for a different module with "
           "serial number '" +
           FormatSerialNumber(fileSerial) + "'\r\nThe connected device has serial number '" +
           FormatSerialNumber(radioSerial) +
           "'\r\nThe serial number is printed on the Printed Circuit Board (PCB)";
}

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

// The serial number the radio on the port reports now; -1 when it cannot be read.
int64_t ConnectedSerialNumber() {
    if (!OpenRadioPort())
        return kNoSerial;
    int64_t serial = kNoSerial;
    if (EnsureRadioIdentified())
        serial = ReadSerialNumber();
    CloseRadioPort();
    return serial;
}

}  // namespace

bool TMainForm::ConnectionUnchanged(int64_t StartSerial) {
    if (SerialNumber == StartSerial)
        return true;
    ShowErrorBox(kConnectionChanged);
    return false;
}

void TMainForm::BitBtn_SaveConfigClick() {
    try {
        SetUpFileDialog(SaveDialog, RadioModel);
        if (!ExecuteFileDialog(SaveDialog))
            return;
        FlashRecord->SetFileName(SaveDialog.FileName);
        OpenDialog.FileName = FlashRecord->FileName();
        if (FlashRecord->FileExists() &&
            ShowWarningBox("Replace existing file '" + FlashRecord->FileName() + "' ?") !=
                MsgResult::OK)
            return;
        if (!FlashRecord->ReadFromRadio()) {
            ShowErrorBox("Failed to read the configuration from flash");
            return;
        }
        if (!FlashRecord->SaveToFile())
            ShowErrorBox("Failed to save the configuration to file");
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

void TMainForm::BitBtn_WriteConfigClick() {
    try {
        const int64_t startSerial = SerialNumber;
        SetUpFileDialog(OpenDialog, RadioModel);
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

        int64_t& recordSerial = FlashRecord->Record().SerialNumber;
        const int64_t fileSerial = recordSerial;
        const int64_t radioSerial = SerialNumber;
        if (fileSerial != kNoSerial && radioSerial != kNoSerial && fileSerial == radioSerial) {
            // The radio's own file: its serial number stays as it is.
            recordSerial = kNoSerial;
        } else if (IsValidSerialNumber(fileSerial) && !IsValidSerialNumber(radioSerial)) {
            if (ShowWarningBox(InvalidSerialWarningText(fileSerial), MsgButtons::OKAbort) !=
                    MsgResult::OK ||
                !ConnectionUnchanged(startSerial))
                return;
            if (ShowWarningBox(ProgramSerialQuestionText(fileSerial), MsgButtons::OKCancel) !=
                    MsgResult::OK ||
                !ConnectionUnchanged(startSerial))
                return;
        } else if (fileSerial == kNoSerial) {
            // Nothing to check against: written without a serial number.
        } else {
            ShowErrorBox(WrongDeviceText(fileSerial, radioSerial));
            return;
        }

        // The decision stands on the serial number of the last refresh, which may be a whole
        // timer interval old: the radio on the cable is asked once more before it is written.
        if (ConnectedSerialNumber() != radioSerial) {
            ShowErrorBox(kConnectionChanged);
            return;
        }
        if (!FlashRecord->WriteToRadio()) {
            ShowErrorBox("Failed to write the configuration to flash");
            return;
        }
        if (ResetRadio())
            ShowInformationBox("Configuration Saved to Flash");
        else
            ShowInformationBox("Configuration Saved to Flash\r\nPlease reset the device");
    } catch (const std::exception& e) {
        ShowException(e);
    }
}
