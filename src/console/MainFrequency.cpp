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
#include "operations/RadioOperations.h"

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

RadioIdentity TMainForm::ShownRadio() const {
    RadioIdentity radio;
    radio.Model = RadioModel;
    radio.VersionText = RM7UXVersionText();
    radio.Serial = SerialNumber;
    return radio;
}

void TMainForm::TakeOperation(const OperationResult& Result) {
    struct Limit {
        const char* Code;
        std::string* Hex;
        double* Value;
        QLabel* Label;
    };
    if (const std::optional<std::string> step = Result.Value("PC");
        step && *step != FrequencyStepCode) {
        FrequencyStepCode = *step;
        UpdatingScope updating(Updating);
        RM7UXSetChannelSpacing();
    }
    const Limit limits[] = {
        {"P1", &RxLowHex, &RxLow, Label_RxLow},
        {"P2", &RxHighHex, &RxHigh, Label_RxHigh},
        {"P3", &TxLowHex, &TxLow, Label_TXLow},
        {"P4", &TxHighHex, &TxHigh, Label_TxHigh},
    };
    for (const Limit& l : limits) {
        if (const std::optional<std::string> raw = Result.Value(l.Code)) {
            *l.Hex = *raw;
            *l.Value = ChannelToFrequency(RadioModel, *raw, FrequencyStepCode);
            l.Label->setText(FrequencyText(*l.Value));
        }
    }
    if (const std::optional<std::string> raw = Result.Value("PT")) {
        TxFrequencyHex = *raw;
        RM7UXDisplayTxFrequency();
    }
    if (const std::optional<std::string> raw = Result.Value("PR")) {
        RxFrequencyHex = *raw;
        RM7UXDisplayRxFrequency();
    }
    if (Result.Unsaved == UnsavedChanges::Changed)
        SetChangesMadeState(true);
    else if (Result.Unsaved == UnsavedChanges::Saved)
        SetChangesMadeState(false);
}

namespace {
// One side's frequency, sent in its own exchange; the pending flag stays set when nothing could
// be sent.
bool FrequencyWrite(TMainForm& f, const char* command, bool& pending, double frequency) {
    const std::optional<std::string> channel =
        ChannelInRange(f.RadioModel, f.FrequencyStepCode, frequency);
    if (!channel || !OpenRadioPort())
        return false;
    PortClose close;
    if (!EnsureRadioIdentified())
        return false;
    pending = false;
    auto recorder = f.Recorder("adjust");
    const OperationResult r =
        WriteRadioField(command, *channel, f.HistoryContext(), recorder.get());
    f.TakeOperation(r);
    f.SayHistoryWarning(*recorder);
    return r.Done();
}
}  // namespace

bool TMainForm::TXFrequenciesWrite(double Frequency) {
    return FrequencyWrite(*this, "PT", TxFreqChanged, Frequency);
}

bool TMainForm::RXFrequenciesWrite(double Frequency) {
    return FrequencyWrite(*this, "PR", RxFreqChanged, Frequency);
}

SettingsContext TMainForm::HistoryContext() const {
    SettingsContext ctx;
    ctx.RadioModel = RadioModel;
    ctx.VersionText = RM7UXVersionText();
    ctx.StepCode = FrequencyStepCode.empty() ? "00" : FrequencyStepCode;
    return ctx;
}

bool TMainForm::WriteValue(const std::string& Command, const std::string& Value) {
    if (!OpenRadioPort())
        return false;
    PortClose close;
    if (!EnsureRadioIdentified())
        return false;
    auto recorder = Recorder("adjust");
    const OperationResult r = WriteRadioField(Command, Value, HistoryContext(), recorder.get());
    if (r.Unsaved == UnsavedChanges::Changed)
        SetChangesMadeState(true);
    SayHistoryWarning(*recorder);
    return r.Done();
}

bool TMainForm::WriteValueToSameRadio(const std::string& Command, const std::string& Value,
                                      int64_t StartSerial) {
    if (!OpenRadioPort())
        return false;
    PortClose close;
    if (!EnsureRadioIdentified() || !SameRadioOnCable(StartSerial))
        return false;
    auto recorder = Recorder("adjust");
    const OperationResult r = WriteRadioField(Command, Value, HistoryContext(), recorder.get());
    if (r.Unsaved == UnsavedChanges::Changed)
        SetChangesMadeState(true);
    SayHistoryWarning(*recorder);
    return r.Done();
}

void TMainForm::CopyCurrentFrequency(QLabel* Label, QLineEdit* Edit) {
    const QString current = Label->text().trimmed();
    if (!current.isEmpty() && current != "Not Set")
        Edit->setText(Label->text());
}

