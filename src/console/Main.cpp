// The main window: construction, port choice, the Connect switch and refresh timer, the
// comms-state lamp, the working controls, unsaved changes and the prompts on closing.

#include "console/Main.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <iostream>

#include "common/UserDialogs.h"
#include "config/INIunit.h"
#include "config/RM7UXFlashConfigObj.h"
#include "config/SerialGuard.h"
#include "config/Unit_Registry.h"
#include "config/Version.h"
#include "console/Advanced.h"
#include "console/PortList.h"
#include "frequency/CountryFrequency.h"
#include "history/ChangeHistory.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "platform/PortDiagnosis.h"
#include "platform/PortNames.h"
#include "platform/RadioSearch.h"
#include "widgets/AppIcon.h"
#include "widgets/HelpWindow.h"
#include "widgets/HtmlHelp.h"
#include "widgets/PowerButton.h"

namespace {

constexpr int kNumberOfPorts = 256;

using namespace WindowColour;

// A handler for a signal: an error escaping it is shown, not left to end the program.
template <typename F>
auto Guarded(TMainForm* form, F handler) {
    return [form, handler]() {
        try {
            handler();
        } catch (const std::exception& e) {
            form->ShowException(e);
        }
    };
}

// "RM7VX|*.RM7VX|RM7UX|*.RM7UX" -> "RM7VX (*.RM7VX);;RM7UX (*.RM7UX)"
QString QtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + parts[i + 1] + ")";
    return out.join(";;");
}

// Whether a port was ever stored, as opposed to none (the first start).
bool PortRemembered(TRadioConfigRegistry& registry) {
    const bool stored = registry.OpenKeyReadOnly(registry.KeyPath + "\\" + registry.SubKeyName) &&
                        registry.ValueExists("CommPort");
    registry.CloseKey();
    return stored;
}

