// The window's frequency operations: entry and validation of the TX and RX frequencies, the
// frequency step, the band limits and the country/band plans.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
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

// The channel of a frequency, or nothing when it lies outside the model's range (limits not
// read yet): its channel text would not be four digits, and the radio would take part of it.
std::optional<std::string> ChannelInRange(int model, const std::string& stepCode, double mhz) {
    if (!(mhz >= ModelMinFrequency[model] && mhz <= ModelMaxFrequency[model]))
        return std::nullopt;
    return FrequencyToChannel(model, stepCode, mhz);
}

// One pending frequency: sent and no longer pending, or kept pending when it cannot be encoded.
// The channel when it reached the radio.
std::optional<std::string> SendPending(int model, const std::string& stepCode, bool& pending,
                                       const char* command, double mhz) {
    if (!pending)
        return std::nullopt;
    const std::optional<std::string> channel = ChannelInRange(model, stepCode, mhz);
    if (!channel)
        return std::nullopt;
    pending = false;
    if (!SetField(command, *channel))
        return std::nullopt;
    return channel;
}

// A plan's limits on the radio's channel grid, moved inward where they fall between channels,
// and decoded as a read of the radio decodes them, so that the plan is recognised again.
std::pair<double, double> PlanLimitsOnGrid(int model, const std::string& stepCode,
                                           const TGroupFreqBand& row) {
    // Limits not read yet have no channel; they are never sent (ChannelInRange).
    if (!(row.Lower >= ModelMinFrequency[model] && row.Upper <= ModelMaxFrequency[model]))
        return {row.Lower, row.Upper};
    const TChannelRange channels = InwardChannels(row.Lower, row.Upper, ModelBaseFrequency[model],
                                                  stepCode == "00" ? 6250 : 5000);
    const auto frequency = [&](int64_t n) {
        return ChannelToFrequency(model, IntToHex(n, 4), stepCode);
    };
    return {frequency(channels.Lower), frequency(channels.Upper)};
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

// The current-frequency labels show what the radio holds: they follow a write that reached it.
void TMainForm::SetTXFreq() {
    double frequency = 0;
    TxFrequencyLoad(frequency);
    TxFreqChanged = true;
    TXFrequenciesWrite(frequency);
}

void TMainForm::SetRXFreq() {
    double frequency = 0;
    RXFrequencyLoad(frequency);
    RxFreqChanged = true;
    RXFrequenciesWrite(frequency);
}

double TMainForm::FrequencyUserInit(QLineEdit* Edit, QLabel* Label, double Low, double High,
                                    bool& Changed) {
    const std::optional<double> radios = FrequencyOfText(Label->text().trimmed());
    if (Trim(Edit->text().toStdString()).empty() && !radios) {
        Edit->setText(FrequencyText((Low + High) / 2));
        SetToNearestValidFrequency(Edit, Changed);
        Changed = true;
    } else {
        // An empty box stands for the radio's own frequency: a step change keeps it.
        if (Trim(Edit->text().toStdString()).empty())
            Edit->setText(Label->text().trimmed());
        const double current = radios.value_or(-1);
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

bool TMainForm::SendTxPending(double Frequency) {
    const int model = RadioModel;
    if (const auto channel = SendPending(model, FrequencyStepCode, TxLowChanged, "P3", TxLow)) {
        TxLowHex = *channel;
        TxLow = ChannelToFrequency(model, *channel, FrequencyStepCode);
        Label_TXLow->setText(FrequencyText(TxLow));
    }
    if (const auto channel = SendPending(model, FrequencyStepCode, TxHighChanged, "P4", TxHigh)) {
        TxHighHex = *channel;
        TxHigh = ChannelToFrequency(model, *channel, FrequencyStepCode);
        Label_TxHigh->setText(FrequencyText(TxHigh));
    }
    const auto channel = SendPending(model, FrequencyStepCode, TxFreqChanged, "PT", Frequency);
    if (channel) {
        TxFrequencyHex = *channel;
        RM7UXDisplayTxFrequency();
    }
    return channel.has_value();
}

bool TMainForm::SendRxPending(double Frequency) {
    const int model = RadioModel;
    if (const auto channel = SendPending(model, FrequencyStepCode, RxLowChanged, "P1", RxLow)) {
        RxLowHex = *channel;
        RxLow = ChannelToFrequency(model, *channel, FrequencyStepCode);
        Label_RxLow->setText(FrequencyText(RxLow));
    }
    if (const auto channel = SendPending(model, FrequencyStepCode, RxHighChanged, "P2", RxHigh)) {
        RxHighHex = *channel;
        RxHigh = ChannelToFrequency(model, *channel, FrequencyStepCode);
        Label_RxHigh->setText(FrequencyText(RxHigh));
    }
    const auto channel = SendPending(model, FrequencyStepCode, RxFreqChanged, "PR", Frequency);
    if (channel) {
        RxFrequencyHex = *channel;
        RM7UXDisplayRxFrequency();
    }
    return channel.has_value();
}

bool TMainForm::TXFrequenciesWrite(double Frequency) {
    if (!OpenRadioPort())
        return false;
    PortClose close;
    if (!BeginFrequencyWrite(*this))
        return false;
    const bool sent = SendTxPending(Frequency);
    SetChangesMadeState(true);
    return sent;
}

bool TMainForm::RXFrequenciesWrite(double Frequency) {
    if (!OpenRadioPort())
        return false;
    PortClose close;
    if (!BeginFrequencyWrite(*this))
        return false;
    const bool sent = SendRxPending(Frequency);
    SetChangesMadeState(true);
    return sent;
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

bool TMainForm::WriteValueToSameRadio(const std::string& Command, const std::string& Value,
                                      int64_t StartSerial) {
    if (!OpenRadioPort())
        return false;
    PortClose close;
    if (!EnsureRadioIdentified() || !SameRadioOnCable(StartSerial))
        return false;
    const bool result = SetField(Command, Value);
    SetChangesMadeState(true);
    return result;
}

void TMainForm::CopyCurrentFrequency(QLabel* Label, QLineEdit* Edit) {
    const QString current = Label->text().trimmed();
    if (!current.isEmpty() && current != "Not Set")
        Edit->setText(Label->text());
}

// ---- Band limits and country plans ----

namespace {
// Position in the selector of the band's plan with these limits on the radio's grid, or -1.
int32_t PlanPosition(const TMainForm& f, double lower, double upper) {
    const int32_t start = PlanStart();
    const TGroupFreqBands table = GroupFreqBands[f.RadioModel];
    if (start < 0 || static_cast<size_t>(start) >= table.size())
        return -1;
    for (size_t row = static_cast<size_t>(start);
         row < table.size() && table[row].BandCode == table[static_cast<size_t>(start)].BandCode;
         ++row) {
        const auto [low, high] = PlanLimitsOnGrid(f.RadioModel, f.FrequencyStepCode, table[row]);
        if (low == lower && high == upper)
            return static_cast<int32_t>(row) - start;
    }
    return -1;
}
}  // namespace

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
        ReadingField = l.Command;
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
    ReadingField = "PA";
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
    ComboBox_FreqBand->setEnabled(true);
    const bool planned =
        TxLow == RxLow && TxHigh == RxHigh && PlanPosition(*this, TxLow, TxHigh) >= 0;
    SelectPlanOfLimits();
    if (!planned)
        SetFrequencyBands();
}

void TMainForm::SelectPlanOfLimits() {
    const int32_t position = PlanPosition(*this, TxLow, TxHigh);
    ComboBox_FreqBand->setCurrentIndex(
        TxLow == RxLow && TxHigh == RxHigh && position >= 0 ? position : 0);
    FreqBandIndexShown = ComboBox_FreqBand->currentIndex();
}

void TMainForm::SetFrequencyBands() {
    const int32_t row = PlanRow(ComboBox_FreqBand->currentIndex());
    const TGroupFreqBands table = GroupFreqBands[RadioModel];
    if (row < 0 || static_cast<size_t>(row) >= table.size())
        return;
    const auto [lower, upper] =
        PlanLimitsOnGrid(RadioModel, FrequencyStepCode, table[static_cast<size_t>(row)]);
    const double centre =
        NearestValidFrequency(RadioModel, SelectedStepCode(*this), (lower + upper) / 2);
    Edit_RXFreq->setText(FrequencyText(centre));
    Edit_TXFreq->setText(Edit_RXFreq->text());

    // Each value is shown once the radio has taken it: a write that failed leaves the label
    // with what the radio still holds.
    struct Write {
        const char* Command;
        double Value;
        double* Limit;
        std::string* Hex;
        QLabel* Label;
    };
    const Write writes[] = {
        {"P1", lower, &RxLow, &RxLowHex, Label_RxLow},
        {"P2", upper, &RxHigh, &RxHighHex, Label_RxHigh},
        {"PR", centre, nullptr, &RxFrequencyHex, nullptr},
        {"P3", lower, &TxLow, &TxLowHex, Label_TXLow},
        {"P4", upper, &TxHigh, &TxHighHex, Label_TxHigh},
        {"PT", centre, nullptr, &TxFrequencyHex, nullptr},
    };
    for (const Write& w : writes) {
        const std::string channel = FrequencyToChannel(RadioModel, FrequencyStepCode, w.Value);
        if (!SetField(w.Command, channel))
            continue;
        *w.Hex = channel;
        if (w.Limit != nullptr) {
            *w.Limit = ChannelToFrequency(RadioModel, channel, FrequencyStepCode);
            w.Label->setText(FrequencyText(*w.Limit));
        }
    }
    RM7UXDisplayRxFrequency();
    RM7UXDisplayTxFrequency();
    SetChangesMadeState(true);
}

void TMainForm::ReadBackFrequencies() {
    std::string reply;
    if (ReadField("PC", reply, 2, 2)) {
        FrequencyStepCode = reply;
        UpdatingScope updating(Updating);
        RM7UXSetChannelSpacing();
    }
    struct Field {
        const char* Command;
        std::string* Hex;
        double* Value;
        QLabel* Label;
    };
    const Field fields[] = {
        {"P1", &RxLowHex, &RxLow, Label_RxLow},    {"P2", &RxHighHex, &RxHigh, Label_RxHigh},
        {"P3", &TxLowHex, &TxLow, Label_TXLow},    {"P4", &TxHighHex, &TxHigh, Label_TxHigh},
        {"PR", &RxFrequencyHex, nullptr, nullptr}, {"PT", &TxFrequencyHex, nullptr, nullptr},
    };
    for (const Field& f : fields) {
        if (!ReadField(f.Command, reply, 2, 4))
            continue;
        *f.Hex = reply;
        if (f.Value != nullptr) {
            *f.Value = ChannelToFrequency(RadioModel, reply, FrequencyStepCode);
            f.Label->setText(FrequencyText(*f.Value));
        }
    }
    RM7UXDisplayRxFrequency();
    RM7UXDisplayTxFrequency();
    SelectPlanOfLimits();
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
        const int64_t startSerial = SerialNumber;
        // A step change saves to flash: with the transmitter on, its PTT time-out of 255 s too.
        if (RefusedWhileTransmitting("frequency step change") ||
            ShowWarningBox(kStepQuestion, MsgButtons::YesNo) != MsgResult::Yes ||
            !ChangeFrequencyStep(startSerial)) {
            Updating = true;
            RadioGroup_FreqStep->SetItemIndex(StepIndexShown);
            Updating = false;
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

bool TMainForm::ChangeFrequencyStep(int64_t StartSerial) {
    HistoryActionScope action(*this, "step");
    const double limits[] = {TxLow, TxHigh, RxLow, RxHigh};
    const auto unsent = [&] {
        TxLow = limits[0];
        TxHigh = limits[1];
        RxLow = limits[2];
        RxHigh = limits[3];
        FreqStepChanged = RxLowChanged = RxHighChanged = TxLowChanged = TxHighChanged = false;
        return false;
    };
    FreqStepChanged = true;
    // Limits that fall between channels of the new grid move inward, and the frequencies stay
    // within them.
    const std::string step = SelectedStepCode(*this);
    const TGroupFreqBand tx{0, "", "", TxLow, TxHigh};
    const TGroupFreqBand rx{0, "", "", RxLow, RxHigh};
    std::tie(TxLow, TxHigh) = PlanLimitsOnGrid(RadioModel, step, tx);
    std::tie(RxLow, RxHigh) = PlanLimitsOnGrid(RadioModel, step, rx);
    const double txFrequency = TxFrequencyUserInit();
    const double rxFrequency = RxFrequencyUserInit();
    RxLowChanged = RxHighChanged = TxLowChanged = TxHighChanged = true;
    TxFreqChanged = RxFreqChanged = true;
    if (!OpenRadioPort())
        return unsent();
    PortClose close;
    // The question was open while refreshes ran: the radio it was asked for may be gone.
    if (!EnsureRadioIdentified() || !SameRadioOnCable(StartSerial) || !BeginFrequencyWrite(*this))
        return unsent();
    SendTxPending(txFrequency);
    SendRxPending(rxFrequency);
    SaveToFlash();
    // The radio restarts with the new step; its prompt follows its version text.
    RestartRadio();
    SetChangesMadeState(false);
    // The radio restarted from flash: the window shows what it now holds.
    ReadBackFrequencies();
    return true;
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
    if (RefusedWhileTransmitting("country/band change")) {
        ComboBox_FreqBand->setCurrentIndex(FreqBandIndexShown);
        return;
    }
    bool applied = false;
    if (OpenRadioPort()) {
        PortClose close;
        HistoryActionScope action(*this, "plan");
        std::string reply;
        if (EnsureRadioIdentified() && ReadField("PC", reply, 2, 2)) {
            FrequencyStepCode = reply;
            {
                // Following the radio's step is no step change to ask about, with the port open.
                UpdatingScope updating(Updating);
                RM7UXSetChannelSpacing();
            }
            SetFrequencyBands();
            applied = true;
        }
    }
    // A choice that never reached the radio is not shown as its plan.
    if (applied)
        FreqBandIndexShown = ComboBox_FreqBand->currentIndex();
    else
        ComboBox_FreqBand->setCurrentIndex(FreqBandIndexShown);
}
