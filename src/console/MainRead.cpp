// Reading and showing the radio: the periodic refresh and the full read.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <stdexcept>
#include <string>
#include <utility>

#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "config/FieldTable.h"
#include "config/INIunit.h"
#include "console/Main.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "link/Utilities.h"
#include "operations/RadioOperations.h"
#include "widgets/PowerButton.h"

namespace {

QString Decimal(int64_t value) {
    return QString::number(value);
}

// Eight digits as the radio's label carries them; only a seven-digit number gets its zero back.
QString SerialNumberText(int64_t serial) {
    QString text = Decimal(serial);
    return text.size() == 7 ? "0" + text : text;
}

// What the operator reads in a report about a reply that is not a number.
std::string FieldName(const std::string& command) {
    return std::string(FieldLabel(command)) + " (" + command + ")";
}

// One calibration field into its scroll bar and the label beside it.
bool ReadScrollBar(TMainForm& f, const char* command, std::string& text, QScrollBar* bar,
                   QLabel* label) {
    std::string reply;
    f.ReadingField = command;
    if (!ReadField(command, reply, 2, 2))
        return false;
    text = reply;
    bar->setValue(HexToInt(reply));
    label->setText(Decimal(bar->value()));
    return true;
}

// Everything of a refresh between opening and closing the port. Conversion errors escape.
void RefreshOpenPort(TMainForm& f) {
    f.RM7UXport.PurgeAll();
    std::string version;
    bool isRM7UX = false;
    if (!IdentifyRadio(version, isRM7UX)) {
        // The unsaved-changes mark stays: a radio that missed one identification still holds
        // its working settings.
        f.ForgetRadio();
        // Only the picture: a modem that is not answering is not told anything.
        f.PowerButton_M82KDModem->SetButtonDown(false);
        return;
    }
    f.RadioModel = isRM7UX ? 1 : 0;
    const int64_t serial = ReadSerialNumber();
    if (serial == -1) {
        f.ForgetRadio();
        return;
    }
    f.RefreshSerial = serial;
    if (!f.PollPowerWhileTransmitting())
        return;
    f.RM7UX_UpdateStatus();
    if (serial == f.SerialNumber)
        return;
    if (serial == f.LastUnreadable.Serial && f.LastUnreadable.InFullRead)
        return;
    // A radio not shown before: what an earlier run left unfinished on it comes first.
    f.NoticeUnfinishedOperations(serial);
    if (f.OperatorPTTTimeout >= 0 && serial != f.TxTestSerial) {
        // The radio keyed for the TX test is gone; this one is not keyed by the window.
        f.OperatorPTTTimeout = -1;
        f.ShowTransmitterOn(false);
    }
    if (serial != f.KnownRadioSerial) {
        // Another radio, though no tick went by without one: the marked changes were the last
        // one's, and its limit replies may read alike for other limits.
        f.ForgetRadio();
        f.KnownRadioSerial = serial;
        f.SetChangesMadeState(false);
    }

    f.EnableFiveKHzStep();
    if (!ReadBandWidth(f.BandwidthHz))
        return;
    f.Label_Bandwidth->setText(
        f.BandwidthHz == -1
            ? QString("Unkown")
            : QString::fromStdString(FormatGeneral(f.BandwidthHz / 1000, DefaultFormatSettings())) +
                  " KHz");

    f.ComboBox_RFLevel->clear();
    const std::string captions = PowerLevelCaptions(ModelVariantCode(version));
    if (!captions.empty()) {
        for (const QString& caption :
             QString::fromStdString(captions).split("\r\n", Qt::KeepEmptyParts))
            f.ComboBox_RFLevel->addItem(caption);
    }

    f.InFullRead = true;
    if (f.LoadRadioData()) {
        f.Label_VersionString->setText(QString::fromStdString(version));
        f.SerialNumber = serial;
        f.Label_SerialNO->setText(SerialNumberText(serial));
    }
}

}  // namespace

void TMainForm::RM7UXLoadradioData() {
    Updating = true;
    if (!OpenRadioPort()) {
        ForgetRadio();
        Updating = false;
        return;
    }
    ReadingField = nullptr;
    RefreshSerial = -1;
    InFullRead = false;
    try {
        RefreshOpenPort(*this);
    } catch (const std::exception& e) {
        // Closed and released before the box: ticks keep coming while it is open.
        CloseRadioPort();
        Updating = false;
        const std::string report = UnreadableReplyText(e);
        const bool again = RefreshSerial != -1 && LastUnreadable.Serial == RefreshSerial &&
                           LastUnreadable.Report == report;
        LastUnreadable = {RefreshSerial, report, InFullRead};
        if (!again)
            ShowException(std::runtime_error(report));
        SayIfTransmitterMayBeOn();
        return;
    }
    CloseRadioPort();
    Updating = false;
    if (!OperationMessage.empty())
        ShowErrorBox(std::exchange(OperationMessage, std::string()));
    SayIfTransmitterMayBeOn();
}

void TMainForm::SayIfTransmitterMayBeOn() {
    // While the TX test is on, the window itself shows the transmitter keyed.
    if (!TransmitterMayBeOn() || TransmitterOn != 0) {
        TransmitterDoubtSaid = false;
        return;
    }
    if (TransmitterDoubtSaid)
        return;
    // Said before the box: ticks go on while it is open.
    TransmitterDoubtSaid = true;
    ShowErrorBox("The radio did not confirm that its transmitter is off.\r\nSwitch the radio off.");
}

std::string TMainForm::UnreadableReplyText(const std::exception& e) const {
    if (ReadingField == nullptr)
        return e.what();
    return "The radio's " + FieldName(ReadingField) + " could not be read:\r\n" + e.what();
}

