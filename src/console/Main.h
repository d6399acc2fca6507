#pragma once
// TMainForm: the tool's one window. It owns the serial link, the remembered port, the flash
// record and the refresh timer; every exchange with the radio runs on its thread from an event
// handler or a timer tick.
//
// The operations are spread over several files, one per job, each section below names its file:
//   Main.cpp            construction, port choice, Connect, comms-state display, closing
//   MainDraw.cpp        the one place that puts the window's state into its controls
//   MainRead.cpp        the periodic refresh and the full read of a radio
//   MainFrequency.cpp   frequency entry, step, band limits and country plans
//   MainAdjust.cpp      live adjustments, transmitter switch, save to flash, balloon hints
//   MainFile.cpp        save to file and program from file
//   Advanced.cpp        advanced mode and the modem button

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "console/Controls.h"
#include "history/HistoryEntries.h"
#include "link/VVCOMM2.h"
#include "operations/RadioOperations.h"
#include "operations/RadioPicture.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSpinBox;
class QTimer;
class TForm_BubbleHint;
class TForm_Password;
class TPowerButton;
class TRM7UXFlashRecordClass;
class TRadioConfigRegistry;
class ChangeHistory;
class ChangeRecorder;
class OperationJournal;
class TAlignmentView;

// What the window keeps of a file dialog between showings; the dialog itself is shown by
// TMainForm::ExecuteFileDialog.
struct TFileDialog {
    bool Save = false;       // a save dialog (else an open dialog)
    std::string DefaultExt;  // without the dot, added to a name typed without extension
    std::string Filter;      // "RM7VX|*.RM7VX|RM7UX|*.RM7UX": pairs of description and pattern
    std::string FileName;    // the chosen path after a successful showing
};
// Shows a file dialog; true with dialog.FileName set, false when the operator cancelled.
using TFileDialogHook = std::function<bool(TFileDialog& dialog)>;

class TPortList;

class TMainForm : public QWidget {
    Q_OBJECT
  public:
    // The settings folder (SetSettingsFolder) must be set before construction.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // ---- Controls: head and link row ----
    QLabel* Image2;
    QLabel* Label14;
    QLabel* Label13;
    QLabel* Label_VersionNO;
    QPushButton* Button_Help;
    QLabel* Label41;
    TChoiceList* ComboBox_PortNumber;
    QCheckBox* CheckBox_Connect;
    TShape* Shape_ComportState;
    QLabel* Label_ComportState;
    TPowerButton* PowerButton_M82KDModem;
    QPushButton* Button_Advanced;
    TRadioGroup* RadioGroup_FreqStep;  // never visible

    // ---- Controls: Panel_Normal ----
    QFrame* Panel_Normal;
    QLabel* Label_VersionString;
    QLabel* Label_SerialNO;
    QLabel* Label_HWVer;
    QLabel* Label_Temp;
    QLabel* Label_RawRSSI;
    QLabel* Label_Alarms;
    QLabel* Label_TxFreq;
    QLabel* Label_RxFreq;
    QPushButton* BitBtn_TxFreqCopy;  // Tag 1
    QPushButton* BitBtn_RxFreqCopy;  // Tag 2
    QLineEdit* Edit_TXFreq;          // Tag 1
    QLineEdit* Edit_RXFreq;          // Tag 2
    QLabel* Label_TXLow;
    QLabel* Label_TxHigh;
    QLabel* Label_RxLow;
    QLabel* Label_RxHigh;
    QLabel* Label_Bandwidth;
    QGroupBox* GroupBox_FrequencyStep;
    QRadioButton* RadioButton_FS6250;  // Tag 0
    QRadioButton* RadioButton_FS5000;  // Tag 1
    QPushButton* Button_WriteRadioSettings;
    QLineEdit* Edit_PTTTimeout;
    QSpinBox* SpinEdit_CTCSS;
    QComboBox* ComboBox_RFLevel;
    TPowerButton* PowerButton_TxOn;

