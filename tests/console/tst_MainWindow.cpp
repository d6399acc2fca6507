// The main window's own behaviour: comms-state display and working controls, unsaved changes,
// closing prompts, the port list and its store, ConnectHide, advanced mode and the modem button.

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

#include "WindowFixture.h"
#include "common/Exception.h"
#include "config/Unit_Registry.h"
#include "console/Advanced.h"
#include "link/RM7UXcomms.h"
#include "platform/UserFolders.h"
#include "widgets/PowerButton.h"

namespace {

const QColor kRed(0xFF, 0, 0), kMaroon(0x80, 0, 0), kOlive(0x80, 0x80, 0), kYellow(0xFF, 0xFF, 0),
    kGreen(0, 0x80, 0), kLime(0, 0xFF, 0);

// The colour of a working control: a disabled one keeps the style's grey.
QColor TextColour(const QWidget* w, QPalette::ColorRole role = QPalette::WindowText) {
    return w->palette().color(QPalette::Active, role);
}

// A sample of the working controls: on both panels, in the step group, and the TX switch.
std::vector<QWidget*> WorkingControls(const TMainForm& f) {
    return {f.Edit_TXFreq,      f.Edit_PTTTimeout,    f.Button_WriteRadioSettings,
            f.ComboBox_RFLevel, f.RadioButton_FS6250, f.PowerButton_TxOn,
            f.ScrollBar_RfPwm,  f.Edit_CutoutTemp};
}

bool AllEnabled(const TMainForm& f, bool on) {
    for (QWidget* w : WorkingControls(f))
        if (w->isEnabled() != on)
            return false;
    return true;
}

void WriteStoredPort(int value) {
    TRegistry store;
    QVERIFY(store.OpenKey("\\Software\\KorvaTech\\CFG_RM7UX_Radio\\Serial", true));
    store.WriteInteger("CommPort", value);
}

int StoredPort() {
    TRadioConfigRegistry r;
    r.ReadSettings();
    return static_cast<int>(r.CommPort);
}

}  // namespace

class tst_MainWindow : public QObject, protected WindowFixture {
    Q_OBJECT

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    void startsDisconnectedInNormalMode() {
        TMainForm f;
        QCOMPARE(f.windowTitle(), QString("RM7VX / RM7UX Radio Config"));
        QCOMPARE(f.size(), QSize(364, 379));
        QVERIFY(f.Panel_Advanced->isHidden());
        QCOMPARE(f.Button_Advanced->text(), QString("Advanced"));
        QVERIFY(!f.CheckBox_Connect->isChecked());
        QVERIFY(!f.CheckBox_Connect->isHidden());
        QVERIFY(!f.Timer_ReadRadio->isActive());
        QCOMPARE(f.Timer_ReadRadio->interval(), 1000);
        QVERIFY(!f.PowerButton_M82KDModem->isEnabled());
        QVERIFY(!f.ConsoleEnabled());
        QVERIFY(AllEnabled(f, false));
        QVERIFY(!f.ComboBox_FreqBand->isEnabled());
        QVERIFY(f.Button_Help->isEnabled());
        QVERIFY(f.Label_VersionNO->text().startsWith("V 1."));
        QCOMPARE(f.SerialNumber(), int64_t{-1});
        QVERIFY(!f.Picture().Identified);
        QVERIFY(f.FlashRecord != nullptr);
        QCOMPARE(RM7UXLink(), &f.RM7UXport);
        QCOMPARE(f.RM7UXport.CommPort, 1u);
        // Every named control can be found by its name.
        for (const char* name : {"Label_Alarms", "Label_TxFreq", "PowerButton_TxOn",
                                 "ScrollBar_RfOffset", "BitBtn_WriteConfig", "RadioGroup_FreqStep"})
            QVERIFY2(f.findChild<QWidget*>(name) != nullptr, name);
    }

