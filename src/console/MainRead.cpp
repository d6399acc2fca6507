// Reading and showing the radio: the periodic refresh and the full read.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <string>

#include "common/StrUtils.h"
#include "config/INIunit.h"
#include "console/Main.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "link/Utilities.h"
#include "widgets/PowerButton.h"

namespace {

const QColor kAlarmRed(0xFF, 0x00, 0x00);
const QColor kNoAlarmGreen(0x00, 0x80, 0x00);

void SetLabelColour(QLabel* label, const QColor& colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

QString Decimal(int64_t value) {
    return QString::number(value);
}

// Eight digits as the radio's label carries them; only a seven-digit number gets its zero back.
QString SerialNumberText(int64_t serial) {
    QString text = Decimal(serial);
    return text.size() == 7 ? "0" + text : text;
}

// The wait after a command of the full read: a missing prompt is no error there.
void WaitForPromptQuietly(TVVComm2& port) {
    port.WaitForChar(">", 2000, 300);
}

// One calibration field into its scroll bar and the label beside it.
bool ReadScrollBar(const char* command, std::string& text, QScrollBar* bar, QLabel* label) {
    std::string reply;
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
        f.SetChangesMadeState(false);
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
    if (!f.PollPowerWhileTransmitting())
        return;
    f.RM7UX_UpdateStatus();
    if (serial == f.SerialNumber)
        return;

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
    try {
        RefreshOpenPort(*this);
    } catch (const std::exception& e) {
        // Closed and released before the box: ticks keep coming while it is open.
        CloseRadioPort();
        Updating = false;
        ShowException(e);
        return;
    }
    CloseRadioPort();
    Updating = false;
}

bool TMainForm::LoadRadioData() {
    TVVComm2& port = RM7UXport;
    std::string reply;

    if (!PulseTransmitter())
        return false;

    if (!ReadField("PC", reply, 2, 2))
        return false;
    FrequencyStepCode = reply;
    RM7UXSetChannelSpacing();

    if (!QueryField("RH", reply, 2, 2))
        return false;
    const std::string revision = HardwareRevisionText(RadioModel, reply);
    if (revision.empty())
        Label_HWVer->clear();
    else
        Label_HWVer->setText(QString::fromStdString(revision));

    if (!ReadScrollBar("PD", DeviationHex, ScrollBar_Deviation, Label_DevLev))
        return false;
    if (!ReadScrollBar("PM", ModBalanceHex, ScrollBar_ModBalance, Label_ModLev))
        return false;

    if (!ReadField("PP", reply, 2, 2))
        return false;
    Edit_PTTTimeout->setText(Decimal(HexToInt(reply)));

    if (!ReadField("PW", reply, 2, 2))
        return false;
    ComboBox_RFLevel->setCurrentIndex(HexToInt(reply) & 3);

    if (!QueryFieldWithArgument("PL", std::to_string(ComboBox_RFLevel->currentIndex()), reply, 2,
                                2))
        return false;
    ScrollBar_RfPwm->setValue(HexToInt(reply));
    Label_PwLev->setText(Decimal(ScrollBar_RfPwm->value()));

    if (!ReadScrollBar("PF", RfOffsetHex, ScrollBar_RfOffset, Label_OsLev))
        return false;

    if (!ReadField("PR", reply, 2, 4))
        return false;
    RxFrequencyHex = reply;
    RM7UXDisplayRxFrequency();

    if (!ReadField("PT", reply, 2, 4))
        return false;
    TxFrequencyHex = reply;
    RM7UXDisplayTxFrequency();
    GetFreqBands();
    // A limit or band code that did not arrive leaves the read unfinished, to be done again.
    if (LastBandCode < 0)
        return false;

    if (!ReadField("SC", reply, 2, 2))
        return false;
    SpinEdit_CTCSS->setValue(HexToInt(reply));

    if (!ReadField("PS", reply, 2, 2))
        return false;
    CutoutTemp = TemperatureCelsius(reply);
    if (CutoutTemp < CutoutTempMinimum) {
        // A radio that would shut down within its working range: set to the top and kept.
        CutoutTemp = 215;
        SetField("PS", "FF");
        WaitForPromptQuietly(port);
        port.WriteEchoed("EE");
        WaitForPromptQuietly(port);
        port.WriteEchoed("EP");
        WaitForPromptQuietly(port);
    }
    Edit_CutoutTemp->setText(Decimal(CutoutTemp));
    return true;
}

void TMainForm::RM7UX_UpdateStatus() {
    std::string reply;
    if (QueryField("RT", reply, 2, 2) && !reply.empty())
        Label_Temp->setText(Decimal(TemperatureCelsius(reply)));
    if (QueryField("RR", reply, 2, 2) && !reply.empty())
        Label_RawRSSI->setText(Decimal(HexToInt(reply)));
    if (QueryField("RC", reply, 2, 2))
        SetRadioAlarms(reply);
}

void TMainForm::SetRadioAlarms(const std::string& Reply) {
    Label_Alarms->setText(QString::fromStdString(RadioAlarmsText(Reply)));
    // Green only for a reply that says there are none; an unreadable one is an alarm too.
    SetLabelColour(Label_Alarms, TryHexToInt64(Reply) == 0 ? kNoAlarmGreen : kAlarmRed);
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
