#pragma once
// TMainForm: the tool's one window. It owns the serial link, the remembered port, the flash
// record and the refresh timer; every exchange with the radio runs on its thread from an event
// handler or a timer tick.
//
// The operations are spread over several files, one per job, each section below names its file:
//   Main.cpp            construction, port choice, Connect, comms-state display, closing
//   MainRead.cpp        the periodic refresh and the full read of a radio
//   MainFrequency.cpp   frequency entry, step, band limits and country plans
//   MainAdjust.cpp      live adjustments, transmitter switch, save to flash, balloon hints
//   MainFile.cpp        save to file and program from file
//   Advanced.cpp        advanced mode and the modem button

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "console/Controls.h"
#include "history/HistoryEntries.h"
#include "link/VVCOMM2.h"
#include "operations/RadioOperations.h"

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
    QComboBox* ComboBox_PortNumber;
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
    QComboBox* ComboBox_FreqBand;
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

    // ---- Window state ----
    uint8_t TransmitterOn = 0;
    uint8_t CommsState = 0;
    bool ChangesMade = false;
    int64_t SerialNumber = -1;
    int32_t LastBandCode = -1;
    double BandwidthHz = -1;
    QString EnteredText;
    QWidget* EnteredControl = nullptr;
    std::unique_ptr<TRadioConfigRegistry> Registry;
    int32_t CutoutTemp = 0;
    int32_t PowerPollCount = 0;
    bool ConsoleEnabled = true;
    std::unique_ptr<TRM7UXFlashRecordClass> FlashRecord;
    bool AdvancedMode = false;
    bool AdvancedAll = false;
    bool Updating = false;
    uint8_t RadioModel = 0;  // 1 RM7UX, 0 RM7VX
    int32_t CutoutTempMinimum = 50;

    // Frequency and band state.
    double RxLow = 0, RxHigh = 0, TxLow = 0, TxHigh = 0;  // MHz
    std::string FrequencyStepCode;                        // "00" 6.25 kHz, "01" 5 kHz
    std::string RxFrequencyHex, TxFrequencyHex;           // last "PR", "PT" replies
    bool RxLowChanged = false, RxHighChanged = false;
    bool TxLowChanged = false, TxHighChanged = false;
    bool TxFreqChanged = true, RxFreqChanged = true;
    bool FreqStepChanged = false;
    int32_t BandCode = 0;                                  // last "PA" reply
    std::string RxLowHex, RxHighHex, TxLowHex, TxHighHex;  // last "P1".."P4" replies

    // Calibration texts shared by the full read and the scroll bar handlers ("PD", "PM", "PF").
    std::string DeviationHex, ModBalanceHex, RfOffsetHex;

    // The radio holds PP FF for a TX test on the operator's behalf: the time-out he had, to be
    // put back by TX OFF or by the full read that un-keys the radio; -1 when there is none.
    int OperatorPTTTimeout = -1;
    // Serial number of the radio keyed by the TX test.
    int64_t TxTestSerial = -1;
    // The radio last read in full, kept when the window forgets it: its unsaved changes stay
    // marked until another radio is read.
    int64_t KnownRadioSerial = -1;
    // The CTCSS tone and PTT time-out the radio holds (the operator's one during a TX test): a
    // box whose value did not reach the radio shows them again.
    int CtcssValue = 0;
    int PTTTimeoutValue = 60;
    // The plan selector's position as it stands for the radio; a refused choice returns to it.
    int FreqBandIndexShown = -1;
    // A reply that is not a number is reported once per radio until the window forgets the
    // radio, and a full read that met one is not repeated for it: every try keys and un-keys
    // the transmitter and would show the same box.
    struct UnreadableReply {
        int64_t Serial = -1;  // the radio that gave it
        std::string Report;   // what the box said
        bool InFullRead = false;
    };
    UnreadableReply LastUnreadable;
    // What an operation inside a refresh could not do, said once the port is closed.
    std::string OperationMessage;
    // The radio did not confirm a release the window asked for, and the technician was told.
    bool TransmitterDoubtSaid = false;
    // The radio and stage of the refresh under way, and the field whose reply is being read.
    int64_t RefreshSerial = -1;
    bool InFullRead = false;
    const char* ReadingField = nullptr;

    // ================= Main.cpp: lifecycle, port, Connect, comms state =================
    void FormCreate();
    void FormShow();
    // True when the window may close.
    bool FormClose();
    void FormDestroy();
    void FillPortList();
    void ApplyPortSelection();
    void ComboBox_PortNumberChange();
    void CheckBox_ConnectClick();
    void Timer_ReadRadioTimer();
    void RM7UXDisplayCommsError(uint8_t code);
    void RM7UXDisplayCommsErrorClear();
    uint8_t RM7UXComsState() const;
    void EnableConsoleControls(bool on);
    void ForgetRadio();
    void SetChangesMadeState(bool value);
    void Edit_Enter(QObject* Sender);
    bool TEditChangesMade(QObject* Sender) const;
    // The TX test ended by something other than TX OFF: button up, TransmitterOn 0.
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
    // The radio the window shows, as the operations take it.
    RadioIdentity ShownRadio() const;
    // What an operation left in the radio, shown: step, limits, frequencies, the unsaved mark.
    void TakeOperation(const OperationResult& Result);
    // The context the window's values are decoded in, for the history.
    SettingsContext HistoryContext() const;

    void GetFreqBands();
    // The plan selected in the list, applied to the radio on the open link; false when it was not
    // (OperationMessage then says why).
    bool SetFrequencyBands(ChangeRecorder* recorder);
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
    void ComboBox_FreqBandChange();
    // The step selection as the last run of RadioGroup_FreqStepClick left it; a declined change
    // returns to it.
    int StepIndexShown = 0;

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
    // The lamp's tooltip names the device; after a failure, also a program holding it.
    void ShowPortTooltip(uint8_t code);
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
        return Recorder(action, SerialNumber);
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
    // Frequency step change after the operator's Yes, in one exchange; false when nothing was
    // sent, the window's step and limits then as they were.
    bool ChangeFrequencyStep(int64_t StartSerial);
    // Within an open exchange: the step, limits and frequencies as the radio now holds them.
    void ReadBackFrequencies();
    // The plan selector set to the radio's limits, without writing anything.
    void SelectPlanOfLimits();
    void ShowCommsState(const QString& text, const QColor& textColour, const QColor& lamp);

    bool showingException_ = false;
    bool disablingConsole_ = false;
    // The last port that could not be opened, and why: its description is kept until it changes.
    struct PortFailure {
        uint32_t Port = 0;
        std::string Path;
        SerialOpenError Error = SerialOpenError::None;
        int Errno = 0;
        std::string Problem;  // a device server's, in plain words
        bool operator==(const PortFailure&) const = default;
    };
    PortFailure lastPortFailure_;
    // The port and failure code last looked at for other holders, and what was found.
    std::pair<uint32_t, uint8_t> heldPortChecked_{};
    QString heldPortText_;
};

// Closes the radio port however an exchange ends.
class PortClose {
  public:
    PortClose() = default;
    PortClose(const PortClose&) = delete;
    PortClose& operator=(const PortClose&) = delete;
    ~PortClose();
};
