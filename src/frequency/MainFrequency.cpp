// The window's frequency operations: entry and validation of the TX and RX frequencies, the
// frequency step, the band limits and the country/band plans.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <optional>
#include <string>
#include <vector>

#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "console/Main.h"
#include "frequency/CountryFrequency.h"
#include "link/RM7UXcomms.h"
#include "link/Utilities.h"

namespace {

const char* const kStepQuestion =
    "In order to configure the Frequency Step, all changes will be saved to flash and the unit "
    "will be reset.\r\n\r\nProceed with change?";

QString FrequencyText(double mhz) {
    return QString::fromStdString(FormatFixed(mhz, 5, DefaultFormatSettings()));
}

std::optional<double> FrequencyOfText(const QString& text) {
    return TryStrToFloat(text.toStdString(), DefaultFormatSettings());
}

// Closes the port however the exchange ends.
class PortClose {
  public:
    PortClose() = default;
    PortClose(const PortClose&) = delete;
    PortClose& operator=(const PortClose&) = delete;
    ~PortClose() { CloseRadioPort(); }
};

// The channel of a frequency, or nothing when it lies outside the model's range (limits not
// read yet): its channel text would not be four digits, and the radio would take part of it.
std::optional<std::string> ChannelInRange(int model, const std::string& stepCode, double mhz) {
    if (!(mhz >= ModelMinFrequency[model] && mhz <= ModelMaxFrequency[model]))
        return std::nullopt;
    return FrequencyToChannel(model, stepCode, mhz);
}

// One pending frequency: sent and no longer pending, or kept pending when it cannot be encoded.
void SendPending(int model, const std::string& stepCode, bool& pending, const char* command,
                 double mhz) {
    if (!pending)
        return;
    const std::optional<std::string> channel = ChannelInRange(model, stepCode, mhz);
    if (!channel)
        return;
    pending = false;
    SetField(command, *channel);
}

}  // namespace

// ---- Showing what the radio holds ----

void TMainForm::RM7UXSetChannelSpacing() {
    if (FrequencyStepCode == "00")
        RadioGroup_FreqStep->SetItemIndex(0);
    else if (FrequencyStepCode == "01")
        RadioGroup_FreqStep->SetItemIndex(1);
}

void TMainForm::RM7UXDisplayRxFrequency() {
    Label_RxFreq->setText(
        RxFrequencyHex.empty()
            ? QString("Not Set")
            : FrequencyText(ChannelToFrequency(RadioModel, RxFrequencyHex, FrequencyStepCode)));
}

void TMainForm::RM7UXDisplayTxFrequency() {
    Label_TxFreq->setText(
        TxFrequencyHex.empty()
            ? QString("Not Set")
            : FrequencyText(ChannelToFrequency(RadioModel, TxFrequencyHex, FrequencyStepCode)));
}

void TMainForm::EnableFiveKHzStep() {
    RadioButton_FS5000->setEnabled(RadioModel == 1);
}

// ---- Entry and validation ----

namespace {
// The window's step selection as a step code (not the radio's FrequencyStepCode).
std::string SelectedStepCode(const TMainForm& f) {
    return f.RadioGroup_FreqStep->ItemIndex() == 0 ? "00" : "01";
}
}  // namespace

double TMainForm::SetToNearestValidFrequency(QLineEdit* Edit, bool& Changed) {
    Changed = false;
    const std::string step = SelectedStepCode(*this);
    double value = 0;
    if (const std::optional<double> typed = FrequencyOfText(Edit->text()))
        value = *typed;
    else
        Changed = true;
    if (!IsValidFrequency(RadioModel, step, value)) {
        value = NearestValidFrequency(RadioModel, step, value);
        Changed = true;
    }
    Edit->setText(FrequencyText(value));
    return value;
}

namespace {
// The typed frequency on the grid, then held within the band's limits; a limit is written back
// as its label shows it.
double LoadWithinLimits(TMainForm& f, QLineEdit* edit, const QLabel* lowLabel,
                        const QLabel* highLabel, double low, double high, bool& changed) {
    const double frequency = f.SetToNearestValidFrequency(edit, changed);
    if (frequency < low) {
        changed = true;
        edit->setText(lowLabel->text());
        return low;
    }
    if (frequency > high) {
        changed = true;
        edit->setText(highLabel->text());
        return high;
    }
    return frequency;
}
}  // namespace