    // ---- Controls: Panel_Advanced ----
    QFrame* Panel_Advanced;
    QScrollBar* ScrollBar_Deviation;
    QLabel* Label_DevLev;
    QScrollBar* ScrollBar_ModBalance;
    QLabel* Label_ModLev;
    QScrollBar* ScrollBar_RfPwm;
    QLabel* Label_PwLev;
    QScrollBar* ScrollBar_RfOffset;
    QLabel* Label_OsLev;
    QLineEdit* Edit_CutoutTemp;
    QLabel* Label_FreqBand;
    TChoiceList* ComboBox_FreqBand;
    QPushButton* BitBtn_SaveConfig;
    QPushButton* BitBtn_WriteConfig;

    // ---- Non-visual ----
    QMenu* PopupMenu_TxFreqCopy;
    QAction* MenuItem_TxFreqCopy;
    QMenu* PopupMenu_RxFreqCopy;
    QAction* MenuItem_RxFreqCopy;
    QMenu* PopupMenu_SendFrequencyStep;
    QAction* pm_Send;
    QTimer* Timer_ReadRadio;
    TVVComm2 RM7UXport;
    TFileDialog SaveDialog;
    TFileDialog OpenDialog;
    // Replaces the real file dialog (tests); empty means QFileDialog.
    TFileDialogHook FileDialogHook;
    // Created after the window at program start and handed over; not owned.
    QPointer<TForm_Password> Form_Password;
    QPointer<TForm_BubbleHint> Form_BubbleHint;
    // Told every text the comms-state label takes (the --report option prints them).
    std::function<void(const QString& text)> OnCommsStateText;
    // The flash record that Save To File and Program From File move.
    std::unique_ptr<TRM7UXFlashRecordClass> FlashRecord;

    // ---- What the window knows, read only: the controls are drawn from it ----
    const RadioPicture& Picture() const { return picture_; }
    uint8_t TransmitterOn() const { return picture_.Transmitting ? 1 : 0; }
    bool ChangesMade() const { return picture_.Unsaved; }
    // The radio read in full; -1 when there is none.
    int64_t SerialNumber() const { return picture_.ReadInFull ? picture_.Serial : -1; }
    uint8_t RadioModel() const { return static_cast<uint8_t>(picture_.Model); }
    bool Updating() const { return state_.Updating; }
    bool AdvancedMode() const { return state_.AdvancedMode; }
    bool AdvancedAll() const { return state_.AdvancedAll; }
    int32_t CutoutTempMinimum() const { return state_.CutoutTempMinimum; }
    bool ConsoleEnabled() const { return state_.ConsoleEnabled; }

    // ================= MainDraw.cpp =================
    // Puts the window's state and the radio's picture into the controls: every label, value,
    // selection, colour and enabled state. The only place that writes them, apart from the
    // text the operator types into an edit box (and its snap, clamp and copy).
    void Draw();

    // ================= Main.cpp: lifecycle, port, Connect, comms state =================
    void FormCreate();
    void FormShow();
    // True when the window may close.
    bool FormClose();
    void FormDestroy();
    void FillPortList();
    void ApplyPortSelection();
    // The link and the remembered port set to COM `number`.
    void ApplyPort(int number);
    void ComboBox_PortNumberChange();
    // A port chosen by the technician (the open list, "Find the radio", --port): Connect is
    // ticked and the radio read as Connect reads it.
    void ChoosePort(int number);
    void CheckBox_ConnectClick();
    // Connect ticked or unticked by the window (a port chosen, --connect, ConnectHide).
    void SetConnect(bool on);
    void Timer_ReadRadioTimer();
    void RM7UXDisplayCommsError(uint8_t code);
    void RM7UXDisplayCommsErrorClear();
    uint8_t RM7UXComsState() const;
    void EnableConsoleControls(bool on);
    void ForgetRadio();
    void SetChangesMadeState(bool value);
    void SetAdvancedMode(bool on, bool all);
    void Edit_Enter(QObject* Sender);
    bool TEditChangesMade(QObject* Sender) const;
    // The TX test ended by something other than TX OFF.
    void ShowTransmitterOn(bool on);
    // True, after the plain refusal box, while the transmitter is on; `process` completes
    // "The Transmitter must be turned OFF during the ...".
    bool RefusedWhileTransmitting(const std::string& process);
    // In an open, identified exchange: false, with the port closed and the error box shown, when
    // the radio on the cable is not the one with StartSerial (swapped while a question was open).
    bool SameRadioOnCable(int64_t StartSerial);
    void Button_HelpClick();
    // The size the layout needs, at least the designed width: the client height is the bottom
    // of the last visible panel plus 10 pixels.
    void FitClientHeight();
    // Shows `dialog` through FileDialogHook or QFileDialog.
    bool ExecuteFileDialog(TFileDialog& dialog);
    // An error that escaped a handler: shown with its own text, as the original toolkit did.
    // One box at a time; further errors while it is open are dropped.
    void ShowException(const std::exception& e);