// ---- Band limits and country plans ----

namespace {
// Position in the selector of the band's plan that the radio's limits are, on its grid; -1 when
// they are no plan's (the two sides differ, or no plan's limits fall on these channels).
int32_t PlanPosition(const TMainForm& f) {
    const int32_t start = PlanStart();
    const TGroupFreqBands table = GroupFreqBands[f.RadioModel];
    if (start < 0 || static_cast<size_t>(start) >= table.size())
        return -1;
    const TGroupFreqBand* row = PlanOfLimits(f.RadioModel, f.FrequencyStepCode, f.BandCode,
                                             f.RxLowHex, f.RxHighHex, f.TxLowHex, f.TxHighHex);
    if (row == nullptr || row->BandCode != table[static_cast<size_t>(start)].BandCode)
        return -1;
    return static_cast<int32_t>(row - table.data()) - start;
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
    const bool planned = PlanPosition(*this) >= 0;
    SelectPlanOfLimits();
    if (!planned) {
        // Limits that are no plan's: the band's whole range, a correction of the read.
        auto recorder = Recorder("read correction", RefreshSerial);
        SetFrequencyBands(recorder.get());
        SayHistoryWarning(*recorder);
    }
}

void TMainForm::SelectPlanOfLimits() {
    const int32_t position = PlanPosition(*this);
    ComboBox_FreqBand->setCurrentIndex(position >= 0 ? position : 0);
    FreqBandIndexShown = ComboBox_FreqBand->currentIndex();
}

bool TMainForm::SetFrequencyBands(ChangeRecorder* recorder) {
    const int32_t row = PlanRow(ComboBox_FreqBand->currentIndex());
    const TGroupFreqBands table = GroupFreqBands[RadioModel];
    if (row < 0 || static_cast<size_t>(row) >= table.size())
        return false;
    RadioIdentity radio = ShownRadio();
    const OperationResult r = ApplyPlan(table[static_cast<size_t>(row)], radio, recorder);
    // Each value as the radio holds it: written, or read back after a failure.
    TakeOperation(r);
    if (r.Done()) {
        Edit_RXFreq->setText(Label_RxFreq->text());
        Edit_TXFreq->setText(Label_TxFreq->text());
    }
    if (!r.Done())
        OperationMessage = r.Message;
    return r.Done();
}

void TMainForm::ReadBackFrequencies() {
    OperationResult r;
    for (const char* code : {"PC", "P1", "P2", "P3", "P4", "PR", "PT"}) {
        std::string raw;
        if (ReadRadioField(code, raw))
            r.Values[code] = raw;
    }
    TakeOperation(r);
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
            !ConfirmOverUnfinished("frequency step change") ||
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
    const std::string step = SelectedStepCode(*this);
    // The boxes say what the operator wants, on the new grid and within the limits; an empty box
    // stands for the radio's own frequency.
    const double txFrequency = TxFrequencyUserInit();
    const double rxFrequency = RxFrequencyUserInit();
    if (!OpenRadioPort())
        return false;
    OperationResult r;
    {
        PortClose close;
        // The question was open while refreshes ran: the radio it was asked for may be gone.
        if (!EnsureRadioIdentified() || !SameRadioOnCable(StartSerial))
            return false;
        auto recorder = Recorder("step");
        r = ::ChangeFrequencyStep({step, txFrequency, rxFrequency}, ShownRadio(), recorder.get());
        SayHistoryWarning(*recorder);
    }
    TakeOperation(r);
    SelectPlanOfLimits();
    if (r.Outcome == OperationOutcome::Refused || r.Outcome == OperationOutcome::NotRead) {
        ShowErrorBox(r.Message);
        return false;
    }
    if (!r.Done())
        ShowErrorBox(r.Message);
    // The step the radio is on now, whatever the boxes asked.
    return r.Step(FrequencyStepCode) == step;
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
    OperationMessage.clear();
    if (OpenRadioPort()) {
        PortClose close;
        if (EnsureRadioIdentified()) {
            auto recorder = Recorder("plan");
            applied = SetFrequencyBands(recorder.get());
            SayHistoryWarning(*recorder);
        }
    }
    // A choice that never reached the radio is not shown as its plan.
    if (applied)
        FreqBandIndexShown = ComboBox_FreqBand->currentIndex();
    else
        SelectPlanOfLimits();
    if (!OperationMessage.empty())
        ShowErrorBox(std::exchange(OperationMessage, std::string()));
}