void TMainForm::TxFrequencyLoad(double& Frequency) {
    Frequency = LoadWithinLimits(*this, Edit_TXFreq, Label_TXLow, Label_TxHigh, TxLow, TxHigh,
                                 TxFreqChanged);
}

void TMainForm::RXFrequencyLoad(double& Frequency) {
    Frequency = LoadWithinLimits(*this, Edit_RXFreq, Label_RxLow, Label_RxHigh, RxLow, RxHigh,
                                 RxFreqChanged);
}

void TMainForm::SetTXFreq() {
    double frequency = 0;
    TxFrequencyLoad(frequency);
    TxFreqChanged = true;
    TXFrequenciesWrite(frequency);
    Label_TxFreq->setText(Edit_TXFreq->text());
}

void TMainForm::SetRXFreq() {
    double frequency = 0;
    RXFrequencyLoad(frequency);
    RxFreqChanged = true;
    RXFrequenciesWrite(frequency);
    Label_RxFreq->setText(Edit_RXFreq->text());
}

double TMainForm::FrequencyUserInit(QLineEdit* Edit, QLabel* Label, double Low, double High,
                                    bool& Changed) {
    if (Trim(Edit->text().toStdString()).empty()) {
        Edit->setText(FrequencyText((Low + High) / 2));
        SetToNearestValidFrequency(Edit, Changed);
        Changed = true;
    } else {
        const double current = FrequencyOfText(Label->text().trimmed()).value_or(-1);
        const bool currentInside = current >= Low && current <= High;
        const double value = SetToNearestValidFrequency(Edit, Changed);
        // Out of the limits: back to the radio's own frequency while that one is still inside.
        if (value < Low) {
            Changed = true;
            Edit->setText(currentInside ? Label->text() : FrequencyText(Low));
        } else if (value > High) {
            Changed = true;
            Edit->setText(currentInside ? Label->text() : FrequencyText(High));
        }
    }
    return FrequencyOfText(Edit->text()).value_or(0);
}

double TMainForm::TxFrequencyUserInit() {
    return FrequencyUserInit(Edit_TXFreq, Label_TxFreq, TxLow, TxHigh, TxFreqChanged);
}

double TMainForm::RxFrequencyUserInit() {
    return FrequencyUserInit(Edit_RXFreq, Label_RxFreq, RxLow, RxHigh, RxFreqChanged);
}

// ---- Sending ----

namespace {
// Opens and identifies; the step goes first when it is pending, as every other value is encoded
// with it. False when nothing can be sent.
bool BeginFrequencyWrite(TMainForm& f) {
    if (!EnsureRadioIdentified())
        return false;
    if (f.FreqStepChanged) {
        f.FreqStepChanged = false;
        std::string reply;
        // A reply that did not arrive is no step code; the last known one is kept.
        if (WriteAndReadField("PC", SelectedStepCode(f), reply, 2, 2))
            f.FrequencyStepCode = reply;
    }
    return true;
}
}  // namespace

void TMainForm::TXFrequenciesWrite(double Frequency) {
    if (!OpenRadioPort())
        return;
    PortClose close;
    if (!BeginFrequencyWrite(*this))
        return;
    SendPending(RadioModel, FrequencyStepCode, TxLowChanged, "P3", TxLow);
    SendPending(RadioModel, FrequencyStepCode, TxHighChanged, "P4", TxHigh);
    SendPending(RadioModel, FrequencyStepCode, TxFreqChanged, "PT", Frequency);
    SetChangesMadeState(true);
}

void TMainForm::RXFrequenciesWrite(double Frequency) {
    if (!OpenRadioPort())
        return;
    PortClose close;
    if (!BeginFrequencyWrite(*this))
        return;
    SendPending(RadioModel, FrequencyStepCode, RxLowChanged, "P1", RxLow);
    SendPending(RadioModel, FrequencyStepCode, RxHighChanged, "P2", RxHigh);
    SendPending(RadioModel, FrequencyStepCode, RxFreqChanged, "PR", Frequency);
    SetChangesMadeState(true);
}

