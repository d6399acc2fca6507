// The window's frequency operations: entry and validation of the TX and RX frequencies, the
// frequency step, the band limits and the country/band plans.

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <map>
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

}  // namespace

// ---- Showing what the radio holds: the picture, drawn ----

void TMainForm::RM7UXSetChannelSpacing() {
    Draw();
}

void TMainForm::RM7UXDisplayRxFrequency() {
    Draw();
}

void TMainForm::RM7UXDisplayTxFrequency() {
    Draw();
}

void TMainForm::EnableFiveKHzStep() {
    Draw();
}

// ---- Entry and validation ----

namespace {
// The window's step selection as a step code (not the radio's).
std::string SelectedStepCode(const TMainForm& f) {
    return f.RadioGroup_FreqStep->ItemIndex() == 0 ? "00" : "01";
}

// A band limit of the radio in MHz; the model's own bound while the radio's is not known.
double Limit(const TMainForm& f, const char* code, bool low) {
    const auto model = static_cast<size_t>(f.RadioModel() & 1);
    return f.Picture().MHz(code).value_or(low ? ModelMinFrequency[model]
                                              : ModelMaxFrequency[model]);
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
    if (!IsValidFrequency(RadioModel(), step, value)) {
        value = NearestValidFrequency(RadioModel(), step, value);
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
    Frequency =
        LoadWithinLimits(*this, Edit_TXFreq, Label_TXLow, Label_TxHigh, Limit(*this, "P3", true),
                         Limit(*this, "P4", false), state_.TxFreqChanged);
}

void TMainForm::RXFrequencyLoad(double& Frequency) {
    Frequency =
        LoadWithinLimits(*this, Edit_RXFreq, Label_RxLow, Label_RxHigh, Limit(*this, "P1", true),
                         Limit(*this, "P2", false), state_.RxFreqChanged);
}

// The current-frequency labels show what the radio holds: they follow a write that reached it.
void TMainForm::SetTXFreq() {
    double frequency = 0;
    TxFrequencyLoad(frequency);
    state_.TxFreqChanged = true;
    TXFrequenciesWrite(frequency);
}

void TMainForm::SetRXFreq() {
    double frequency = 0;
    RXFrequencyLoad(frequency);
    state_.RxFreqChanged = true;
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
    return FrequencyUserInit(Edit_TXFreq, Label_TxFreq, Limit(*this, "P3", true),
                             Limit(*this, "P4", false), state_.TxFreqChanged);
}

double TMainForm::RxFrequencyUserInit() {
    return FrequencyUserInit(Edit_RXFreq, Label_RxFreq, Limit(*this, "P1", true),
                             Limit(*this, "P2", false), state_.RxFreqChanged);
}

// ---- Sending ----

void TMainForm::TakeOperation(const OperationResult& Result) {
    picture_.Take(Result);
    // Whatever the operator moved or typed shows what the radio holds now.
    RedrawAll();
    Draw();
}

SettingsContext TMainForm::HistoryContext() const {
    return picture_.Context();
}

namespace {
// One field in its own exchange, to the radio the window has read, and only to it.
bool WriteField(TMainForm& f, const std::string& command, const std::string& value,
                int64_t serial) {
    // Whatever happens, the control shows what the radio holds afterwards.
    if (!OpenRadioPort()) {
        f.TakeOperation({});
        return false;
    }
    PortClose close;
    if (!EnsureRadioIdentified() || !f.SameRadioOnCable(serial)) {
        f.TakeOperation({});
        return false;
    }
    auto recorder = f.Recorder("adjust");
    const OperationResult r = WriteRadioField(command, value, f.HistoryContext(), recorder.get());
    f.TakeOperation(r);
    f.SayHistoryWarning(*recorder);
    return r.Done();
}

// One side's frequency; the pending flag stays set when nothing could be sent.
bool FrequencyWrite(TMainForm& f, const char* command, bool& pending, double frequency) {
    const std::string step = f.Picture().Step();
    const auto model = static_cast<size_t>(f.RadioModel() & 1);
    // A frequency outside the model's range has no four-digit channel: the radio would take
    // part of it.
    if (step.empty() ||
        !(frequency >= ModelMinFrequency[model] && frequency <= ModelMaxFrequency[model]))
        return false;
    pending = false;
    return WriteField(f, command, FrequencyToChannel(f.RadioModel(), step, frequency),
                      f.SerialNumber());
}
}  // namespace

bool TMainForm::TXFrequenciesWrite(double Frequency) {
    return FrequencyWrite(*this, "PT", state_.TxFreqChanged, Frequency);
}

bool TMainForm::RXFrequenciesWrite(double Frequency) {
    return FrequencyWrite(*this, "PR", state_.RxFreqChanged, Frequency);
}

bool TMainForm::WriteValue(const std::string& Command, const std::string& Value) {
    return WriteField(*this, Command, Value, SerialNumber());
}

bool TMainForm::WriteValueToSameRadio(const std::string& Command, const std::string& Value,
                                      int64_t StartSerial) {
    return WriteField(*this, Command, Value, StartSerial);
}

void TMainForm::CopyCurrentFrequency(QLabel* Label, QLineEdit* Edit) {
    const QString current = Label->text().trimmed();
    if (!current.isEmpty() && current != "Not Set")
        Edit->setText(Label->text());
}

// ---- Band limits and country plans ----

void TMainForm::GetFreqBands() {
    RadioPicture& p = picture_;
    std::string reply;
    for (const char* code : {"P1", "P2", "P3", "P4", "PA"}) {
        // What is left of a reply that did not arrive is no limit: taking it would choose a
        // plan from it and write that to the radio.
        state_.ReadingField = code;
        if (!ReadField(code, reply, 2, code[1] == 'A' ? 2 : 4)) {
            p.Erase("PA");
            return;
        }
        HexToInt(reply);
        p.Set(code, UpperCase(reply));
    }
    state_.ReadingField = nullptr;
    const int32_t band = static_cast<int32_t>(*p.Number("PA"));
    const TGroupFreqBands table = GroupFreqBands[static_cast<size_t>(p.Model & 1)];
    const int32_t start = FindBandStart(table, band);
    if (start < 0)
        return;
    if (PlanOfLimits(p.Model, p.Step(), band, *p.Field("P1"), *p.Field("P2"), *p.Field("P3"),
                     *p.Field("P4")) != nullptr)
        return;
    // Limits that are no plan's: the band's whole range, a correction of the read.
    auto recorder = Recorder("read correction", state_.RefreshSerial);
    const OperationResult r =
        ApplyPlan(table[static_cast<size_t>(start)], p.Identity(), recorder.get());
    SayHistoryWarning(*recorder);
    p.Take(r);
    if (r.Done())
        state_.PlanCentre = p.MHz("PR");
    else
        state_.OperationMessage = r.Message;
}

bool TMainForm::SetFrequencyBands(int position, ChangeRecorder* recorder) {
    const int32_t row = PlanRow(position);
    const TGroupFreqBands table = GroupFreqBands[static_cast<size_t>(picture_.Model & 1)];
    if (row < 0 || static_cast<size_t>(row) >= table.size())
        return false;
    const OperationResult r =
        ApplyPlan(table[static_cast<size_t>(row)], picture_.Identity(), recorder);
    // Each value as the radio holds it: written, or read back after a failure.
    picture_.Take(r);
    if (r.Done())
        state_.PlanCentre = picture_.MHz("PR");
    else
        state_.OperationMessage = r.Message;
    TakeOperation({});
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
    if (state_.Updating)
        return;
    // The step the operator asked for: refreshes run while the question is open.
    const std::string step = SelectedStepCode(*this);
    const int64_t startSerial = SerialNumber();
    state_.AskingStep = true;
    // A step change saves to flash: with the transmitter on, its PTT time-out of 255 s too.
    const bool yes = !RefusedWhileTransmitting("frequency step change") &&
                     ConfirmOverUnfinished("frequency step change") &&
                     ShowWarningBox(kStepQuestion, MsgButtons::YesNo) == MsgResult::Yes;
    state_.AskingStep = false;
    if (yes)
        ChangeFrequencyStep(startSerial, step);
    // The selection shows the step the radio is on, whatever was asked.
    Redraw(RadioGroup_FreqStep);
    Draw();
}

bool TMainForm::ChangeFrequencyStep(int64_t StartSerial, const std::string& step) {
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
        r = ::ChangeFrequencyStep({step, txFrequency, rxFrequency}, picture_.Identity(),
                                  recorder.get());
        SayHistoryWarning(*recorder);
    }
    TakeOperation(r);
    if (!r.Done())
        ShowErrorBox(r.Message);
    return r.Step("") == step;
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
    if (state_.Updating)
        return;
    const int position = ComboBox_FreqBand->currentIndex();
    const auto putBack = [this] {
        Redraw(ComboBox_FreqBand->view());
        Draw();
    };
    // The plan the radio is on already: nothing to apply.
    if (position < 0 || position == RadioPlanPosition() ||
        RefusedWhileTransmitting("country/band change")) {
        putBack();
        return;
    }
    const int32_t row = PlanRow(position);
    const TGroupFreqBands table = GroupFreqBands[static_cast<size_t>(picture_.Model & 1)];
    if (row < 0 || static_cast<size_t>(row) >= table.size() || picture_.Step().empty()) {
        putBack();
        return;
    }
    // What the plan sets, in MHz on the radio's grid, shown before anything is written.
    std::map<std::string, double> mhz;
    for (const FieldWrite& w :
         PlanFieldWrites(table[static_cast<size_t>(row)], picture_.Model, picture_.Step()))
        mhz[w.Code] = ChannelToFrequency(picture_.Model, w.Raw, picture_.Step());
    const auto text = [](double f) { return FormatFixed(f, 5, DefaultFormatSettings()); };
    const std::string question =
        "Apply the country/band plan '" + ComboBox_FreqBand->itemText(position).toStdString() +
        "'?\r\n\r\nTX and RX band: " + text(mhz["P1"]) + " to " + text(mhz["P2"]) +
        " MHz\r\nTX and RX frequency: " + text(mhz["PT"]) +
        " MHz\r\n\r\nThe radio takes them at once; Save to Flash keeps them.";
    const int64_t startSerial = SerialNumber();
    if (ShowQuestionBox(question, MsgButtons::YesNo) != MsgResult::Yes) {
        putBack();
        return;
    }
    state_.OperationMessage.clear();
    if (OpenRadioPort()) {
        PortClose close;
        // The question was open while refreshes ran: the radio it was asked for may be gone.
        if (EnsureRadioIdentified() && SameRadioOnCable(startSerial)) {
            auto recorder = Recorder("plan");
            SetFrequencyBands(position, recorder.get());
            SayHistoryWarning(*recorder);
        }
    }
    // The list shows the plan the radio is on, applied or not.
    putBack();
    if (!state_.OperationMessage.empty())
        ShowErrorBox(std::exchange(state_.OperationMessage, std::string()));
}