    // ================= MainRead.cpp: reading and showing the radio =================
    void RM7UXLoadradioData();
    // Tells the technician once when the radio did not confirm that a read released it.
    void SayIfTransmitterMayBeOn();
    bool LoadRadioData();
    void RM7UX_UpdateStatus();
    void SetRadioAlarms(const std::string& Reply);
    bool PollPowerWhileTransmitting();
    // The report on a reply that is not a number, naming the field read last.
    std::string UnreadableReplyText(const std::exception& e) const;

    // ================= MainFrequency.cpp: frequencies, step, bands and plans =================
    void RM7UXSetChannelSpacing();
    void RM7UXDisplayRxFrequency();
    void RM7UXDisplayTxFrequency();
    void EnableFiveKHzStep();
    double SetToNearestValidFrequency(QLineEdit* Edit, bool& Changed);
    void TxFrequencyLoad(double& Frequency);
    void RXFrequencyLoad(double& Frequency);
    void SetTXFreq();
    void SetRXFreq();
    double FrequencyUserInit(QLineEdit* Edit, QLabel* Label, double Low, double High,
                             bool& Changed);
    double TxFrequencyUserInit();
    double RxFrequencyUserInit();
    // True when the frequency reached the radio.
    bool TXFrequenciesWrite(double Frequency);
    bool RXFrequenciesWrite(double Frequency);
    bool WriteValue(const std::string& Command, const std::string& Value);
    // WriteValue that first makes sure the radio is still the one with StartSerial.
    bool WriteValueToSameRadio(const std::string& Command, const std::string& Value,
                               int64_t StartSerial);
    void CopyCurrentFrequency(QLabel* Label, QLineEdit* Edit);
    // What an operation left in the radio, taken into the picture and drawn.
    void TakeOperation(const OperationResult& Result);
    // The context the radio's values are decoded in, for the history.
    SettingsContext HistoryContext() const;
    // Within a full read: the band limits and band code, and the read's plan correction.
    void GetFreqBands();
    // The plan in the selector's row `position` applied to the radio on the open link; false
    // when it was not (OperationMessage then says why).
    bool SetFrequencyBands(int position, ChangeRecorder* recorder);
    // Handlers. Key handlers get the character (Enter is 13); setting it to 0 swallows it.
    void Edit_TXFreqKeyPress(QObject* Sender, char& Key);
    void Edit_RXFreqKeyPress(QObject* Sender, char& Key);
    void Edit_TXFreqExit();
    void Edit_RXFreqExit();
    void MenuItem_TxFreqCopyClick();
    void MenuItem_RxFreqCopyClick();
    void BitBtn_XxFreqCopyClick(QObject* Sender);
    void RadioGroup_FreqStepClick();
    void RadioButton_FSxxxxClick(QObject* Sender);
    // Key is 13 for Enter and 32 for Space; other keys arrive as their Qt key code.
    void RadioButton_FSxxxxKeyDown(QObject* Sender, int Key);
    void GroupBox_FrequencyStepClick();
    void pm_SendClick();
    // A plan chosen from the open list: asked, then applied.
    void ComboBox_FreqBandChange();

