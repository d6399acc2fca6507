// The one place that puts what the window knows into its controls: the lamp, the radio's
// identity, status and settings, its frequencies and plans, the unsaved mark, the transmitter
// test, the advanced panel and which controls work. Handlers change the state (the radio's
// picture, the window's own) and call Draw; a control is set only when what it should show
// differs from what Draw last put there, so a refresh never disturbs the operator's hand.

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <vector>

#include "common/StrUtils.h"
#include "console/Main.h"
#include "frequency/CountryFrequency.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "link/Utilities.h"
#include "widgets/PowerButton.h"

namespace {

using namespace WindowColour;

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// Eight digits as the radio's label carries them; only a seven-digit number gets its zero back.
QString SerialNumberText(int64_t serial) {
    QString text = QString::number(serial);
    return text.size() == 7 ? "0" + text : text;
}

QString MHzText(const std::optional<double>& mhz) {
    return mhz ? Text(FormatFixed(*mhz, 5, DefaultFormatSettings())) : QString();
}

}  // namespace

bool TMainForm::Due(const void* control, const QVariant& value) {
    const auto it = drawn_.find(control);
    if (it != drawn_.end() && it->second == value)
        return false;
    drawn_[control] = value;
    return true;
}

void TMainForm::Draw() {
    // Values set from here raise the controls' change events: their handlers must not send.
    UpdatingScope updating(state_.Updating);
    // Another radio (or none): every control shows it afresh, whatever the operator moved.
    if (drawnRadio_ != picture_.Generation) {
        drawnRadio_ = picture_.Generation;
        drawn_.clear();
    }
    DrawLamp();
    DrawRadio();
    DrawFrequencies();
    DrawBandList();

    const RadioPicture& p = picture_;
    if (Due(Button_WriteRadioSettings, p.Unsaved)) {
        QFont f = Button_WriteRadioSettings->font();
        f.setBold(p.Unsaved);
        Button_WriteRadioSettings->setFont(f);
        SetTextColour(Button_WriteRadioSettings, QPalette::ButtonText,
                      p.Unsaved ? Red : System(QPalette::ButtonText));
    }
    if (Due(PowerButton_TxOn, p.Transmitting) || PowerButton_TxOn->ButtonDown() != p.Transmitting) {
        PowerButton_TxOn->SetButtonDown(p.Transmitting);
        SetTextColour(PowerButton_TxOn, QPalette::WindowText,
                      p.Transmitting ? Red : System(QPalette::WindowText));
    }
    if (Due(PowerButton_M82KDModem, state_.ModemDown) ||
        PowerButton_M82KDModem->ButtonDown() != state_.ModemDown)
        PowerButton_M82KDModem->SetButtonDown(state_.ModemDown);

    // The link row: the port applied and the Connect box, set from here without their
    // handlers, which the change that asked for them has run.
    if (Due(ComboBox_PortNumber, state_.Port)) {
        const QSignalBlocker quiet(ComboBox_PortNumber);
        ComboBox_PortNumber->setCurrentIndex(state_.Port - 1);
    }
    if (Due(CheckBox_Connect, state_.Connect)) {
        const QSignalBlocker quiet(CheckBox_Connect);
        CheckBox_Connect->setChecked(state_.Connect);
    }
    if (Due(&state_.PanelsEnabled, state_.PanelsEnabled)) {
        Panel_Normal->setEnabled(state_.PanelsEnabled);
        Panel_Advanced->setEnabled(state_.PanelsEnabled);
    }
    // The modem is reached only while connected.
    if (Due(&state_.ModemDown, state_.Connect))
        PowerButton_M82KDModem->setEnabled(state_.Connect);

    const int advanced = (state_.AdvancedMode ? 1 : 0) + (state_.AdvancedAll ? 2 : 0);
    if (Due(Panel_Advanced, advanced)) {
        if (state_.AdvancedMode) {
            Panel_Advanced->show();
            Button_Advanced->setText("Normal");
            BitBtn_SaveConfig->setVisible(state_.AdvancedAll);
            BitBtn_WriteConfig->setVisible(state_.AdvancedAll);
        } else {
            Panel_Advanced->hide();
            Button_Advanced->setText("Advanced");
        }
        FitClientHeight();
    }

    // The working controls: only for a radio the window has read in full, while it answers.
    const bool on = state_.LinkUp && p.ReadInFull;
    if (Due(Panel_Normal, on) || on != state_.ConsoleEnabled) {
        state_.ConsoleEnabled = on;
        // Disabling the focused control passes the focus on down the panel: none of that is the
        // operator entering a control.
        UpdatingScope passingFocus(disablingConsole_);
        for (QWidget* parent :
             {static_cast<QWidget*>(Panel_Normal), static_cast<QWidget*>(Panel_Advanced),
              static_cast<QWidget*>(GroupBox_FrequencyStep)}) {
            for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                child->setEnabled(on);
        }
        PowerButton_TxOn->setEnabled(on);
        if (Button_Alignment != nullptr)
            Button_Alignment->setEnabled(on);
        Redraw(RadioButton_FS5000);
        Redraw(ComboBox_RFLevel);
    }
    // These two follow the radio as well: the 5 kHz step only for an RM7UX, the plan selector
    // only when its band has plans.
    const bool fiveKHz = on && p.Model == 1;
    if (Due(RadioButton_FS5000, fiveKHz))
        RadioButton_FS5000->setEnabled(fiveKHz);
    const bool plans = on && ComboBox_FreqBand->count() > 0 && PlanStart() >= 0;
    if (Due(ComboBox_FreqBand, plans))
        ComboBox_FreqBand->setEnabled(plans);
}

