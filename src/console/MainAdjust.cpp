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
};

// Deviation, modulation balance and RF offset share one exchange: the value, confirmed and read
// back, and the bar shows what the radio holds.
void CalibrationChange(TMainForm& f, const CalibrationBar& c) {
    if (f.Updating())
        return;
    f.HintIfModem();
    const int position = c.Bar->value();
    if (!OpenRadioPort()) {
        f.TakeOperation({});
        return;
    }
    OperationResult r;
    {
        PortClose close;
        if (EnsureRadioIdentified() && f.SameRadioOnCable(f.SerialNumber())) {
            auto recorder = f.Recorder("adjust");
            r = WriteRadioField(c.Command, IntToHex(position, 2), f.HistoryContext(),
                                recorder.get());
            // Read back after the write, as the radio's own value is the one shown.
            if (std::string back; r.Done() && ReadRadioField(c.Command, back))
                r.Values[c.Command] = back;
            f.SayHistoryWarning(*recorder);
        }
    }
    f.TakeOperation(r);
}

}  // namespace

// ---- Transmitter switch ----

void TMainForm::PowerButton_TxOnClick(TPowerButton* Sender) {
    state_.PowerPollCount = 0;
    HintBeforeTransmit(Sender);
    RadioPicture& p = picture_;
    if (!OpenRadioPort()) {
        // The button has toggled itself already; the radio never heard of it.
        Redraw(PowerButton_TxOn);
        Draw();
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
        if (!p.Transmitting) {
            RadioIdentity radio;
            // Only the radio the window has read is keyed; its serial number tells a later full
            // read whether the keyed radio is still there.
            if (EnsureRadioIdentified() && readStatus() && IdentifyOnLink(radio) && p.ReadInFull &&
                radio.Serial == p.Serial) {
                auto recorder = Recorder("TX test", radio.Serial);
                int held = kDefaultPTTTimeout;
                const OperationResult r = TransmitterTestOn(held, radio, recorder.get());
                SayHistoryWarning(*recorder);
                p.Take(r);
                if (r.Done()) {
                    // What TX OFF, or a read that un-keys the radio, puts back.
                    p.OperatorPTT = held;
                    p.TestSerial = radio.Serial;
                    p.Transmitting = true;
                } else {
                    p.Transmitting = TransmitterMayStillBeOn();
                    message = r.Message;
                }
            }
        } else {
            RadioIdentity radio;
            // Releasing needs no full read: any radio that answers is released.
            if (EnsureRadioIdentified() && IdentifyOnLink(radio)) {
                const int seconds = p.OperatorPTT >= 0
                                        ? p.OperatorPTT
                                        : static_cast<int>(p.Number("PP").value_or(60));
                auto recorder = Recorder("TX test", radio.Serial);
                const OperationResult r = TransmitterTestOff(seconds, radio, recorder.get());
                SayHistoryWarning(*recorder);
                if (radio.Serial == p.Serial)
                    p.Take(r);
                if (!TransmitterMayStillBeOn()) {
                    p.Transmitting = false;
                    if (r.Value("PP") == IntToHex(seconds, 2)) {
                        p.OperatorPTT = -1;
                    } else {
                        // Still FF in the radio: the next refresh reads it in full and puts the
                        // operator's time-out back.
                        p.ReadInFull = false;
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
    RedrawAll();
    Draw();
    if (offFailed)
        ShowErrorBox("Could Not turn TX Off");
    if (!message.empty())
        ShowErrorBox(message);
    if (!statusError.empty())
        ShowException(std::runtime_error(statusError));
}

bool TMainForm::ReleaseOnSignal() {
    if (!picture_.Transmitting)
        return true;
    if (!OpenRadioPort())
        return false;
    PortClose close;
    RadioIdentity radio;
    if (!EnsureRadioIdentified() || !IdentifyOnLink(radio))
        return false;
    const int seconds = picture_.OperatorPTT >= 0 ? picture_.OperatorPTT : kDefaultPTTTimeout;
    auto recorder = Recorder("TX test", radio.Serial);
    TransmitterTestOff(seconds, radio, recorder.get());
    if (!TransmitterMayStillBeOn())
        picture_.Transmitting = false;
    return !picture_.Transmitting;
}

void TMainForm::PowerButton_TxOnBeforeClick(TPowerButton*, bool&) {
    // The switch is never vetoed.
}

void TMainForm::PowerButton_TxOnEnter(TPowerButton* Sender) {
    HintBeforeTransmit(Sender);
}

// ---- Power level and calibration ----

void TMainForm::ComboBox_RFLevelChange() {
    if (state_.Updating)
        return;
    const int level = ComboBox_RFLevel->currentIndex();
    if (level < 0)
        return;
    if (!OpenRadioPort()) {
        TakeOperation({});
        return;
    }
    OperationResult r;
    {
        PortClose close;
        if (EnsureRadioIdentified() && SameRadioOnCable(SerialNumber())) {
            auto recorder = Recorder("adjust");
            r = WriteRadioField("PW", IntToHex(level, 2), HistoryContext(), recorder.get());
            SayHistoryWarning(*recorder);
            // The bar edits the calibration of the level the radio now has.
            std::string reply;
            if (const std::optional<std::string> held = r.Value("PW")) {
                const std::string code = "PL" + std::to_string(HexToInt(*held) & 3);
                if (ReadRadioField(code, reply))
                    r.Values[code] = reply;
            }
        }
    }
    TakeOperation(r);
}

void TMainForm::ScrollBar_RfPwmChange() {
    if (state_.Updating)
        return;
    // "PL" with no level would type a minus sign where the radio expects a digit.
    const int level = ComboBox_RFLevel->currentIndex();
    if (level < 0)
        return;
    if (!OpenRadioPort()) {
        TakeOperation({});
        return;
    }
    OperationResult r;
    {
        PortClose close;
        if (EnsureRadioIdentified() && SameRadioOnCable(SerialNumber())) {
            const std::string code = "PL" + std::to_string(level);
            auto recorder = Recorder("adjust");
            r = WriteRadioField(code, IntToHex(ScrollBar_RfPwm->value(), 2), HistoryContext(),
                                recorder.get());
            SayHistoryWarning(*recorder);
        }
    }
    TakeOperation(r);
}

void TMainForm::ScrollBar_DeviationChange() {
    CalibrationChange(*this, {"PD", ScrollBar_Deviation});
}

void TMainForm::ScrollBar_ModBalanceChange() {
    CalibrationChange(*this, {"PM", ScrollBar_ModBalance});
}

void TMainForm::ScrollBar_RfOffsetChange() {
    CalibrationChange(*this, {"PF", ScrollBar_RfOffset});
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
    // Chosen during a TX test: also the value TX OFF puts back.
    if (WriteValue("PP", IntToHex(seconds, 2)) && picture_.Transmitting)
        picture_.OperatorPTT = seconds;
}

bool TMainForm::SetValidTemp() {
    const int32_t minimum = state_.CutoutTempMinimum;
    const int lower = ProgramSettings.MinCutoutTempSet ? minimum : kLowestTemperature;
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
    // allowed after a word of warning, unless the radio has it already.
    const std::optional<int64_t> held = picture_.Number("PS");
    const bool same = held && *held - kTemperatureOffset == value;
    const bool warn = !ProgramSettings.MinCutoutTempSet && value < minimum && !same;
    if (warn)
        ShowWarningBox("The selected temperature is below the recommended temperature of " +
                       std::to_string(minimum) + " Degrees C");
    return warn;
}

void TMainForm::SetCutOutTemp() {
    const int64_t startSerial = SerialNumber();
    // Refreshes run while the warning is open: the radio it was meant for may be gone.
    SetValidTemp();
    const int value = TryStrToInt(Edit_CutoutTemp->text().toStdString()).value_or(0);
    WriteValueToSameRadio("PS", IntToHex(value + kTemperatureOffset, 2), startSerial);
}

// ---- CTCSS and save to flash ----

void TMainForm::SpinEdit_CTCSSChange() {
    if (state_.Updating)
        return;
    // Enter on the box reports its value again though nothing changed.
    const int value = SpinEdit_CTCSS->value();
    if (picture_.Number("SC") == value)
        return;
    WriteValue("SC", IntToHex(value, 2));
}

void TMainForm::Button_WriteRadioSettingsClick() {
    if (TransmitterOn() != 0) {
        ShowPlainBox("The Transmitter must be turned OFF during the write radio process");
        return;
    }
    if (!ConfirmOverUnfinished("save to flash"))
        return;
    if (!OpenRadioPort())
        return;
    OperationResult r;
    bool identified = false;
    {
        PortClose close;
        identified = EnsureRadioIdentified() && SameRadioOnCable(SerialNumber());
        if (identified) {
            auto recorder = Recorder("flash");
            r = SaveWorkingSettings(recorder.get());
            SayHistoryWarning(*recorder);
        }
    }
    if (!identified)
        return;
    // An unconfirmed save keeps the changes marked: the operator saves again.
    TakeOperation(r);
    if (!r.Done())
        ShowErrorBox(r.Message);
}

// ---- Balloon hints ----

void TMainForm::ShowModemHint() {
    if (Form_BubbleHint == nullptr || Form_BubbleHint->isVisible())
        return;
    if (state_.ModemDown) {
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
    if (state_.ModemDown)
        return;
    ShowModemHint();
    if (Sender != nullptr)
        Sender->setFocus();
}

void TMainForm::HintIfModem() {
    if (state_.ModemDown)
        ShowModemHint();
}