    void commsStateDisplay_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("textColour");
        QTest::addColumn<QColor>("lamp");
        QTest::addColumn<int>("enabled");  // with a radio read in full; -1: as before
        QTest::newRow("1") << 1 << "Not Available" << kRed << kRed << 0;
        QTest::newRow("2") << 2 << "No Connection" << kRed << kMaroon << 0;
        QTest::newRow("3") << 3 << "Time out" << kRed << kMaroon << 0;
        QTest::newRow("4") << 4 << "Invalid Device" << kRed << kMaroon << 0;
        QTest::newRow("5") << 5 << "Connect..." << kOlive << kYellow << -1;
        QTest::newRow("6") << 6 << "Connected" << kGreen << kLime << 1;
    }
    void commsStateDisplay() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(QColor, textColour);
        QFETCH(QColor, lamp);
        QFETCH(int, enabled);
        for (bool read : {false, true}) {
            TMainForm& f = Attach();
            if (read)
                Tick();
            const bool before = f.ConsoleEnabled();
            QCOMPARE(before, read);
            QStringList reported;
            f.OnCommsStateText = [&](const QString& t) { reported << t; };
            f.RM7UXDisplayCommsError(static_cast<uint8_t>(code));
            QCOMPARE(f.RM7UXComsState(), code);
            QCOMPARE(f.Label_ComportState->text(), text);
            QCOMPARE(TextColour(f.Label_ComportState), textColour);
            QCOMPARE(f.Shape_ComportState->BrushColor(), lamp);
            QCOMPARE(reported, QStringList{text});
            // Without a radio read in full nothing works, whatever the lamp says.
            const bool expected = read && (enabled < 0 ? before : enabled == 1);
            QVERIFY(AllEnabled(f, expected));
            QCOMPARE(f.ConsoleEnabled(), expected);
        }
    }

    void idleAndUnknownCodesOnlyRecordTheCode() {
        TMainForm& f = Attach();
        Tick();
        f.RM7UXDisplayCommsError(6);
        for (int code : {0, 7, 255}) {
            f.RM7UXDisplayCommsError(static_cast<uint8_t>(code));
            QCOMPARE(f.RM7UXComsState(), code);
            QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
            QCOMPARE(f.Shape_ComportState->BrushColor(), kLime);
            QVERIFY(AllEnabled(f, true));
        }
    }

    void connectAndDisconnect() {
        TMainForm& f = Attach();
        f.CheckBox_Connect->click();
        QVERIFY(f.Timer_ReadRadio->isActive());
        QVERIFY(f.PowerButton_M82KDModem->isEnabled());
        Tick();
        QCOMPARE(f.SerialNumber(), int64_t{12345678});
        QVERIFY(AllEnabled(f, true));
        f.CheckBox_Connect->click();
        QCOMPARE(f.Label_ComportState->text(), QString("Inactive"));
        QCOMPARE(TextColour(f.Label_ComportState),
                 QApplication::palette().color(QPalette::WindowText));
        QVERIFY(AllEnabled(f, false));
        // Forgotten: nothing of it is shown any more.
        QCOMPARE(f.SerialNumber(), int64_t{-1});
        QVERIFY(f.Label_SerialNO->text().isEmpty());
        QVERIFY(f.Label_TxFreq->text().isEmpty());
        QVERIFY(!f.Timer_ReadRadio->isActive());
        QVERIFY(!f.Panel_Normal->isEnabled());
        QVERIFY(!f.Panel_Advanced->isEnabled());
        QVERIFY(!f.PowerButton_M82KDModem->isEnabled());
        QVERIFY(f.Button_Advanced->isEnabled());
    }

    void changesMadeStyle() {
        TMainForm f;
        QCOMPARE(TextColour(f.Button_WriteRadioSettings, QPalette::ButtonText), kRed);
        QVERIFY(!f.Button_WriteRadioSettings->font().bold());
        f.SetChangesMadeState(true);
        QVERIFY(f.ChangesMade());
        QCOMPARE(TextColour(f.Button_WriteRadioSettings, QPalette::ButtonText), kRed);
        QVERIFY(f.Button_WriteRadioSettings->font().bold());
        f.SetChangesMadeState(false);
        QVERIFY(!f.ChangesMade());
        QCOMPARE(TextColour(f.Button_WriteRadioSettings, QPalette::ButtonText),
                 QApplication::palette().color(QPalette::ButtonText));
        QVERIFY(!f.Button_WriteRadioSettings->font().bold());
    }

    void enteredEditsAreRemembered() {
        TMainForm f;
        f.Edit_PTTTimeout->setText("60");
        QFocusEvent tabIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(f.Edit_PTTTimeout, &tabIn);
        QVERIFY(!f.TEditChangesMade(f.Edit_PTTTimeout));
        QVERIFY(f.TEditChangesMade(f.Edit_CutoutTemp));
        f.Edit_PTTTimeout->setText("61");
        QVERIFY(f.TEditChangesMade(f.Edit_PTTTimeout));
        // Returning from another window does not enter the edit again.
        QFocusEvent windowIn(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(f.Edit_PTTTimeout, &windowIn);
        QVERIFY(f.TEditChangesMade(f.Edit_PTTTimeout));
        QApplication::sendEvent(f.Edit_CutoutTemp, &tabIn);
        QVERIFY(!f.TEditChangesMade(f.Edit_CutoutTemp));
        QVERIFY(f.TEditChangesMade(f.Edit_PTTTimeout));
    }

    void closePrompts_data() {
        QTest::addColumn<int>("transmitterOn");
        QTest::addColumn<bool>("changesMade");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<bool>("closes");
        const QString tx =
            "Exiting while transmitter is ON may cause loss of PTT time out Value\r\n\r\n";
        const QString unsaved =
            "Changes have not been Saved to Flash.\r\n\r\nPress OK to exit without saving.";
        const int ok = int(MsgResult::OK), cancel = int(MsgResult::Cancel),
                  none = int(MsgResult::None);
        QTest::newRow("nothing to ask") << 0 << false << ok << "" << true;
        QTest::newRow("unsaved, OK") << 0 << true << ok << unsaved << true;
        QTest::newRow("unsaved, Cancel") << 0 << true << cancel << unsaved << false;
        QTest::newRow("unsaved, closed") << 0 << true << none << unsaved << false;
        QTest::newRow("transmitting, Cancel")
            << 1 << false << cancel << tx + "Press OK to exit." << false;
        QTest::newRow("transmitting, OK") << 1 << false << ok << tx + "Press OK to exit." << true;
        QTest::newRow("transmitting and unsaved")
            << 1 << true << ok
            << tx + "Changes have not been saved to flash!\r\n\r\nPress OK to exit." << true;
    }
    void closePrompts() {
        QFETCH(int, transmitterOn);
        QFETCH(bool, changesMade);
        QFETCH(int, answer);
        QFETCH(QString, prompt);
        QFETCH(bool, closes);
        TMainForm& f = Attach();
        f.show();
        f.CheckBox_Connect->click();
        Tick();
        if (transmitterOn != 0)
            f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), transmitterOn);
        f.SetChangesMadeState(changesMade);
        dialogs_->Shown.clear();
        dialogs_->Answers = {static_cast<MsgResult>(answer)};
        QCOMPARE(f.close(), closes);
        if (prompt.isEmpty()) {
            QVERIFY(dialogs_->Shown.empty());
        } else {
            QCOMPARE(dialogs_->Shown.size(), size_t{1});
            QCOMPARE(QString::fromStdString(dialogs_->Shown[0].Text), prompt);
            QCOMPARE(dialogs_->Shown[0].Type, MsgType::Warning);
            QCOMPARE(dialogs_->Shown[0].Buttons, MsgButtons::OKCancel);
        }
        QCOMPARE(f.isVisible(), !closes);
        // Cancel keeps the refresh running; a close leaves it stopped.
        QCOMPARE(f.Timer_ReadRadio->isActive(), !closes);
        QCOMPARE(f.TransmitterOn(), transmitterOn);
    }

    void portListAndStore_data() {
        // Nothing stored at all (the first start) is tst_Ports' firstStartShowsWhereARadioCouldBe.
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("selected");
        QTest::newRow("0") << 0 << 1;
        QTest::newRow("7") << 7 << 7;
        QTest::newRow("256") << 256 << 256;
        QTest::newRow("300") << 300 << 1;
    }
    void portListAndStore() {
        QFETCH(int, stored);
        QFETCH(int, selected);
        if (stored >= 0)
            WriteStoredPort(stored);
        TMainForm f;
        QCOMPARE(f.ComboBox_PortNumber->count(), 256);
        QCOMPARE(f.ComboBox_PortNumber->itemText(0), QString("1"));
        QCOMPARE(f.ComboBox_PortNumber->itemText(255), QString("256"));
        QCOMPARE(f.ComboBox_PortNumber->currentIndex(), selected - 1);
        QCOMPARE(f.RM7UXport.CommPort, uint32_t(selected));
        // The choice is written back at every start.
        QCOMPARE(StoredPort(), selected);

        // Browsing the closed list chooses nothing; picking from the open list does.
        f.ComboBox_PortNumber->setFocus();
        QTest::keyClick(f.ComboBox_PortNumber, Qt::Key_Down);
        QCOMPARE(f.RM7UXport.CommPort, uint32_t(selected));
        QVERIFY(!f.CheckBox_Connect->isChecked());
        PickFromList(f.ComboBox_PortNumber, 41);
        QCOMPARE(f.RM7UXport.CommPort, 42u);
        QCOMPARE(StoredPort(), 42);
        // A port the technician chooses is connected to.
        QVERIFY(f.CheckBox_Connect->isChecked());
    }

    void connectHideConnectsByItself_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("YES") << "YES" << true;
        QTest::newRow("yes") << "yes" << true;
        QTest::newRow("NO") << "NO" << false;
        QTest::newRow("absent") << "" << false;
    }
    void connectHideConnectsByItself() {
        QFETCH(QString, value);
        QFETCH(bool, hidden);
        std::string ini = "[Timer]\r\nInterval=2500\r\n";
        if (!value.isEmpty())
            ini += "ConnectHide=" + value.toStdString() + "\r\n";
        WriteSettingsFile(ini);
        TMainForm f;
        QCOMPARE(f.CheckBox_Connect->isHidden(), hidden);
        QCOMPARE(f.CheckBox_Connect->isChecked(), hidden);
        QCOMPARE(f.Timer_ReadRadio->isActive(), hidden);
        QCOMPARE(f.Timer_ReadRadio->interval(), 2500);
        QCOMPARE(f.PowerButton_M82KDModem->isEnabled(), hidden);
        // Connected or not, the working controls wait for a radio.
        QVERIFY(AllEnabled(f, false));
    }

    void minimumCutoutFromSettings() {
        WriteSettingsFile("[LIMITS]\r\nMIN_CUTOUT_TEMP=60\r\n");
        TMainForm f;
        QCOMPARE(f.CutoutTempMinimum(), 60);
        QCoreApplication::processEvents();
        QVERIFY(dialogs_->Shown.empty());
    }

    // A settings file too large to read: the defaults, and the technician told once.
    void hugeSettingsFileIsSaidOnce() {
        WriteSettingsFile("[LIMITS]\r\nMIN_CUTOUT_TEMP=60\r\n" + std::string(2 << 20, ';'));
        TMainForm f;
        QCOMPARE(f.CutoutTempMinimum(), 50);
        QTRY_COMPARE(dialogs_->Shown.size(), size_t{1});
        QVERIFY(dialogs_->Shown[0].Text.find("larger than 1 MB") != std::string::npos);
    }

    // A port that cannot be had, and a radio that stops answering, through the command layer
    // the window registered itself with.
    void linkFailuresShowAndDisable() {
        TMainForm& f = Attach();
        Tick();
        QVERIFY(OpenRadioPort());
        QVERIFY(EnsureRadioIdentified());
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QVERIFY(AllEnabled(f, true));
        CloseRadioPort();
        QCOMPARE(f.RM7UXComsState(), 0);
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));

        radio_->SetFaults({.Silent = true});
        QVERIFY(OpenRadioPort());
        QVERIFY(!EnsureRadioIdentified());
        QVERIFY(f.Label_ComportState->text() == "No Connection" ||
                f.Label_ComportState->text() == "Time out");
        QVERIFY(AllEnabled(f, false));
        CloseRadioPort();

        // COM200 does not exist.
        f.ComboBox_PortNumber->setCurrentIndex(199);
        f.ApplyPortSelection();
        QVERIFY(!OpenRadioPort());
        QCOMPARE(f.Label_ComportState->text(), QString("Not Available"));
        QCOMPARE(f.Shape_ComportState->BrushColor(), kRed);
        // Why it is not available is on the lamp's tooltip, and goes once the port answers.
        QVERIFY2(f.Label_ComportState->toolTip().contains("COM200"),
                 qPrintable(f.Label_ComportState->toolTip()));
        QVERIFY(AllEnabled(f, false));
        QVERIFY(f.isEnabled());
        QVERIFY(f.CheckBox_Connect->isEnabled());
        QVERIFY(f.ComboBox_PortNumber->isEnabled());
    }

    void escapedErrorsShowOneBoxAtATime() {
        TMainForm f;
        // A box that is still open when the next error arrives (a timer tick meanwhile).
        struct Nesting : ScriptedDialogs {
            TMainForm* form = nullptr;
            MsgResult Show(MsgType type, const std::string& title, const std::string& text,
                           MsgButtons buttons) override {
                if (Shown.empty())
                    form->ShowException(std::runtime_error("second"));
                return ScriptedDialogs::Show(type, title, text, buttons);
            }
        } nesting;
        nesting.form = &f;
        f.ShowException(EConvertError("'XX' is not a valid integer value"));
        QCOMPARE(nesting.Texts(), std::vector<std::string>{"'XX' is not a valid integer value"});
        QCOMPARE(nesting.Shown[0].Type, MsgType::Error);
        f.ShowException(std::runtime_error("later"));
        QCOMPARE(nesting.Shown.size(), size_t{2});
    }

    // ---- Advanced mode ----

    void passwords_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<bool>("all");
        QTest::newRow("first") << "tidewater" << true << false;
        QTest::newRow("second") << "tidewaterall" << true << true;
        QTest::newRow("upper case") << "TIDEWATER" << false << false;
        QTest::newRow("blank after") << "tidewater " << false << false;
        QTest::newRow("empty") << "" << false << false;
    }
    void passwords() {
        QFETCH(QString, typed);
        QFETCH(bool, advanced);
        QFETCH(bool, all);
        TMainForm f;
        TForm_Password password(&f);
        f.Form_Password = &password;
        f.SetAdvancedMode(false, true);  // a wrong password takes the second level away
        bool stayedOpen = false;
        QTimer::singleShot(0, &password, [&] {
            password.Edit_Password->setText(typed);
            password.Button_OK->click();
            stayedOpen = password.isVisible();
            if (stayedOpen)
                password.Button_Cancel->click();
        });
        f.Button_Advanced->click();
        QCOMPARE(f.AdvancedMode(), advanced);
        QCOMPARE(f.AdvancedAll(), all);
        QCOMPARE(stayedOpen, !advanced);
        QCOMPARE(dialogs_->Texts(), advanced ? std::vector<std::string>{}
                                             : std::vector<std::string>{"Incorrect Password"});
        QCOMPARE(f.height(), advanced ? 567 : 379);
        QCOMPARE(f.Button_Advanced->text(), QString(advanced ? "Normal" : "Advanced"));
        QCOMPARE(f.Panel_Advanced->isHidden(), !advanced);
        if (advanced) {
            QCOMPARE(f.BitBtn_SaveConfig->isHidden(), !all);
            QCOMPARE(f.BitBtn_WriteConfig->isHidden(), !all);
        }
        QCOMPARE(password.windowTitle(), QString("Advanced Access"));
        QCOMPARE(password.Edit_Password->echoMode(), QLineEdit::Password);
    }

    void advancedLevelsAndEscape() {
        TMainForm f;
        TForm_Password password(&f);
        f.Form_Password = &password;
        auto enter = [&](const QString& text) {
            QTimer::singleShot(0, &password, [&password, text] {
                password.Edit_Password->setText(text);
                password.Button_OK->click();
            });
            f.Button_Advanced->click();
        };
        enter("tidewaterall");
        QVERIFY(!f.BitBtn_WriteConfig->isHidden());
        f.Button_Advanced->click();  // back to normal: no password asked
        QVERIFY(!f.AdvancedMode());
        QVERIFY(f.AdvancedAll());  // kept, but not visible
        QCOMPARE(f.height(), 379);
        QVERIFY(f.Panel_Advanced->isHidden());
        enter("tidewater");
        QCOMPARE(f.height(), 567);
        QVERIFY(f.BitBtn_SaveConfig->isHidden());
        QVERIFY(f.BitBtn_WriteConfig->isHidden());
        f.Button_Advanced->click();

        // The text typed last is there again; Escape leaves the mode normal.
        QString shown;
        QTimer::singleShot(0, &password, [&] {
            shown = password.Edit_Password->text();
            QTest::keyClick(&password, Qt::Key_Escape);
        });
        f.Button_Advanced->click();
        QCOMPARE(shown, QString("tidewater"));
        QVERIFY(!f.AdvancedMode());
        QCOMPARE(f.height(), 379);
        QCOMPARE(f.Button_Advanced->text(), QString("Advanced"));
    }

    // ---- The modem button ----

    void modemButtonEntersAndLeavesConfigMode() {
        TMainForm& f = Attach(EmulatorOptions{.Modem = true});
        RadioEmulator& modem = *radio_;
        f.PowerButton_M82KDModem->setEnabled(true);
        f.Timer_ReadRadio->start(60000);
        bool disabledDuring = true, timerStoppedDuring = true;
        int waits = 0;
        f.RM7UXport.ProcessMessages = [&] {
            ++waits;
            disabledDuring = disabledDuring && !f.isEnabled();
            timerStoppedDuring = timerStoppedDuring && !f.Timer_ReadRadio->isActive();
        };

        f.PowerButton_M82KDModem->Toggle();
        QVERIFY(waits > 0);
        QVERIFY(disabledDuring);
        QVERIFY(timerStoppedDuring);
        QVERIFY(f.isEnabled());
        QVERIFY(f.Timer_ReadRadio->isActive());
        QVERIFY(f.PowerButton_M82KDModem->ButtonDown());
        QVERIFY(modem.ModemInRadioMode());
        const auto events = modem.EventTexts();
        QVERIFY(std::find(events.begin(), events.end(), "password TIDEWAter") != events.end());
        QVERIFY(dialogs_->Shown.empty());

        modem.ClearEvents();
        f.PowerButton_M82KDModem->Toggle();
        QVERIFY(!f.PowerButton_M82KDModem->ButtonDown());
        QVERIFY(!modem.ModemInRadioMode());
        QVERIFY(modem.WaitForEvent("etx"));
        QVERIFY(f.isEnabled());
        QVERIFY(f.Timer_ReadRadio->isActive());
    }

    void modemButtonWithRadioAnsweringDirectly_data() {
        QTest::addColumn<bool>("portWorks");
        QTest::newRow("radio answering") << true;
        QTest::newRow("port missing") << false;
    }
    void modemButtonWithRadioAnsweringDirectly() {
        QFETCH(bool, portWorks);
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        f.ComboBox_PortNumber->setCurrentIndex(portWorks ? int(radio.ComPort()) - 1 : 199);
        f.ApplyPortSelection();
        f.Timer_ReadRadio->start(60000);
        // With a radio read directly nothing is sent; with none, entering fails on the port.
        if (portWorks)
            f.RM7UXLoadradioData();
        radio.ClearEvents();
        f.PowerButton_M82KDModem->Toggle();
        QVERIFY(radio.EventTexts().empty());
        QVERIFY(f.PowerButton_M82KDModem->ButtonDown());
        QVERIFY(f.isEnabled());
        QVERIFY(f.Timer_ReadRadio->isActive());
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_MainWindow.moc"