void TMainForm::DrawLamp() {
    struct Look {
        QString Text;
        QColor TextColour, Lamp;
    };
    Look look{"Inactive", System(QPalette::WindowText), System(QPalette::Window)};
    if (state_.Lamp) {
        const QString text = Text(CommsStateText(*state_.Lamp));
        switch (*state_.Lamp) {
            case csPortNotAvailable:
                look = {text, Red, Red};
                break;
            case csNoConnection:
            case csTimeOut:
            case csInvalidDevice:
                look = {text, Red, Maroon};
                break;
            case csPortOpen:
                look = {text, Olive, Yellow};
                break;
            default:
                look = {text, Green, Lime};
                break;
        }
    }
    if (Due(Label_ComportState, look.Text + look.TextColour.name() + look.Lamp.name())) {
        Label_ComportState->setText(look.Text);
        SetTextColour(Label_ComportState, QPalette::WindowText, look.TextColour);
        Shape_ComportState->SetBrushColor(look.Lamp);
        // Shown now, not after the exchange that is blocking the thread.
        Shape_ComportState->repaint();
        Label_ComportState->repaint();
    }
    if (Due(Shape_ComportState, state_.LampTip)) {
        Label_ComportState->setToolTip(state_.LampTip);
        Shape_ComportState->setToolTip(state_.LampTip);
    }
}

void TMainForm::DrawRadio() {
    const RadioPicture& p = picture_;
    const auto setText = [this](QLabel* label, const QString& text) {
        if (Due(label, text))
            label->setText(text);
    };
    setText(Label_VersionString, p.Identified ? Text(p.VersionText) : QString());
    setText(Label_SerialNO, p.Identified && p.Serial >= 0 ? SerialNumberText(p.Serial) : "");
    const std::string rh = p.Field("RH").value_or("");
    setText(Label_HWVer, Text(HardwareRevisionText(p.Model, rh)));
    const std::optional<int64_t> rt = p.Number("RT");
    setText(Label_Temp, rt ? QString::number(*rt - kTemperatureOffset) : QString());
    const std::optional<int64_t> rr = p.Number("RR");
    setText(Label_RawRSSI, rr ? QString::number(*rr) : QString());
    const std::optional<std::string> rc = p.Field("RC");
    if (Due(Label_Alarms, Text(rc.value_or("-")))) {
        Label_Alarms->setText(rc ? Text(RadioAlarmsText(*rc)) : QString());
        // Green only for a reply that says there are none; an unreadable one is an alarm too.
        SetTextColour(Label_Alarms, QPalette::WindowText,
                      rc && TryHexToInt64(*rc) == 0 ? Green : Red);
    }
    const std::optional<int64_t> pb = p.Number("PB");
    setText(
        Label_Bandwidth,
        !pb ? QString()
            : (*pb == 0 ? Text(FormatGeneral(25, DefaultFormatSettings())) + " KHz"
                        : (*pb == 1 ? Text(FormatGeneral(12.5, DefaultFormatSettings())) + " KHz"
                                    : QString("Unkown"))));

    // The power list of the radio's variant, and its level.
    if (Due(ComboBox_RFLevel->model(), Text(p.VersionText))) {
        ComboBox_RFLevel->clear();
        const std::string captions = PowerLevelCaptions(ModelVariantCode(p.VersionText));
        if (!captions.empty()) {
            for (const QString& caption : Text(captions).split("\r\n", Qt::KeepEmptyParts))
                ComboBox_RFLevel->addItem(caption);
        }
        Redraw(ComboBox_RFLevel);
    }
    const std::optional<int64_t> pw = p.Number("PW");
    const int level = pw ? static_cast<int>(*pw & 3) : -1;
    if (Due(ComboBox_RFLevel, level))
        ComboBox_RFLevel->setCurrentIndex(level);

    struct Bar {
        QScrollBar* Control;
        QLabel* Label;
        std::string Code;
    };
    const Bar bars[] = {
        {ScrollBar_Deviation, Label_DevLev, "PD"},
        {ScrollBar_ModBalance, Label_ModLev, "PM"},
        {ScrollBar_RfOffset, Label_OsLev, "PF"},
        {ScrollBar_RfPwm, Label_PwLev, level >= 0 ? "PL" + std::to_string(level) : ""},
    };
    for (const Bar& b : bars) {
        const std::optional<int64_t> value = b.Code.empty() ? std::nullopt : p.Number(b.Code);
        if (!Due(b.Control, value ? QVariant(static_cast<int>(*value)) : QVariant()))
            continue;
        b.Control->setValue(value ? static_cast<int>(*value) : 0);
        b.Label->setText(value ? QString::number(b.Control->value()) : QString());
    }

    const std::optional<int64_t> pp = p.Number("PP");
    if (Due(Edit_PTTTimeout, pp ? QVariant(static_cast<int>(*pp)) : QVariant()))
        Edit_PTTTimeout->setText(pp ? QString::number(*pp) : QString());
    const std::optional<int64_t> sc = p.Number("SC");
    if (Due(SpinEdit_CTCSS, sc ? QVariant(static_cast<int>(*sc)) : QVariant()))
        SpinEdit_CTCSS->setValue(sc ? static_cast<int>(*sc) : 0);
    const std::optional<int64_t> ps = p.Number("PS");
    if (Due(Edit_CutoutTemp, ps ? QVariant(static_cast<int>(*ps)) : QVariant()))
        Edit_CutoutTemp->setText(ps ? QString::number(*ps - kTemperatureOffset) : QString());
}

