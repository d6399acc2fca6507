// Live adjustments: the transmitter switch, power level, calibration, PTT time-out, cut-out
// temperature, CTCSS, the save to flash and the balloon hints that go with them. Each one is a
// self-contained exchange: the port is opened, the radio identified, the command sent, the port
// closed.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <stdexcept>
#include <string>

#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "config/INIunit.h"
#include "console/Main.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "operations/RadioOperations.h"
#include "widgets/FormBubbleHint.h"
#include "widgets/PowerButton.h"

namespace {

constexpr int kDefaultPTTTimeout = 60;

struct CalibrationBar {
    const char* Command;
    QScrollBar* Bar;
    QLabel* Label;
    std::string* Text;
};

// Deviation, modulation balance and RF offset share one exchange: the value, confirmed or read
// back, and the bar shows what the radio holds.
void CalibrationChange(TMainForm& f, const CalibrationBar& c) {
    if (f.Updating)
        return;
    UpdatingScope updating(f.Updating);
    f.HintIfModem();
    const int position = c.Bar->value();
    *c.Text = IntToHex(position, 2);
    if (!OpenRadioPort())
        return;
    if (EnsureRadioIdentified()) {
        auto recorder = f.Recorder("adjust");
        OperationResult r =
            WriteRadioField(c.Command, IntToHex(position, 2), f.HistoryContext(), recorder.get());
        // Read back after the write, as the radio's own value is the one shown.
        if (std::string back; r.Done() && ReadRadioField(c.Command, back))
            r.Values[c.Command] = back;
        if (const std::optional<std::string> held = r.Value(c.Command)) {
            *c.Text = *held;
            c.Bar->setValue(HexToInt(*held));
        }
        if (r.Unsaved == UnsavedChanges::Changed)
            f.SetChangesMadeState(true);
        f.SayHistoryWarning(*recorder);
    }
    CloseRadioPort();
    c.Label->setText(QString::number(c.Bar->value()));
}

}  // namespace

// ---- Transmitter switch ----

void TMainForm::PowerButton_TxOnClick(TPowerButton* Sender) {
    PowerPollCount = 0;
    HintBeforeTransmit(Sender);
    if (!OpenRadioPort()) {
        // The button has toggled itself already; the radio never heard of it.
        PowerButton_TxOn->SetButtonDown(!PowerButton_TxOn->ButtonDown());
        return;
    }
    // A status reply that is no number is reported once the port is closed and the button
    // shows what the radio does.
    std::string statusError;
    auto readStatus = [&] {
        try {
            RM7UX_UpdateStatus();
            return true;
        } catch (const std::exception& e) {
            statusError = UnreadableReplyText(e);
            return false;
        }
    };
    bool offFailed = false;
    std::string message;
    {
        PortClose close;
        if (TransmitterOn == 0) {
            ShowTransmitterOn(true);
            TransmitterOn = 0;
            RadioIdentity radio;
            // The serial number tells a later full read whether the keyed radio is still there.
            if (EnsureRadioIdentified() && readStatus() && IdentifyOnLink(radio)) {
                auto recorder = Recorder("TX test", radio.Serial);
                int held = kDefaultPTTTimeout;
                const OperationResult r = TransmitterTestOn(held, radio, recorder.get());
                SayHistoryWarning(*recorder);
                if (r.Done()) {
                    // What TX OFF, or a read that un-keys the radio, puts back.
                    OperatorPTTTimeout = held;
                    TxTestSerial = radio.Serial;
                    TransmitterOn = 1;
                } else {
                    ShowTransmitterOn(TransmitterMayStillBeOn());
                    TransmitterOn = 0;
                    message = r.Message;
                }
            } else {
                ShowTransmitterOn(false);
            }
        } else {
            ShowTransmitterOn(false);
            TransmitterOn = 1;
            RadioIdentity radio;
            if (EnsureRadioIdentified() && IdentifyOnLink(radio)) {
                const int seconds = OperatorPTTTimeout >= 0 ? OperatorPTTTimeout : PTTTimeoutValue;
                auto recorder = Recorder("TX test", radio.Serial);
                const OperationResult r = TransmitterTestOff(seconds, radio, recorder.get());
                SayHistoryWarning(*recorder);
                if (!TransmitterMayStillBeOn()) {
                    TransmitterOn = 0;
                    if (r.Value("PP") == IntToHex(seconds, 2)) {
                        OperatorPTTTimeout = -1;
                        PTTTimeoutValue = seconds;
                        Edit_PTTTimeout->setText(QString::number(seconds));
                    } else {
                        // Still FF in the radio: the next refresh reads it in full and puts the
                        // operator's time-out back.
                        ForgetRadio();
                        message = r.Message;
                    }
                    readStatus();
                } else {
                    offFailed = true;
                }
            } else {
                offFailed = true;
            }
        }
    }
    if (offFailed) {
        ShowErrorBox("Could Not turn TX Off");
        ShowTransmitterOn(true);
    }
    if (!message.empty())
        ShowErrorBox(message);
    if (!statusError.empty())
        ShowException(std::runtime_error(statusError));
}