bool TMainForm::WriteValue(const std::string& Command, const std::string& Value) {
    if (!OpenRadioPort())
        return false;
    PortClose close;
    bool result = false;
    if (EnsureRadioIdentified()) {
        result = SetField(Command, Value);
        SetChangesMadeState(true);
    }
    return result;
}

void TMainForm::CopyCurrentFrequency(QLabel* Label, QLineEdit* Edit) {
    const QString current = Label->text().trimmed();
    if (!current.isEmpty() && current != "Not Set")
        Edit->setText(Label->text());
}

// ---- Band limits and country plans ----

void TMainForm::GetFreqBands() {
    struct Limit {
        const char* Command;
        std::string* Cache;
        double* Value;
        QLabel* Label;
    };
    const Limit limits[] = {
        {"P1", &RxLowHex, &RxLow, Label_RxLow},
        {"P2", &RxHighHex, &RxHigh, Label_RxHigh},
        {"P3", &TxLowHex, &TxLow, Label_TXLow},
        {"P4", &TxHighHex, &TxHigh, Label_TxHigh},
    };
    bool changed = false;
    std::string reply;
    for (const Limit& l : limits) {
        // What is left of a reply that did not arrive is no limit: taking it would choose a
        // plan from it and write that to the radio. The selector is rebuilt on the next read.
        if (!ReadField(l.Command, reply, 2, 4)) {
            LastBandCode = -1;
            return;
        }
        if (reply == *l.Cache)
            continue;
        *l.Cache = reply;
        *l.Value = ChannelToFrequency(RadioModel, reply, FrequencyStepCode);
        l.Label->setText(FrequencyText(*l.Value));
        changed = true;
    }
    if (!ReadField("PA", reply, 2, 2)) {
        LastBandCode = -1;
        return;
    }
    BandCode = HexToInt(reply);
    if (BandCode != LastBandCode) {
        LastBandCode = BandCode;
        changed = true;
    }
    if (!changed)
        return;

    const TGroupFreqBands table = GroupFreqBands[RadioModel];
    std::vector<std::string> items;
    if (!FillBandList(table, items, BandCode)) {
        ComboBox_FreqBand->setEnabled(false);
        return;
    }
    // Filled and selected from code: the selector's change handler does not run.
    ComboBox_FreqBand->clear();
    for (const std::string& item : items)
        ComboBox_FreqBand->addItem(QString::fromStdString(item));
    int32_t position = -1;
    const bool found = FindPlanIndex(table, TxLow, TxHigh, position);
    if (TxLow == RxLow && TxHigh == RxHigh && found) {
        ComboBox_FreqBand->setCurrentIndex(position);
        ComboBox_FreqBand->setEnabled(true);
        return;
    }
    ComboBox_FreqBand->setCurrentIndex(0);
    ComboBox_FreqBand->setEnabled(true);
    SetFrequencyBands();
}

void TMainForm::SetFrequencyBands() {
    const int32_t row = PlanRow(ComboBox_FreqBand->currentIndex());
    const TGroupFreqBands table = GroupFreqBands[RadioModel];
    if (row < 0 || static_cast<size_t>(row) >= table.size())
        return;
    const TGroupFreqBand& plan = table[static_cast<size_t>(row)];

    RxLow = TxLow = plan.Lower;
    Label_RxLow->setText(FrequencyText(RxLow));
    Label_TXLow->setText(Label_RxLow->text());
    RxHigh = TxHigh = plan.Upper;
    Label_RxHigh->setText(FrequencyText(RxHigh));
    Label_TxHigh->setText(Label_RxHigh->text());

    double centre = (RxLow + RxHigh) / 2;
    centre = NearestValidFrequency(RadioModel, SelectedStepCode(*this), centre);
    Edit_RXFreq->setText(FrequencyText(centre));
    Edit_TXFreq->setText(Edit_RXFreq->text());
    Label_TxFreq->setText(Edit_RXFreq->text());
    Label_RxFreq->setText(Edit_RXFreq->text());

    const std::pair<const char*, double> writes[] = {
        {"P1", RxLow}, {"P2", RxHigh}, {"PR", centre},
        {"P3", TxLow}, {"P4", TxHigh}, {"PT", centre},
    };
    for (const auto& [command, mhz] : writes)
        SetField(command, FrequencyToChannel(RadioModel, FrequencyStepCode, mhz));
    SetChangesMadeState(true);
}