// The first present USB port or ports-folder link: 0 when there is none.
int FirstRadioPort(const std::vector<SerialPortInfo>& ports) {
    for (const SerialPortInfo& p : RadioSearchCandidates(ports, false)) {
        if (p.Com >= 1 && p.Com <= kNumberOfPorts)
            return static_cast<int>(p.Com);
    }
    return 0;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
    setObjectName("MainForm");
    setWindowTitle("RM7VX / RM7UX Radio Config");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    // The link as designed: port 1, 9600 8N1, the window's events handled while it waits.
    RM7UXport.CommPort = 1;
    RM7UXport.BaudRate = TBaudRate::___9600;
    RM7UXport.Parity = TParity::None;
    RM7UXport.DataBits = TDataBits::_8;
    RM7UXport.StopBits = TStopBits::_1;
    RM7UXport.AllowAppProcessMessages = true;
    RM7UXport.ProcessMessages = [] { QCoreApplication::processEvents(); };

    SaveDialog.Save = true;
    SaveDialog.DefaultExt = "RM7UX";
    SaveDialog.Filter = "RM7VX|*.RM7VX|RM7UX|*.RM7UX";
    OpenDialog.Save = false;
    OpenDialog.DefaultExt = "RM7VX";
    OpenDialog.Filter = "RM7VX|*.RM7VX|RM7UX|*.RM7UX";

    CreateControls();
    ConnectHandlers();
    FormCreate();
    SetHelpContexts();
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::SetHelpContexts() {
    namespace H = HelpContexts;
    // Each control with a part of the manual opens that part; the rest open the main window's.
    // The step's context is on the buttons shown as well as on the hidden group.
    const std::pair<QWidget*, long> contexts[] = {
        {this, H::MainWindow},
        {ComboBox_PortNumber, H::ComPort},
        {CheckBox_Connect, H::Connect},
        {PowerButton_M82KDModem, H::Modem},
        {Edit_TXFreq, H::Frequencies},
        {Edit_RXFreq, H::Frequencies},
        {BitBtn_TxFreqCopy, H::Frequencies},
        {BitBtn_RxFreqCopy, H::Frequencies},
        {Button_WriteRadioSettings, H::SaveToFlash},
        {RadioGroup_FreqStep, H::FrequencyStep},
        {GroupBox_FrequencyStep, H::FrequencyStep},
        {SpinEdit_CTCSS, H::Ctcss},
        {Edit_PTTTimeout, H::PttTimeout},
        {ComboBox_RFLevel, H::PowerLevel},
        {PowerButton_TxOn, H::TxTest},
        {Button_Advanced, H::Advanced},
        {ScrollBar_Deviation, H::Calibration},
        {ScrollBar_ModBalance, H::Calibration},
        {ScrollBar_RfPwm, H::Calibration},
        {ScrollBar_RfOffset, H::Calibration},
        {Edit_CutoutTemp, H::CutoutTemp},
        {ComboBox_FreqBand, H::Band},
        {BitBtn_SaveConfig, H::Files},
        {BitBtn_WriteConfig, H::Files},
        {Button_Alignment, H::Alignment},
        {Button_History, H::History},
    };
    for (const auto& [control, context] : contexts) {
        if (control != nullptr)
            SetHelpContext(control, static_cast<int>(context));
    }
}

void TMainForm::ConnectHandlers() {
    // Head and link row.
    connect(Button_Help, &QPushButton::clicked, this,
            Guarded(this, [this] { Button_HelpClick(); }));
    connect(ComboBox_PortNumber, &QComboBox::activated, this,
            Guarded(this, [this] { ComboBox_PortNumberChange(); }));
    // The original box ran its click handler also when checked from code.
    connect(CheckBox_Connect, &QCheckBox::toggled, this,
            Guarded(this, [this] { CheckBox_ConnectClick(); }));
    connect(Timer_ReadRadio, &QTimer::timeout, this,
            Guarded(this, [this] { Timer_ReadRadioTimer(); }));
    connect(Button_Advanced, &QPushButton::clicked, this,
            Guarded(this, [this] { Button_AdvancedClick(); }));
    PowerButton_M82KDModem->OnBeforeClick = [this](TPowerButton* s, bool& cancel) {
        Guarded(this, [&] { PowerButton_M82KDModemBeforeClick(s, cancel); })();
    };

    // Frequencies and step.
    connect(BitBtn_TxFreqCopy, &QPushButton::clicked, this,
            Guarded(this, [this] { BitBtn_XxFreqCopyClick(BitBtn_TxFreqCopy); }));
    connect(BitBtn_RxFreqCopy, &QPushButton::clicked, this,
            Guarded(this, [this] { BitBtn_XxFreqCopyClick(BitBtn_RxFreqCopy); }));
    connect(MenuItem_TxFreqCopy, &QAction::triggered, this,
            Guarded(this, [this] { MenuItem_TxFreqCopyClick(); }));
    connect(MenuItem_RxFreqCopy, &QAction::triggered, this,
            Guarded(this, [this] { MenuItem_RxFreqCopyClick(); }));
    connect(pm_Send, &QAction::triggered, this, Guarded(this, [this] { pm_SendClick(); }));
    auto popup = [](QWidget* w, QMenu* menu) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(w, &QWidget::customContextMenuRequested, menu,
                         [w, menu](const QPoint& pos) { menu->popup(w->mapToGlobal(pos)); });
    };
    popup(Edit_TXFreq, PopupMenu_TxFreqCopy);
    popup(Edit_RXFreq, PopupMenu_RxFreqCopy);
    popup(GroupBox_FrequencyStep, PopupMenu_SendFrequencyStep);
    popup(RadioButton_FS6250, PopupMenu_SendFrequencyStep);
    popup(RadioButton_FS5000, PopupMenu_SendFrequencyStep);
    connect(RadioGroup_FreqStep, &TRadioGroup::clicked, this,
            Guarded(this, [this] { RadioGroup_FreqStepClick(); }));
    // Checking a button, also from code, was a click in the original toolkit.
    for (QRadioButton* b : {RadioButton_FS6250, RadioButton_FS5000}) {
        connect(b, &QRadioButton::toggled, this, [this, b](bool on) {
            if (on)
                Guarded(this, [this, b] { RadioButton_FSxxxxClick(b); })();
        });
    }
    connect(ComboBox_FreqBand, &QComboBox::activated, this,
            Guarded(this, [this] { ComboBox_FreqBandChange(); }));

    // Adjustments.
    PowerButton_TxOn->OnBeforeClick = [this](TPowerButton* s, bool& cancel) {
        Guarded(this, [&] { PowerButton_TxOnBeforeClick(s, cancel); })();
    };
    PowerButton_TxOn->OnClick = [this](TPowerButton* s) {
        Guarded(this, [&] { PowerButton_TxOnClick(s); })();
    };
    PowerButton_TxOn->OnEnter = [this](TPowerButton* s) {
        if (!disablingConsole_)
            Guarded(this, [&] { PowerButton_TxOnEnter(s); })();
    };
    connect(ComboBox_RFLevel, &QComboBox::activated, this,
            Guarded(this, [this] { ComboBox_RFLevelChange(); }));
    connect(ScrollBar_RfPwm, &QScrollBar::valueChanged, this,
            Guarded(this, [this] { ScrollBar_RfPwmChange(); }));
    connect(ScrollBar_Deviation, &QScrollBar::valueChanged, this,
            Guarded(this, [this] { ScrollBar_DeviationChange(); }));
    connect(ScrollBar_ModBalance, &QScrollBar::valueChanged, this,
            Guarded(this, [this] { ScrollBar_ModBalanceChange(); }));
    connect(ScrollBar_RfOffset, &QScrollBar::valueChanged, this,
            Guarded(this, [this] { ScrollBar_RfOffsetChange(); }));
    connect(SpinEdit_CTCSS, &QSpinBox::valueChanged, this,
            Guarded(this, [this] { SpinEdit_CTCSSChange(); }));
    connect(Button_WriteRadioSettings, &QPushButton::clicked, this,
            Guarded(this, [this] { Button_WriteRadioSettingsClick(); }));

    // Files.
    connect(BitBtn_SaveConfig, &QPushButton::clicked, this,
            Guarded(this, [this] { BitBtn_SaveConfigClick(); }));
    connect(BitBtn_WriteConfig, &QPushButton::clicked, this,
            Guarded(this, [this] { BitBtn_WriteConfigClick(); }));

    // Focus, key and mouse events without a signal.
    for (QObject* o : std::initializer_list<QObject*>{
             Edit_TXFreq, Edit_RXFreq, Edit_PTTTimeout, Edit_CutoutTemp, ScrollBar_Deviation,
             ScrollBar_ModBalance, ScrollBar_RfOffset, RadioButton_FS6250, RadioButton_FS5000,
             GroupBox_FrequencyStep})
        o->installEventFilter(this);
    // A wheel turned while the pointer passes over these would write to the radio or change
    // the port: they take it only with the focus, when the operator chose them.
    for (QObject* o : std::initializer_list<QObject*>{
             ComboBox_PortNumber, ComboBox_FreqBand, ComboBox_RFLevel, ScrollBar_Deviation,
             ScrollBar_ModBalance, ScrollBar_RfPwm, ScrollBar_RfOffset, SpinEdit_CTCSS})
        o->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    bool handled = false;
    Guarded(this, [&] { handled = FilterControlEvent(watched, event); })();
    return handled || QWidget::eventFilter(watched, event);
}