void TMainForm::PowerButton_TxOnBeforeClick(TPowerButton*, bool&) {
    // The switch is never vetoed.
}

void TMainForm::PowerButton_TxOnEnter(TPowerButton* Sender) {
    HintBeforeTransmit(Sender);
}

// ---- Power level and calibration ----

void TMainForm::ComboBox_RFLevelChange() {
    if (Updating)
        return;
    const int level = ComboBox_RFLevel->currentIndex();
    if (level < 0)
        return;
    if (!OpenRadioPort())
        return;
    if (EnsureRadioIdentified()) {
        auto recorder = Recorder("adjust");
        const OperationResult r =
            WriteRadioField("PW", IntToHex(level, 2), HistoryContext(), recorder.get());
        if (r.Unsaved == UnsavedChanges::Changed)
            SetChangesMadeState(true);
        SayHistoryWarning(*recorder);
        const std::optional<std::string> held = r.Value("PW");
        if (held && (HexToInt(*held) & 3) != level) {
            UpdatingScope updating(Updating);
            ComboBox_RFLevel->setCurrentIndex(HexToInt(*held) & 3);
        }
        std::string reply;
        // The bar edits the calibration of the level the radio now has. Moving it from here runs
        // its own handler, as the original bar did.
        if (held && ReadRadioField("PL" + std::to_string(HexToInt(*held) & 3), reply)) {
            ScrollBar_RfPwm->setValue(HexToInt(reply));
            Label_PwLev->setText(QString::number(ScrollBar_RfPwm->value()));
        }
    }
    CloseRadioPort();
}

void TMainForm::ScrollBar_RfPwmChange() {
    if (Updating)
        return;
    // "PL" with no level would type a minus sign where the radio expects a digit.
    const int level = ComboBox_RFLevel->currentIndex();
    if (level < 0)
        return;
    if (!OpenRadioPort())
        return;
    if (EnsureRadioIdentified()) {
        const std::string code = "PL" + std::to_string(level);
        auto recorder = Recorder("adjust");
        const OperationResult r = WriteRadioField(code, IntToHex(ScrollBar_RfPwm->value(), 2),
                                                  HistoryContext(), recorder.get());
        if (r.Unsaved == UnsavedChanges::Changed)
            SetChangesMadeState(true);
        SayHistoryWarning(*recorder);
        if (const std::optional<std::string> held = r.Value(code); held && !r.Done()) {
            UpdatingScope updating(Updating);
            ScrollBar_RfPwm->setValue(HexToInt(*held));
        }
        Label_PwLev->setText(QString::number(ScrollBar_RfPwm->value()));
    }
    CloseRadioPort();
}

void TMainForm::ScrollBar_DeviationChange() {
    CalibrationChange(*this, {"PD", ScrollBar_Deviation, Label_DevLev, &DeviationHex});
}

void TMainForm::ScrollBar_ModBalanceChange() {
    CalibrationChange(*this, {"PM", ScrollBar_ModBalance, Label_ModLev, &ModBalanceHex});
}

void TMainForm::ScrollBar_RfOffsetChange() {
    CalibrationChange(*this, {"PF", ScrollBar_RfOffset, Label_OsLev, &RfOffsetHex});
}

void TMainForm::ScrollBar_DeviationEnter() {
    HintIfModem();
}

void TMainForm::ScrollBar_ModBalanceEnter() {
    HintIfModem();
}

void TMainForm::ScrollBar_RfOffsetEnter() {
    HintIfModem();
}

// ---- PTT time-out and cut-out temperature ----

void TMainForm::Edit_PTTTimeoutKeyPress(QObject* Sender, char& Key) {
    if (Key != 13)
        return;
    Key = 0;
    SetPTT();
    Edit_Enter(Sender);
}

void TMainForm::Edit_PTTTimeoutExit() {
    if (TEditChangesMade(Edit_PTTTimeout))
        SetPTT();
}

void TMainForm::Edit_CutoutTempKeyPress(QObject* Sender, char& Key) {
    if (Key != 13)
        return;
    Key = 0;
    SetCutOutTemp();
    Edit_Enter(Sender);
}

void TMainForm::Edit_CutoutTempExit() {
    if (TEditChangesMade(Edit_CutoutTemp))
        SetCutOutTemp();
}

void TMainForm::SetValidPTTTimeOut() {
    const auto seconds = TryStrToInt(Edit_PTTTimeout->text().toStdString());
    if (!seconds || *seconds < 0 || *seconds > 255)
        Edit_PTTTimeout->setText(QString::number(kDefaultPTTTimeout));
}