void TMainForm::DrawFrequencies() {
    const RadioPicture& p = picture_;
    const std::pair<QLabel*, const char*> labels[] = {
        {Label_TxFreq, "PT"}, {Label_RxFreq, "PR"}, {Label_TXLow, "P3"},
        {Label_TxHigh, "P4"}, {Label_RxLow, "P1"},  {Label_RxHigh, "P2"},
    };
    for (const auto& [label, code] : labels) {
        const QString text = MHzText(p.MHz(code));
        if (Due(label, text))
            label->setText(text);
    }
    // The step the radio is on; the hidden group's click follows it, and with Updating set that
    // only checks the visible button.
    const std::string step = p.Step();
    if (!state_.AskingStep) {
        const int index = step == "00" ? 0 : (step == "01" ? 1 : RadioGroup_FreqStep->ItemIndex());
        if (Due(RadioGroup_FreqStep, index))
            RadioGroup_FreqStep->SetItemIndex(index);
        QRadioButton* shown = index == 1 ? RadioButton_FS5000 : RadioButton_FS6250;
        if (!shown->isChecked())
            shown->setChecked(true);
    }
    // Frequencies typed for another radio are not this one's.
    if (drawnGeneration_ != p.Generation) {
        drawnGeneration_ = p.Generation;
        Edit_TXFreq->clear();
        Edit_RXFreq->clear();
    }
    // A plan just applied puts its centre in both boxes.
    if (state_.PlanCentre) {
        Edit_RXFreq->setText(MHzText(state_.PlanCentre));
        Edit_TXFreq->setText(Edit_RXFreq->text());
        state_.PlanCentre.reset();
    }
}

int TMainForm::RadioPlanPosition() const {
    const RadioPicture& p = picture_;
    const std::optional<int64_t> band = p.Number("PA");
    if (!band || ComboBox_FreqBand->count() == 0 || PlanStart() < 0)
        return -1;
    const TGroupFreqBand* row = PlanOfLimits(
        p.Model, p.Step(), static_cast<int32_t>(*band), p.Field("P1").value_or(""),
        p.Field("P2").value_or(""), p.Field("P3").value_or(""), p.Field("P4").value_or(""));
    const TGroupFreqBands table = GroupFreqBands[static_cast<size_t>(p.Model & 1)];
    return row != nullptr ? static_cast<int>(row - table.data()) - PlanStart() : 0;
}

void TMainForm::DrawBandList() {
    const RadioPicture& p = picture_;
    const std::optional<int64_t> band = p.Number("PA");
    const QString key = QString("%1/%2").arg(p.Model).arg(band ? *band : -1);
    if (Due(ComboBox_FreqBand->model(), key)) {
        std::vector<std::string> items;
        const QSignalBlocker quiet(ComboBox_FreqBand);
        ComboBox_FreqBand->clear();
        if (band && FillBandList(GroupFreqBands[static_cast<size_t>(p.Model & 1)], items,
                                 static_cast<int32_t>(*band))) {
            for (const std::string& item : items)
                ComboBox_FreqBand->addItem(Text(item));
        }
        Redraw(ComboBox_FreqBand->view());
    }
    // The plan the radio's limits are, or the band's whole range when they are none.
    const int position = RadioPlanPosition();
    if (Due(ComboBox_FreqBand->view(), position)) {
        const QSignalBlocker quiet(ComboBox_FreqBand);
        ComboBox_FreqBand->setCurrentIndex(position);
    }
}