bool TMainForm::LoadRadioData() {
    // What a read writes corrects the radio: the TX test's time-out, the plan, the cut-out.
    std::string reply;

    if (!PulseTransmitter())
        return false;
    // "O4" has ended any TX test: the radio is no longer keyed, and the time-out the operator
    // had goes back in place of the FF the test set.
    if (OperatorPTTTimeout >= 0) {
        auto recorder = Recorder("read correction", RefreshSerial);
        const OperationResult r =
            TransmitterTestEnded(OperatorPTTTimeout, ShownRadio(), recorder.get());
        SayHistoryWarning(*recorder);
        if (!r.Done())
            return false;
        OperatorPTTTimeout = -1;
    }
    if (TransmitterOn != 0)
        ShowTransmitterOn(false);

    // Names the field whose reply is converted next, should it not be a number.
    auto read = [&](const char* command, int width) {
        ReadingField = command;
        return ReadField(command, reply, 2, width);
    };

    if (!read("PC", 2))
        return false;
    FrequencyStepCode = reply;
    RM7UXSetChannelSpacing();

    ReadingField = nullptr;
    if (!QueryField("RH", reply, 2, 2))
        return false;
    const std::string revision = HardwareRevisionText(RadioModel, reply);
    if (revision.empty())
        Label_HWVer->clear();
    else
        Label_HWVer->setText(QString::fromStdString(revision));

    if (!ReadScrollBar(*this, "PD", DeviationHex, ScrollBar_Deviation, Label_DevLev))
        return false;
    if (!ReadScrollBar(*this, "PM", ModBalanceHex, ScrollBar_ModBalance, Label_ModLev))
        return false;

    if (!read("PP", 2))
        return false;
    PTTTimeoutValue = HexToInt(reply);
    Edit_PTTTimeout->setText(Decimal(PTTTimeoutValue));

    if (!read("PW", 2))
        return false;
    ComboBox_RFLevel->setCurrentIndex(HexToInt(reply) & 3);

    static const char* const kLevels[] = {"PL0", "PL1", "PL2", "PL3"};
    ReadingField = kLevels[ComboBox_RFLevel->currentIndex() & 3];
    if (!QueryFieldWithArgument("PL", std::to_string(ComboBox_RFLevel->currentIndex()), reply, 2,
                                2))
        return false;
    ScrollBar_RfPwm->setValue(HexToInt(reply));
    Label_PwLev->setText(Decimal(ScrollBar_RfPwm->value()));

    if (!ReadScrollBar(*this, "PF", RfOffsetHex, ScrollBar_RfOffset, Label_OsLev))
        return false;

    if (!read("PR", 4))
        return false;
    RxFrequencyHex = reply;
    RM7UXDisplayRxFrequency();

    if (!read("PT", 4))
        return false;
    TxFrequencyHex = reply;
    RM7UXDisplayTxFrequency();
    GetFreqBands();
    // A limit or band code that did not arrive leaves the read unfinished, to be done again.
    if (LastBandCode < 0)
        return false;

    if (!read("SC", 2))
        return false;
    SpinEdit_CTCSS->setValue(HexToInt(reply));
    CtcssValue = SpinEdit_CTCSS->value();

    if (!read("PS", 2))
        return false;
    CutoutTemp = TemperatureCelsius(reply);
    if (CutoutTemp < CutoutTempMinimum) {
        // A radio that would shut down within its working range is set to the top; stored in
        // flash at once only when nothing else is unsaved, since a save stores everything.
        RadioIdentity radio = ShownRadio();
        radio.Serial = RefreshSerial;
        auto recorder = Recorder("read correction", RefreshSerial);
        const OperationResult r =
            CorrectCutout(CutoutTempMinimum, ChangesMade, radio, recorder.get());
        SayHistoryWarning(*recorder);
        if (const std::optional<std::string> held = r.Value("PS"))
            CutoutTemp = TemperatureCelsius(*held);
        if (r.Unsaved == UnsavedChanges::Changed)
            SetChangesMadeState(true);
        if (!r.Done())
            OperationMessage = r.Message;
    }
    Edit_CutoutTemp->setText(Decimal(CutoutTemp));
    return true;
}

void TMainForm::RM7UX_UpdateStatus() {
    std::string reply;
    ReadingField = "RT";
    if (QueryField("RT", reply, 2, 2) && !reply.empty())
        Label_Temp->setText(Decimal(TemperatureCelsius(reply)));
    ReadingField = "RR";
    if (QueryField("RR", reply, 2, 2) && !reply.empty())
        Label_RawRSSI->setText(Decimal(HexToInt(reply)));
    if (QueryField("RC", reply, 2, 2))
        SetRadioAlarms(reply);
    ReadingField = nullptr;
}

void TMainForm::SetRadioAlarms(const std::string& Reply) {
    Label_Alarms->setText(QString::fromStdString(RadioAlarmsText(Reply)));
    // Green only for a reply that says there are none; an unreadable one is an alarm too.
    SetTextColour(Label_Alarms, QPalette::WindowText,
                  TryHexToInt64(Reply) == 0 ? WindowColour::Green : WindowColour::Red);
}

bool TMainForm::PollPowerWhileTransmitting() {
    if (!PowerButton_TxOn->ButtonDown()) {
        PowerPollCount = 0;
        return true;
    }
    if (PowerPollCount < ProgramSettings.AdjustPowerIntervals - 1) {
        ++PowerPollCount;
        return true;
    }
    std::string reply;
    const bool ok = ReadField("PW", reply, 2, 2);
    PowerPollCount = 0;
    return ok;
}