    // ================= MainAdjust.cpp: live adjustments and flash save =================
    void PowerButton_TxOnClick(TPowerButton* Sender);
    void PowerButton_TxOnBeforeClick(TPowerButton* Sender, bool& CancelAction);
    void PowerButton_TxOnEnter(TPowerButton* Sender);
    void ComboBox_RFLevelChange();
    void ScrollBar_RfPwmChange();
    void ScrollBar_DeviationChange();
    void ScrollBar_ModBalanceChange();
    void ScrollBar_RfOffsetChange();
    void ScrollBar_DeviationEnter();
    void ScrollBar_ModBalanceEnter();
    void ScrollBar_RfOffsetEnter();
    void Edit_PTTTimeoutKeyPress(QObject* Sender, char& Key);
    void Edit_PTTTimeoutExit();
    void Edit_CutoutTempKeyPress(QObject* Sender, char& Key);
    void Edit_CutoutTempExit();
    void SpinEdit_CTCSSChange();
    void Button_WriteRadioSettingsClick();
    void SetPTT();
    void SetCutOutTemp();
    void SetValidPTTTimeOut();
    // True when it showed the low-temperature warning.
    bool SetValidTemp();
    // A signal ends the program: a TX test is ended as TX OFF ends it. False when the radio did
    // not confirm the release.
    bool ReleaseOnSignal();
    void ShowModemHint();
    void HintBeforeTransmit(QWidget* Sender);
    void HintIfModem();

    // ================= MainFile.cpp: save to file and program from file =================
    void BitBtn_SaveConfigClick();
    void BitBtn_WriteConfigClick();
    // False (after the error box) when SerialNumber is no longer StartSerial.
    bool ConnectionUnchanged(int64_t StartSerial);

    // ================= MainPorts.cpp: ports present, holders, pinning, finding the radio
    // Marks of the ports present in the list, its menu (right-click) and hot-plug.
    TPortList* PortList = nullptr;
    QAction* MenuItem_KeepCable = nullptr;
    QAction* MenuItem_FindRadio = nullptr;
    void SetupPortList();
    // Another program has the chosen port open: Connect is unticked, code 1 shown with the
    // holder named. False when nobody else holds it.
    bool RefuseHeldPort();
    void MenuItem_KeepCableClick();
    void MenuItem_FindRadioClick();
    // ================= MainHistory.cpp: the history of changes, its view, the alignment view
    QPushButton* Button_Alignment = nullptr;
    QPushButton* Button_History = nullptr;
    std::unique_ptr<ChangeHistory> History;
    QPointer<TAlignmentView> AlignmentView;
    void SetupHistory();
    // What an action of the window changes in the radio with `serial` goes into the history
    // through this, under `action` ("adjust", "step", "plan", "read correction", ...).
    std::unique_ptr<ChangeRecorder> Recorder(const std::string& action, int64_t serial);
    std::unique_ptr<ChangeRecorder> Recorder(const std::string& action) {
        return Recorder(action, picture_.Serial);
    }
    // A history that could not be written is said once, after the exchange.
    void SayHistoryWarning(ChangeRecorder& recorder);
    void Button_AlignmentClick();
    void Button_HistoryClick();
    // ================= MainJournal.cpp: what earlier runs left unfinished
    // The journal of operations in flight, and the watch that journals a read's keying.
    std::unique_ptr<OperationJournal> Journal;
    std::unique_ptr<TransmitterKeyingWatch> KeyingWatch;
    void SetupJournal();
    // The port as the journal names it ("COM7").
    std::string JournalPort() const;
    // The operations unfinished on the radio with `serial`, or on this port without a serial.
    std::vector<JournalState> UnfinishedOnRadio(int64_t serial);
    // In the refresh's open, identified exchange, for a radio not shown before: a transmitter an
    // earlier run left keyed is released at once; the rest is asked once the port is closed.
    void NoticeUnfinishedOperations(int64_t serial);
    // Says what was in flight and asks for each offer (save, reset, the modem back to AT mode).
    void AskAboutUnfinished(int64_t serial);
    // Save to Flash and the step change ask first over an unfinished operation: false when the
    // technician declines.
    bool ConfirmOverUnfinished(const std::string& process);
    // The unfinished operations of the radio with `serial`, as History lists them.
    std::vector<HistoryEntry> UnfinishedEntries(int64_t serial);
    // Entries told in this run; those still to tell, with what was done about them at once.
    std::set<std::string> UnfinishedTold;
    std::vector<std::pair<JournalState, std::string>> UnfinishedToTell;
    bool AskingUnfinished = false;
    // ================= Advanced.cpp: advanced mode and the modem button =================
    void Button_AdvancedClick();
    void DisplayAdvancedModeState();
    void PowerButton_M82KDModemBeforeClick(TPowerButton* Sender, bool& CancelAction);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Focus, key and mouse events of the controls whose handlers Qt has no signal for.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void ConnectHandlers();
    void SetHelpContexts();
    bool FilterControlEvent(QObject* watched, QEvent* event);
    // Frequency step change after the operator's Yes, in one exchange; false when the radio's
    // step did not change.
    bool ChangeFrequencyStep(int64_t StartSerial, const std::string& step);
    // The selector's row of the plan the radio's limits are on its grid: 0 (the band's whole
    // range) when they are none, -1 while the band has no plans or is not known.
    int RadioPlanPosition() const;
    // Within an open exchange: the step, limits and frequencies as the radio now holds them.
    void ReadBackFrequencies();
    // The lamp's tooltip: the device, and after a failure what may be the cause.
    QString PortTooltip(uint8_t code);
    // A control drawn again from the state at the next Draw, whatever it showed.
    void Redraw(const void* control) { drawn_.erase(control); }
    // Every control drawn again: after an action, whatever the operator moved shows the radio.
    void RedrawAll() { drawn_.clear(); }
    // Whether `control` shows something else than `value`; remembered as shown.
    bool Due(const void* control, const QVariant& value);
    void DrawLamp();
    void DrawRadio();
    void DrawFrequencies();
    void DrawBandList();