bool TMainForm::FilterControlEvent(QObject* watched, QEvent* event) {
    const bool isEdit = watched == Edit_TXFreq || watched == Edit_RXFreq ||
                        watched == Edit_PTTTimeout || watched == Edit_CutoutTemp;
    switch (event->type()) {
        case QEvent::Wheel:
            if (auto* w = qobject_cast<QWidget*>(watched); w != nullptr && !w->hasFocus()) {
                event->ignore();
                return true;
            }
            break;
        case QEvent::FocusIn: {
            // Coming back from another window is no entering of the control.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
                break;
            if (disablingConsole_)
                break;
            if (isEdit)
                Edit_Enter(watched);
            else if (watched == ScrollBar_Deviation)
                ScrollBar_DeviationEnter();
            else if (watched == ScrollBar_ModBalance)
                ScrollBar_ModBalanceEnter();
            else if (watched == ScrollBar_RfOffset)
                ScrollBar_RfOffsetEnter();
            break;
        }
        case QEvent::FocusOut: {
            // A message box or menu taking the focus is no leaving of the control; nor is the
            // focus moving on because the control was just disabled (a refresh that lost the
            // radio): sending then would run an exchange inside the refresh's report.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
                break;
            if (auto* w = qobject_cast<QWidget*>(watched); w != nullptr && !w->isEnabled()) {
                // What was typed and not sent goes: the box shows the value it had again, not
                // one the radio never got.
                if (isEdit && watched == EnteredControl && TEditChangesMade(watched))
                    static_cast<QLineEdit*>(watched)->setText(EnteredText);
                break;
            }
            if (watched == Edit_TXFreq)
                Edit_TXFreqExit();
            else if (watched == Edit_RXFreq)
                Edit_RXFreqExit();
            else if (watched == Edit_PTTTimeout)
                Edit_PTTTimeoutExit();
            else if (watched == Edit_CutoutTemp)
                Edit_CutoutTempExit();
            break;
        }
        case QEvent::KeyPress: {
            auto* ke = static_cast<QKeyEvent*>(event);
            if (isEdit) {
                const std::optional<char> c = KeyEventChar(*ke);
                if (!c)
                    break;
                char key = *c;
                if (watched == Edit_TXFreq)
                    Edit_TXFreqKeyPress(watched, key);
                else if (watched == Edit_RXFreq)
                    Edit_RXFreqKeyPress(watched, key);
                else if (watched == Edit_PTTTimeout)
                    Edit_PTTTimeoutKeyPress(watched, key);
                else
                    Edit_CutoutTempKeyPress(watched, key);
                if (key == 0)
                    return true;
            } else if (watched == RadioButton_FS6250 || watched == RadioButton_FS5000) {
                int key = ke->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter)
                    key = 13;
                else if (key == Qt::Key_Space)
                    key = 32;
                RadioButton_FSxxxxKeyDown(watched, key);
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            if (watched == GroupBox_FrequencyStep &&
                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                GroupBox_FrequencyStepClick();
            break;
        default:
            break;
    }
    return false;
}

void TMainForm::FormCreate() {
    RM7UXport.SetControlLines(0, 1);
    try {
        Registry = std::make_unique<TRadioConfigRegistry>();
        Registry->ReadSettings();
    } catch (const std::exception&) {
        Registry.reset();
    }
    FillPortList();
    SetupPortList();
    int index = 0;
    if (Registry) {
        index = std::clamp(static_cast<int>(Registry->CommPort) - 1, 0, kNumberOfPorts - 1);
        // First start: where a radio could be rather than COM1, which on a PC without a serial
        // port leads nowhere. Only chosen, not connected.
        if (!PortRemembered(*Registry)) {
            if (const int first = FirstRadioPort(PortList->Ports()); first > 0)
                index = first - 1;
        }
    }
    ComboBox_PortNumber->setCurrentIndex(index);
    ApplyPortSelection();
    Panel_Normal->setFrameShape(QFrame::NoFrame);
    Panel_Advanced->setFrameShape(QFrame::NoFrame);
    RegisterRM7UXComms(
        &RM7UXport, [this](uint8_t code) { RM7UXDisplayCommsError(code); },
        [this] { return RM7UXComsState(); });
    EnteredControl = nullptr;
    SetupApplicationHelp(this);
    RM7UXport.SetTimeouts(0, 100, 200, 0, 0);
    ForgetRadio();
    LoadSettings();
    LoadDevelopmentSettings();
    Button_Help->setEnabled(true);
    Button_Help->setVisible(true);

    TransmitterOn = 0;
    Updating = true;
    ChangesMade = false;
    AdvancedMode = false;
    AdvancedAll = false;
    Panel_Advanced->hide();
    Button_Advanced->setText("Advanced");
    FitClientHeight();
    Updating = false;

    Label_VersionNO->setText("V " + QString::fromStdString(GetVersionText()));
    CommsState = 0;
    LoadSettings();
    // A settings file too large to read keeps the defaults, and the technician is told once the
    // window is up.
    if (!SettingsProblem.empty()) {
        std::cerr << "CFG_RM7UX_Radio: " << SettingsProblem << "\n";
        QTimer::singleShot(0, this, [problem = SettingsProblem] { ShowWarningBox(problem); });
    }
    Timer_ReadRadio->setInterval(ProgramSettings.TimerInterval);
    const bool hide = ProgramSettings.ConnectHide;
    CheckBox_Connect->setVisible(!hide);
    CheckBox_Connect->setChecked(hide);
    if (CheckBox_Connect->isChecked())
        Timer_ReadRadio->start();
    else
        Timer_ReadRadio->stop();
    CutoutTempMinimum = ProgramSettings.MinCutoutTemp;
    Label_RxFreq->clear();
    Label_TxFreq->clear();
    ConsoleEnabled = true;
    EnableConsoleControls(false);
    FlashRecord = std::make_unique<TRM7UXFlashRecordClass>();
    SetupHistory();
}

void TMainForm::FormShow() {
    ComboBox_PortNumber->setFocus();
}

void TMainForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        FormShow();
    }
    QWidget::showEvent(event);
}