void TMainForm::SetPTT() {
    SetValidPTTTimeOut();
    const int seconds =
        TryStrToInt(Edit_PTTTimeout->text().toStdString()).value_or(kDefaultPTTTimeout);
    if (WriteValue("PP", IntToHex(seconds, 2))) {
        SetChangesMadeState(true);
        PTTTimeoutValue = seconds;
        // Chosen during a TX test: the value TX OFF puts back.
        if (OperatorPTTTimeout >= 0)
            OperatorPTTTimeout = seconds;
    } else {
        Edit_PTTTimeout->setText(QString::number(PTTTimeoutValue));
    }
}

bool TMainForm::SetValidTemp() {
    const int lower = ProgramSettings.MinCutoutTempSet ? CutoutTempMinimum : kLowestTemperature;
    const auto typed = TryStrToInt(Edit_CutoutTemp->text().toStdString());
    int value = typed.value_or(lower);
    bool clamped = !typed;
    if (value < lower) {
        value = lower;
        clamped = true;
    } else if (value > kHighestTemperature) {
        value = kHighestTemperature;
        clamped = true;
    }
    if (clamped)
        Edit_CutoutTemp->setText(QString::number(value));
    // With a minimum from the settings file the bound says it all; otherwise a low value is
    // allowed after a word of warning.
    const bool warn =
        !ProgramSettings.MinCutoutTempSet && value < CutoutTempMinimum && value != CutoutTemp;
    if (warn)
        ShowWarningBox("The selected temperature is below the recommended temperature of " +
                       std::to_string(CutoutTempMinimum) + " Degrees C");
    CutoutTemp = value;
    return warn;
}

void TMainForm::SetCutOutTemp() {
    const int64_t startSerial = SerialNumber;
    const int32_t held = CutoutTemp;
    // Refreshes run while the warning is open: the radio it was meant for may be gone.
    const bool warned = SetValidTemp();
    const std::string value = IntToHex(CutoutTemp + kTemperatureOffset, 2);
    if (warned ? WriteValueToSameRadio("PS", value, startSerial) : WriteValue("PS", value)) {
        SetChangesMadeState(true);
    } else {
        CutoutTemp = held;
        Edit_CutoutTemp->setText(QString::number(held));
    }
}

// ---- CTCSS and save to flash ----

void TMainForm::SpinEdit_CTCSSChange() {
    if (Updating)
        return;
    // Enter on the box reports its value again though nothing changed.
    const int value = SpinEdit_CTCSS->value();
    if (value == CtcssValue)
        return;
    if (WriteValue("SC", IntToHex(value, 2))) {
        CtcssValue = value;
    } else {
        UpdatingScope updating(Updating);
        SpinEdit_CTCSS->setValue(CtcssValue);
    }
}

void TMainForm::Button_WriteRadioSettingsClick() {
    if (TransmitterOn != 0) {
        ShowPlainBox("The Transmitter must be turned OFF during the write radio process");
        return;
    }
    if (!ConfirmOverUnfinished("save to flash"))
        return;
    if (!OpenRadioPort())
        return;
    if (!EnsureRadioIdentified()) {
        CloseRadioPort();
        return;
    }
    auto recorder = Recorder("flash");
    const OperationResult r = SaveWorkingSettings(recorder.get());
    CloseRadioPort();
    SayHistoryWarning(*recorder);
    // An unconfirmed save keeps the changes marked: the operator saves again.
    if (r.Done())
        SetChangesMadeState(false);
    else
        ShowErrorBox(r.Message);
}

// ---- Balloon hints ----

void TMainForm::ShowModemHint() {
    if (Form_BubbleHint == nullptr || Form_BubbleHint->isVisible())
        return;
    if (PowerButton_M82KDModem->ButtonDown()) {
        Form_BubbleHint->SetHintText(
            "It is best to use the M82KD configuration utility to calibrate M82KD modems", 189, 48);
    } else {
        Form_BubbleHint->SetHintText(
            "It is necessary to put the Radio into tone reversal mode.\r\n\r\nSee help for details",
            189, 80);
    }
    Form_BubbleHint->PlaceBeside(this, PowerButton_TxOn->mapToGlobal(QPoint(0, 0)).y());
    Form_BubbleHint->show();
    // The keyboard stays with the main window and the control that has the focus there.
    raise();
    activateWindow();
}

void TMainForm::HintBeforeTransmit(QWidget* Sender) {
    if (PowerButton_M82KDModem->ButtonDown())
        return;
    ShowModemHint();
    if (Sender != nullptr)
        Sender->setFocus();
}

void TMainForm::HintIfModem() {
    if (PowerButton_M82KDModem->ButtonDown())
        ShowModemHint();
}