    // The radio as the window knows it.
    RadioPicture picture_;
    // The window's own state.
    struct WindowState {
        uint8_t CommsState = 0;
        // The last code shown on the lamp ("Inactive" is none), its tooltip.
        std::optional<uint8_t> Lamp;
        QString LampTip;
        bool LinkUp = false;  // the last identification succeeded
        bool ConsoleEnabled = true;
        bool Connect = false;
        // Both panels and the modem button: as designed until Connect is first unticked.
        bool PanelsEnabled = true;
        int Port = 1;
        bool ModemDown = false;
        bool Updating = false;
        QString EnteredText;
        QWidget* EnteredControl = nullptr;
        int32_t CutoutTempMinimum = 50;
        int32_t PowerPollCount = 0;
        bool AdvancedMode = false;
        bool AdvancedAll = false;
        // The operator's frequencies not yet sent (a box left while the radio was away).
        bool TxFreqChanged = true, RxFreqChanged = true;
        // A reply that is not a number is reported once per radio, and the full read that met
        // it is not repeated for that radio until the window forgets it: every try keys and
        // un-keys the transmitter and would show the same box.
        struct UnreadableReply {
            int64_t Serial = -1;
            std::string Report;
            bool InFullRead = false;
        } LastUnreadable;
        // The radio did not confirm a release the window asked for, and the technician was told.
        bool TransmitterDoubtSaid = false;
        // The radio and stage of the refresh under way, and the field whose reply is read.
        int64_t RefreshSerial = -1;
        bool InFullRead = false;
        const char* ReadingField = nullptr;
        // What an operation inside a refresh could not do, said once the port is closed.
        std::string OperationMessage;
        // The step question is open: the selection is the operator's until it is answered.
        bool AskingStep = false;
        // A plan applied: both frequency boxes show its centre at the next Draw.
        std::optional<double> PlanCentre;
    } state_;
    std::unique_ptr<TRadioConfigRegistry> Registry;
    // What each control shows, as Draw last put it there; the radio the frequency boxes were
    // typed for.
    std::map<const void*, QVariant> drawn_;
    int drawnGeneration_ = 0;
    int drawnRadio_ = 0;

    bool showingException_ = false;
    bool disablingConsole_ = false;
    // The last port that could not be opened, and why: its description is kept until it changes.
    struct PortFailure {
        uint32_t Port = 0;
        std::string Path;
        SerialOpenError Error = SerialOpenError::None;
        int Errno = 0;
        std::string Problem;
        bool operator==(const PortFailure&) const = default;
    };
    PortFailure lastPortFailure_;
    QString portFailureText_;
    // The port and failure code last looked at for other holders, and what was found.
    std::pair<uint32_t, uint8_t> heldPortChecked_{};
    QString heldPortText_;

    friend class TForm_Password;
};

// Closes the radio port however an exchange ends.
class PortClose {
  public:
    PortClose() = default;
    PortClose(const PortClose&) = delete;
    PortClose& operator=(const PortClose&) = delete;
    ~PortClose();
};