bool TMainForm::FormClose() {
    Timer_ReadRadio->stop();
    std::string prompt;
    if (TransmitterOn == 1) {
        prompt = "Exiting while transmitter is ON may cause loss of PTT time out Value\r\n";
        prompt += "\r\n";
        if (ChangesMade)
            prompt += std::string("Changes have not been saved to flash!") + "\r\n\r\n";
        prompt += "Press OK to exit.";
    } else if (ChangesMade) {
        prompt = "Changes have not been Saved to Flash.\r\n\r\nPress OK to exit without saving.";
    }
    if (!prompt.empty() && ShowWarningBox(prompt, MsgButtons::OKCancel) != MsgResult::OK) {
        Timer_ReadRadio->start();
        return false;
    }
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

void TMainForm::FormDestroy() {
    Timer_ReadRadio->stop();
    // A device server's connection goes with the window.
    RM7UXport.Release();
    // The command layer must not outlive the link it was given.
    if (RM7UXLink() == &RM7UXport) {
        RegisterRM7UXComms(nullptr, {}, {});
    }
}

void TMainForm::FillPortList() {
    ComboBox_PortNumber->clear();
    for (int n = 1; n <= kNumberOfPorts; ++n)
        ComboBox_PortNumber->addItem(QString::number(n));
}

void TMainForm::ApplyPortSelection() {
    const int number = ComboBox_PortNumber->currentIndex() + 1;
    // A device server held for the port before serves nobody else while it is held.
    if (RM7UXport.CommPort != static_cast<uint32_t>(number) && !RM7UXport.IsOpen())
        RM7UXport.Release();
    RM7UXport.CommPort = static_cast<uint32_t>(number);
    if (Registry) {
        Registry->CommPort = static_cast<uint32_t>(number);
        Registry->WriteSettings();
    }
}

void TMainForm::ComboBox_PortNumberChange() {
    ApplyPortSelection();
    if (CheckBox_Connect->isChecked())
        RefuseHeldPort();
}

void TMainForm::CheckBox_ConnectClick() {
    if (CheckBox_Connect->isChecked() && RefuseHeldPort())
        return;
    const bool on = CheckBox_Connect->isChecked();
    // A device server's connection is held while connected, so a refresh does not connect and
    // negotiate anew every tick; unticking frees the server for other clients.
    RM7UXport.HoldConnection = on;
    if (!on && !RM7UXport.IsOpen())
        RM7UXport.Release();
    if (!on) {
        RM7UXDisplayCommsErrorClear();
        ForgetRadio();
        // No longer "connection held".
        if (PortList != nullptr) {
            const QString text = PortList->DeviceText(RM7UXport.CommPort);
            Label_ComportState->setToolTip(text);
            Shape_ComportState->setToolTip(text);
        }
    }
    if (on)
        Timer_ReadRadio->start();
    else
        Timer_ReadRadio->stop();
    Panel_Normal->setEnabled(on);
    Panel_Advanced->setEnabled(on);
    PowerButton_M82KDModem->setEnabled(on);
}

void TMainForm::Timer_ReadRadioTimer() {
    if (CheckBox_Connect->isChecked())
        RM7UXLoadradioData();
}

void TMainForm::ShowCommsState(const QString& text, const QColor& textColour, const QColor& lamp) {
    Label_ComportState->setText(text);
    SetTextColour(Label_ComportState, QPalette::WindowText, textColour);
    Shape_ComportState->SetBrushColor(lamp);
    // Shown now, not after the exchange that is blocking the thread.
    Shape_ComportState->repaint();
    Label_ComportState->repaint();
    if (OnCommsStateText)
        OnCommsStateText(text);
}

void TMainForm::RM7UXDisplayCommsError(uint8_t code) {
    const QString text = QString::fromStdString(CommsStateText(code));
    switch (code) {
        case csPortNotAvailable: {
            ShowCommsState(text, Red, Red);
            // The lamp keeps its short text; why the port cannot be had is one hover away. The
            // reason looks through other processes' files, so it is worked out again only when
            // the failure differs from the last one, not on every tick.
            const PortFailure failure{RM7UXport.CommPort, RM7UXport.LastOpenPath(),
                                      RM7UXport.LastOpenError(), RM7UXport.LastOpenErrno(),
                                      RM7UXport.LastOpenProblem()};
            if (!(failure == lastPortFailure_) || Label_ComportState->toolTip().isEmpty()) {
                lastPortFailure_ = failure;
                // A device server says what kept it: the name, the connect, the server.
                const QString why = QString::fromStdString(
                    !failure.Problem.empty()
                        ? ComPortName(failure.Port) + ": " + failure.Problem
                        : DescribePortOpenFailure(ComPortName(failure.Port), failure.Path,
                                                  failure.Error, failure.Errno));
                Label_ComportState->setToolTip(why);
                Shape_ComportState->setToolTip(why);
            }
            EnableConsoleControls(false);
            break;
        }
        case csNoConnection:
        case csTimeOut:
        case csInvalidDevice:
            ShowCommsState(text, Red, Maroon);
            EnableConsoleControls(false);
            break;
        case csPortOpen:
            ShowCommsState(text, Olive, Yellow);
            break;
        case csConnected:
            ShowCommsState(text, Green, Lime);
            EnableConsoleControls(true);
            break;
        default:  // idle and unknown codes leave the display as it is
            break;
    }
    ShowPortTooltip(code);
    CommsState = code;
}

void TMainForm::RM7UXDisplayCommsErrorClear() {
    ShowCommsState("Inactive", System(QPalette::WindowText), System(QPalette::Window));
    EnableConsoleControls(false);
}

uint8_t TMainForm::RM7UXComsState() const {
    return CommsState;
}

void TMainForm::EnableConsoleControls(bool on) {
    if (on == ConsoleEnabled)
        return;
    // Recorded first so that a failing step leaves the state requested.
    ConsoleEnabled = on;
    // Disabling the focused control passes the focus on to the next, and so on down the panel:
    // none of that is the operator entering a control.
    UpdatingScope passingFocus(disablingConsole_);
    for (QWidget* parent :
         {static_cast<QWidget*>(Panel_Normal), static_cast<QWidget*>(Panel_Advanced),
          static_cast<QWidget*>(GroupBox_FrequencyStep)}) {
        for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->setEnabled(on);
    }
    PowerButton_TxOn->setEnabled(on);
    // The alignment view reads a radio: there is none to read until one has answered.
    if (Button_Alignment != nullptr)
        Button_Alignment->setEnabled(on);
    if (on) {
        // These two follow the radio, not the connection: the 5 kHz step only for an RM7UX, the
        // plan selector only when the last band read has plans.
        EnableFiveKHzStep();
        ComboBox_FreqBand->setEnabled(ComboBox_FreqBand->count() > 0 && PlanStart() >= 0);
    }
}

void TMainForm::ForgetRadio() {
    SerialNumber = -1;
    LastBandCode = -1;
    LastUnreadable = {};
    // The limits' texts decode by the radio's model and step: another radio may give the same
    // texts for other limits.
    RxLowHex.clear();
    RxHighHex.clear();
    TxLowHex.clear();
    TxHighHex.clear();
}

void TMainForm::SetChangesMadeState(bool value) {
    ChangesMade = value;
    QFont f = Button_WriteRadioSettings->font();
    f.setBold(value);
    Button_WriteRadioSettings->setFont(f);
    SetTextColour(Button_WriteRadioSettings, QPalette::ButtonText,
                  value ? Red : System(QPalette::ButtonText));
}

void TMainForm::ShowTransmitterOn(bool on) {
    TransmitterOn = on ? 1 : 0;
    PowerButton_TxOn->SetButtonDown(on);
    SetTextColour(PowerButton_TxOn, QPalette::WindowText, on ? Red : System(QPalette::WindowText));
}

bool TMainForm::RefusedWhileTransmitting(const std::string& process) {
    if (TransmitterOn == 0)
        return false;
    ShowPlainBox("The Transmitter must be turned OFF during the " + process);
    return true;
}

bool TMainForm::SameRadioOnCable(int64_t StartSerial) {
    // A window that has not read a radio in full has no number to compare with.
    if (StartSerial == -1 || ReadSerialNumber() == StartSerial)
        return true;
    // Closed before the box: refreshes run while it is open.
    CloseRadioPort();
    ShowErrorBox(kConnectionChangedText);
    return false;
}

PortClose::~PortClose() {
    CloseRadioPort();
}

void TMainForm::Edit_Enter(QObject* Sender) {
    EnteredControl = qobject_cast<QWidget*>(Sender);
    const auto* edit = qobject_cast<const QLineEdit*>(Sender);
    EnteredText = edit != nullptr ? edit->text() : QString();
}

bool TMainForm::TEditChangesMade(QObject* Sender) const {
    if (Sender != EnteredControl)
        return true;
    const auto* edit = qobject_cast<const QLineEdit*>(Sender);
    return edit != nullptr && edit->text() != EnteredText;
}

void TMainForm::Button_HelpClick() {
    ::Button_HelpClick();
}

void TMainForm::ShowException(const std::exception& e) {
    // The refresh timer keeps ticking while the box is open: one report, not a pile of them.
    if (showingException_)
        return;
    showingException_ = true;
    ShowErrorBox(e.what());
    showingException_ = false;
}

bool TMainForm::ExecuteFileDialog(TFileDialog& dialog) {
    if (FileDialogHook)
        return FileDialogHook(dialog);
    const QString filter = QtFilter(dialog.Filter);
    const QString start = QString::fromStdString(dialog.FileName);
    QString chosen = dialog.Save
                         ? QFileDialog::getSaveFileName(this, QString(), start, filter, nullptr,
                                                        QFileDialog::DontConfirmOverwrite)
                         : QFileDialog::getOpenFileName(this, QString(), start, filter);
    if (chosen.isEmpty())
        return false;
    // A name typed without an extension gets the default one, as the original dialogs did.
    if (dialog.Save && !dialog.DefaultExt.empty() && QFileInfo(chosen).suffix().isEmpty())
        chosen += "." + QString::fromStdString(dialog.DefaultExt);
    dialog.FileName = chosen.toStdString();
    return true;
}