// ---- Handlers ----

void TMainForm::Edit_TXFreqKeyPress(QObject*, char& Key) {
    if (Key != 13)
        return;
    SetTXFreq();
    Edit_Enter(Edit_TXFreq);
}

void TMainForm::Edit_RXFreqKeyPress(QObject*, char& Key) {
    if (Key != 13)
        return;
    SetRXFreq();
    Edit_Enter(Edit_RXFreq);
}

void TMainForm::Edit_TXFreqExit() {
    if (TEditChangesMade(Edit_TXFreq))
        SetTXFreq();
}

void TMainForm::Edit_RXFreqExit() {
    if (TEditChangesMade(Edit_RXFreq))
        SetRXFreq();
}

void TMainForm::MenuItem_TxFreqCopyClick() {
    CopyCurrentFrequency(Label_TxFreq, Edit_TXFreq);
}

void TMainForm::MenuItem_RxFreqCopyClick() {
    CopyCurrentFrequency(Label_RxFreq, Edit_RXFreq);
}

void TMainForm::BitBtn_XxFreqCopyClick(QObject* Sender) {
    if (qobject_cast<QPushButton*>(Sender) == nullptr)
        return;
    switch (Tag(Sender)) {
        case 1:
            CopyCurrentFrequency(Label_TxFreq, Edit_TXFreq);
            break;
        case 2:
            CopyCurrentFrequency(Label_RxFreq, Edit_RXFreq);
            break;
        default:
            break;
    }
}

void TMainForm::RadioGroup_FreqStepClick() {
    if (!Updating) {
        if (ShowWarningBox(kStepQuestion, MsgButtons::YesNo) != MsgResult::Yes) {
            Updating = true;
            RadioGroup_FreqStep->SetItemIndex(StepIndexShown);
            Updating = false;
        } else {
            FreqStepChanged = true;
            const double tx = TxFrequencyUserInit();
            const double rx = RxFrequencyUserInit();
            RxLowChanged = RxHighChanged = TxLowChanged = TxHighChanged = true;
            TxFreqChanged = RxFreqChanged = true;
            TXFrequenciesWrite(tx);
            RXFrequenciesWrite(rx);
            if (OpenRadioPort()) {
                PortClose close;
                if (EnsureRadioIdentified()) {
                    SaveToFlash();
                    // The radio restarts with the new step; its prompt follows its version text.
                    RM7UXport.WriteEchoed("O");
                    RM7UXport.WriteText("Z");
                    RM7UXport.WaitForChar(">", 2000, 300);
                    SetChangesMadeState(false);
                }
            }
        }
    }
    const int index = RadioGroup_FreqStep->ItemIndex();
    if (index == 0 && !RadioButton_FS6250->isChecked())
        RadioButton_FS6250->setChecked(true);
    else if (index == 1 && !RadioButton_FS5000->isChecked())
        RadioButton_FS5000->setChecked(true);
    StepIndexShown = index;
    EnableFiveKHzStep();
}

void TMainForm::RadioButton_FSxxxxClick(QObject* Sender) {
    if (qobject_cast<QRadioButton*>(Sender) == nullptr)
        return;
    if (Tag(Sender) != RadioGroup_FreqStep->ItemIndex())
        RadioGroup_FreqStep->SetItemIndex(Tag(Sender));
}

void TMainForm::RadioButton_FSxxxxKeyDown(QObject* Sender, int Key) {
    if (Sender != RadioButton_FS6250 && Sender != RadioButton_FS5000)
        return;
    if (Key == 13 || Key == 32)
        RadioGroup_FreqStepClick();
}

void TMainForm::GroupBox_FrequencyStepClick() {
    RadioGroup_FreqStepClick();
}

void TMainForm::pm_SendClick() {
    RadioGroup_FreqStepClick();
}

void TMainForm::ComboBox_FreqBandChange() {
    if (Updating)
        return;
    if (!OpenRadioPort())
        return;
    PortClose close;
    std::string reply;
    if (EnsureRadioIdentified() && ReadField("PC", reply, 2, 2)) {
        FrequencyStepCode = reply;
        {
            // Following the radio's step is no step change to ask about, with the port open.
            UpdatingScope updating(Updating);
            RM7UXSetChannelSpacing();
        }
        SetFrequencyBands();
    }
}
