// The main window: construction, port choice, the Connect switch and refresh timer, the
// comms-state lamp, the working controls, unsaved changes and the prompts on closing.

#include "console/Main.h"

#include <QAbstractItemView>
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
#include <type_traits>

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

// Calls `handler` with a signal's arguments, or with none when it takes none.
template <typename F, typename... Args>
void CallWithWhatItTakes(const F& handler, const Args&... args) {
    if constexpr (std::is_invocable_v<const F&, const Args&...>)
        handler(args...);
    else
        handler();
}

// A handler for a signal: an error escaping it is shown, not left to end the program.
template <typename F>
auto Guarded(TMainForm* form, F handler) {
    return [form, handler](auto... args) {
        try {
            CallWithWhatItTakes(handler, args...);
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
    // A port picked from the open list is a choice; Up and Down on the closed list only browse.
    connect(ComboBox_PortNumber, &TChoiceList::Chosen, this,
            Guarded(this, [this](int index) { ChoosePort(index + 1); }));
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
    connect(ComboBox_FreqBand, &TChoiceList::Chosen, this,
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
             GroupBox_FrequencyStep, ComboBox_PortNumber, ComboBox_FreqBand})
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
            // Left without a choice: the list shows the port applied, the radio's plan.
            if (watched == ComboBox_PortNumber || watched == ComboBox_FreqBand) {
                Redraw(watched);
                Redraw(ComboBox_FreqBand->view());
                Draw();
                break;
            }
            if (auto* w = qobject_cast<QWidget*>(watched); w != nullptr && !w->isEnabled()) {
                // What was typed and not sent goes: the box shows the value it had again, not
                // one the radio never got.
                if (isEdit && watched == state_.EnteredControl && TEditChangesMade(watched))
                    static_cast<QLineEdit*>(watched)->setText(state_.EnteredText);
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
    ApplyPort(index + 1);
    Panel_Normal->setFrameShape(QFrame::NoFrame);
    Panel_Advanced->setFrameShape(QFrame::NoFrame);
    RegisterRM7UXComms(
        &RM7UXport, [this](uint8_t code) { RM7UXDisplayCommsError(code); },
        [this] { return RM7UXComsState(); });
    state_.EnteredControl = nullptr;
    SetupApplicationHelp(this);
    RM7UXport.SetTimeouts(0, 100, 200, 0, 0);
    ForgetRadio();
    LoadSettings();
    LoadDevelopmentSettings();
    Button_Help->setEnabled(true);
    Button_Help->setVisible(true);

    picture_.Transmitting = false;
    picture_.Unsaved = false;
    state_.AdvancedMode = false;
    state_.AdvancedAll = false;

    Label_VersionNO->setText("V " + QString::fromStdString(GetVersionText()));
    state_.CommsState = 0;
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
    state_.CutoutTempMinimum = ProgramSettings.MinCutoutTemp;
    FlashRecord = std::make_unique<TRM7UXFlashRecordClass>();
    SetupHistory();
    // The caption stays as designed (red, not bold) until the first change of the mark.
    drawn_[Button_WriteRadioSettings] = false;
    Draw();
    // A hidden box means the window connects by itself.
    if (hide)
        SetConnect(true);
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
    if (TransmitterOn() == 1) {
        prompt = "Exiting while transmitter is ON may cause loss of PTT time out Value\r\n";
        prompt += "\r\n";
        if (ChangesMade())
            prompt += std::string("Changes have not been saved to flash!") + "\r\n\r\n";
        prompt += "Press OK to exit.";
    } else if (ChangesMade()) {
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
    ApplyPort(ComboBox_PortNumber->currentIndex() + 1);
}

void TMainForm::ApplyPort(int number) {
    state_.Port = number;
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
    if (state_.Connect)
        RefuseHeldPort();
}

void TMainForm::ChoosePort(int number) {
    if (number < 1 || number > kNumberOfPorts)
        return;
    const bool another = number != static_cast<int>(RM7UXport.CommPort);
    state_.Port = number;
    Redraw(ComboBox_PortNumber);
    Draw();
    ComboBox_PortNumberChange();
    // Another port, another radio: read afresh, as Connect reads one.
    if (another)
        ForgetRadio();
    if (!state_.Connect)
        SetConnect(true);
}

void TMainForm::CheckBox_ConnectClick() {
    // The box itself when the operator clicked it; the state when the window ticked it.
    if (sender() == CheckBox_Connect)
        state_.Connect = CheckBox_Connect->isChecked();
    Redraw(CheckBox_Connect);
    if (state_.Connect && RefuseHeldPort())
        return;
    const bool on = state_.Connect;
    // A device server's connection is held while connected, so a refresh does not connect and
    // negotiate anew every tick; unticking frees the server for other clients.
    RM7UXport.HoldConnection = on;
    if (!on && !RM7UXport.IsOpen())
        RM7UXport.Release();
    if (!on) {
        RM7UXDisplayCommsErrorClear();
        ForgetRadio();
        // Disconnected: nothing of the radio is shown any more.
        picture_.Forget();
        // No longer "connection held".
        if (PortList != nullptr)
            state_.LampTip = PortList->DeviceText(RM7UXport.CommPort);
    }
    if (on)
        Timer_ReadRadio->start();
    else
        Timer_ReadRadio->stop();
    state_.PanelsEnabled = on;
    Draw();
}

void TMainForm::SetConnect(bool on) {
    state_.Connect = on;
    CheckBox_ConnectClick();
}

void TMainForm::Timer_ReadRadioTimer() {
    if (state_.Connect)
        RM7UXLoadradioData();
}

void TMainForm::RM7UXDisplayCommsError(uint8_t code) {
    if (code >= csPortNotAvailable && code <= csConnected) {
        state_.Lamp = code;
        if (code != csPortOpen)
            state_.LinkUp = code == csConnected;
        state_.LampTip = PortTooltip(code);
        if (OnCommsStateText)
            OnCommsStateText(QString::fromStdString(CommsStateText(code)));
    }
    state_.CommsState = code;
    Draw();
}

void TMainForm::RM7UXDisplayCommsErrorClear() {
    state_.Lamp.reset();
    state_.LinkUp = false;
    if (OnCommsStateText)
        OnCommsStateText("Inactive");
    Draw();
}

uint8_t TMainForm::RM7UXComsState() const {
    return state_.CommsState;
}

void TMainForm::EnableConsoleControls(bool on) {
    state_.LinkUp = on;
    Draw();
}

void TMainForm::ForgetRadio() {
    // Read in full again when it next answers; its values stay until another radio answers.
    picture_.ReadInFull = false;
    state_.LastUnreadable = {};
}

void TMainForm::SetChangesMadeState(bool value) {
    picture_.Unsaved = value;
    if (value)
        picture_.UnsavedSerial = picture_.Serial;
    Draw();
}

void TMainForm::SetAdvancedMode(bool on, bool all) {
    state_.AdvancedMode = on;
    state_.AdvancedAll = all;
    Draw();
}

void TMainForm::ShowTransmitterOn(bool on) {
    picture_.Transmitting = on;
    if (!on)
        picture_.OperatorPTT = -1;
    Draw();
}

bool TMainForm::RefusedWhileTransmitting(const std::string& process) {
    if (TransmitterOn() == 0)
        return false;
    ShowPlainBox("The Transmitter must be turned OFF during the " + process);
    return true;
}

bool TMainForm::SameRadioOnCable(int64_t StartSerial) {
    // Only a radio the window has read in full is written to.
    if (StartSerial == -1 || !picture_.ReadInFull || picture_.Serial != StartSerial)
        return false;
    if (ReadSerialNumber() == StartSerial)
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
    state_.EnteredControl = qobject_cast<QWidget*>(Sender);
    const auto* edit = qobject_cast<const QLineEdit*>(Sender);
    state_.EnteredText = edit != nullptr ? edit->text() : QString();
}

bool TMainForm::TEditChangesMade(QObject* Sender) const {
    if (Sender != state_.EnteredControl)
        return true;
    const auto* edit = qobject_cast<const QLineEdit*>(Sender);
    return edit != nullptr && edit->text() != state_.EnteredText;
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
