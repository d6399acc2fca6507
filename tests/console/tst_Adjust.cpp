// Live adjustments against the emulated radio: what the radio saw for the PTT time-out, the
// cut-out temperature, CTCSS, power level and calibration bars, the transmitter switch and the
// save to flash, and the balloon hints that go with them.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <memory>

#include "WindowFixture.h"
#include "link/RM7UXcomms.h"
#include "widgets/FormBubbleHint.h"
#include "widgets/PowerButton.h"

namespace {

// `wanted` appear in `events` in this order, others may come between.
bool InOrder(const Texts& events, const Texts& wanted) {
    auto at = events.begin();
    for (const std::string& w : wanted) {
        at = std::find(at, events.end(), w);
        if (at == events.end())
            return false;
        ++at;
    }
    return true;
}

// Counts the times a widget is shown.
class ShowCounter : public QObject {
  public:
    int Count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show)
            ++Count;
        return false;
    }
};

}  // namespace

class tst_Adjust : public QObject, protected WindowFixture {
    Q_OBJECT

  private:
    // The window on a started radio it has read in full; events cleared.
    TMainForm& Plugged(const RadioPersonality& radio = RadioPersonality::RM7UH()) {
        TMainForm& f = Attach(radio);
        f.RM7UXLoadradioData();
        radio_->ClearEvents();
        dialogs_->Shown.clear();
        return f;
    }
    // A refresh that reads the radio in full again: it fills the window and sends nothing.
    void ReadAgain(TMainForm& f) {
        f.ForgetRadio();
        radio_->ClearEvents();
        f.RM7UXLoadradioData();
        QVERIFY(Changes(*radio_).empty());
        radio_->ClearEvents();
    }
    // What the radio was sent that changes it, the transmitter switch included.
    Texts Sent() const { return Changes(*radio_, true); }

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    // ---- PTT time-out ----

    void pttTimeoutEnter_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("sent");
        QTest::newRow("too large") << "300"
                                   << "60"
                                   << "3C";
        QTest::newRow("not a number") << "abc"
                                      << "60"
                                      << "3C";
        QTest::newRow("negative") << "-1"
                                  << "60"
                                  << "3C";
        QTest::newRow("largest") << "255"
                                 << "255"
                                 << "FF";
        QTest::newRow("zero") << "0"
                              << "0"
                              << "00";
    }
    void pttTimeoutEnter() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, sent);
        TMainForm& f = Plugged();
        f.Edit_PTTTimeout->setText(typed);
        QTest::keyClick(f.Edit_PTTTimeout, Qt::Key_Return);
        QCOMPARE(f.Edit_PTTTimeout->text(), shown);
        QCOMPARE(Sent(), Texts{"write PP " + sent.toStdString()});
        QVERIFY(f.ChangesMade());
        // Enter makes the new text the remembered one: leaving now sends nothing more.
        QVERIFY(!f.TEditChangesMade(f.Edit_PTTTimeout));
        f.Edit_PTTTimeoutExit();
        QCOMPARE(Sent().size(), size_t{1});
        QVERIFY(dialogs_->Shown.empty());
    }

    // Leaving an edit sends only when its text changed since it was entered; Enter always sends.
    void leavingAnUnchangedEditSendsNothing() {
        TMainForm& f = Plugged();
        QCOMPARE(f.Edit_CutoutTemp->text(), QString("65"));
        f.Edit_Enter(f.Edit_PTTTimeout);
        f.Edit_PTTTimeoutExit();
        f.Edit_Enter(f.Edit_CutoutTemp);
        f.Edit_CutoutTempExit();
        QVERIFY(radio_->EventTexts().empty());

        f.Edit_Enter(f.Edit_PTTTimeout);
        f.Edit_PTTTimeout->setText("30");
        f.Edit_PTTTimeoutExit();
        QCOMPARE(Sent(), Texts{"write PP 1E"});
        radio_->ClearEvents();
        QTest::keyClick(f.Edit_CutoutTemp, Qt::Key_Return);
        QCOMPARE(Sent(), Texts{"write PS 69"});
    }

    // ---- Cut-out temperature ----

    void cutoutTemperature_data() {
        QTest::addColumn<QString>("settings");  // settings file, empty for none
        QTest::addColumn<int>("before");        // CutoutTemp before
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("warning");
        const QString min60 = "[LIMITS]\r\nMIN_CUTOUT_TEMP=60\r\n";
        const QString below50 =
            "The selected temperature is below the recommended temperature "
            "of 50 Degrees C";
        QTest::newRow("not a number") << "" << 65 << "abc"
                                      << "-40"
                                      << "00" << below50;
        QTest::newRow("below the minimum") << "" << 65 << "45"
                                           << "45"
                                           << "55" << below50;
        QTest::newRow("low and as before") << "" << 45 << "45"
                                           << "45"
                                           << "55"
                                           << "";
        QTest::newRow("highest") << "" << 65 << "215"
                                 << "215"
                                 << "FF"
                                 << "";
        QTest::newRow("above") << "" << 65 << "300"
                               << "215"
                               << "FF"
                               << "";
        QTest::newRow("settings raise") << min60 << 65 << "55"
                                        << "60"
                                        << "64"
                                        << "";
        QTest::newRow("settings, text") << min60 << 65 << "abc"
                                        << "60"
                                        << "64"
                                        << "";
        QTest::newRow("settings, above") << min60 << 65 << "70"
                                         << "70"
                                         << "6E"
                                         << "";
    }
    void cutoutTemperature() {
        QFETCH(QString, settings);
        QFETCH(int, before);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, sent);
        QFETCH(QString, warning);
        if (!settings.isEmpty())
            WriteSettingsFile(settings.toStdString());
        TMainForm& f = Plugged();
        if (before != 65) {
            // A cut-out set low before, with the warning then.
            f.Edit_Enter(f.Edit_CutoutTemp);
            f.Edit_CutoutTemp->setText(QString::number(before));
            f.Edit_CutoutTempExit();
            QCOMPARE(int(radio_->Field("PS")) - 40, before);
            radio_->ClearEvents();
            dialogs_->Shown.clear();
        }
        f.Edit_Enter(f.Edit_CutoutTemp);
        f.Edit_CutoutTemp->setText(typed);
        // Enter sends whatever the box held before.
        QTest::keyClick(f.Edit_CutoutTemp, Qt::Key_Return);
        QCOMPARE(f.Edit_CutoutTemp->text(), shown);
        QCOMPARE(int(radio_->Field("PS")) - 40, shown.toInt());
        QCOMPARE(Sent(), Texts{"write PS " + sent.toStdString()});
        if (warning.isEmpty()) {
            QVERIFY(dialogs_->Shown.empty());
        } else {
            QCOMPARE(dialogs_->Shown.size(), size_t{1});
            QCOMPARE(dialogs_->Shown[0].Type, MsgType::Warning);
            QCOMPARE(QString::fromStdString(dialogs_->Shown[0].Text), warning);
        }
    }

    // ---- CTCSS, power level, calibration ----

    void ctcssSendsUnlessUpdating() {
        TMainForm& f = Plugged(With({{"SC", 5}}));
        QCOMPARE(f.SpinEdit_CTCSS->value(), 5);
        f.SpinEdit_CTCSS->setValue(12);
        QCOMPARE(Sent(), Texts{"write SC 0C"});
        QCOMPARE(radio_->Field("SC"), 12u);
    }

    // The level chosen decides which of the four calibration values the bar shows and edits.
    void powerLevelAndItsCalibration() {
        TMainForm& f = Plugged();
        radio_->SetField("PL2", 0x56);
        f.ComboBox_RFLevel->setCurrentIndex(2);
        f.ComboBox_RFLevelChange();
        QVERIFY(InOrder(radio_->EventTexts(), {"write PW 02", "read PL2"}));
        QCOMPARE(f.ScrollBar_RfPwm->value(), 0x56);
        QCOMPARE(f.Label_PwLev->text(), QString("86"));
        QCOMPARE(radio_->Field("PW"), 2u);
        QCOMPARE(radio_->Field("PL2"), 0x56u);
        QVERIFY(f.ChangesMade());

        radio_->ClearEvents();
        const uint32_t otherLevel = radio_->Field("PL1");
        f.ScrollBar_RfPwm->setValue(0x40);
        QCOMPARE(Sent(), Texts{"write PL2 40"});
        QCOMPARE(f.Label_PwLev->text(), QString("64"));
        QCOMPARE(radio_->Field("PL2"), 0x40u);
        QCOMPARE(radio_->Field("PL1"), otherLevel);

        // Filled from the radio: nothing sent back.
        radio_->SetField("PL2", 0x41);
        ReadAgain(f);
        QCOMPARE(f.ScrollBar_RfPwm->value(), 0x41);
    }

    void calibrationBars_data() {
        QTest::addColumn<QString>("bar");
        QTest::addColumn<QString>("command");
        QTest::newRow("deviation") << "ScrollBar_Deviation"
                                   << "PD";
        QTest::newRow("modulation balance") << "ScrollBar_ModBalance"
                                            << "PM";
        QTest::newRow("RF offset") << "ScrollBar_RfOffset"
                                   << "PF";
    }
    void calibrationBars() {
        QFETCH(QString, bar);
        QFETCH(QString, command);
        TMainForm& f = Plugged();
        struct Row {
            QScrollBar* Bar;
            QLabel* Label;
        };
        const Row row = command == "PD"   ? Row{f.ScrollBar_Deviation, f.Label_DevLev}
                        : command == "PM" ? Row{f.ScrollBar_ModBalance, f.Label_ModLev}
                                          : Row{f.ScrollBar_RfOffset, f.Label_OsLev};
        QCOMPARE(row.Bar->objectName(), bar);
        const std::string cmd = command.toStdString();

        row.Bar->setValue(0x21);
        QCOMPARE(Sent(), Texts{"write " + cmd + " 21"});
        QVERIFY(InOrder(radio_->EventTexts(), {"write " + cmd + " 21", "read " + cmd}));
        QCOMPARE(row.Label->text(), QString("33"));
        QCOMPARE(radio_->Field(cmd), 0x21u);
        QVERIFY(f.ChangesMade());
        QVERIFY(!f.Updating());

        // Filling the window from the radio sends nothing.
        radio_->SetField(cmd, 0x30);
        ReadAgain(f);
        QCOMPARE(row.Bar->value(), 0x30);
        QCOMPARE(row.Label->text(), QString("48"));

        // A radio that no longer answers: nothing taken, and the bar shows what the radio holds.
        radio_->SetFaults({.Silent = true});
        f.SetChangesMadeState(false);
        row.Bar->setValue(0x40);
        QCOMPARE(row.Bar->value(), 0x30);
        QCOMPARE(row.Label->text(), QString("48"));
        QVERIFY(!f.ChangesMade());
        QCOMPARE(radio_->Field(cmd), 0x30u);
    }

    // ---- Transmitter switch ----

    void transmitterOnAndOff() {
        TMainForm& f = Plugged();
        // A time-out typed and never sent is not the radio's: TX OFF puts back the radio's own.
        f.Edit_PTTTimeout->setText("45");
        radio_->SetField("PP", 0x2D);

        f.PowerButton_TxOn->Toggle();
        QVERIFY(InOrder(radio_->EventTexts(), {"rv", "write PP FF", "tx on"}));
        QCOMPARE(Sent(), (Texts{"write PP FF", "tx on"}));
        QVERIFY(radio_->Transmitting());
        // The command layer knows too: an end of the program warns of a keyed radio.
        QVERIFY(TransmitterMayBeOn());
        QCOMPARE(f.TransmitterOn(), 1);
        QVERIFY(f.PowerButton_TxOn->ButtonDown());
        QCOMPARE(f.PowerButton_TxOn->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));

        radio_->ClearEvents();
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(Sent(), (Texts{"write PP 2D", "tx off"}));
        QVERIFY(!radio_->Transmitting());
        QVERIFY(!TransmitterMayBeOn());
        QCOMPARE(radio_->Field("PP"), 45u);
        QCOMPARE(f.TransmitterOn(), 0);
        QVERIFY(!f.PowerButton_TxOn->ButtonDown());
        QCOMPARE(f.PowerButton_TxOn->palette().color(QPalette::WindowText),
                 QApplication::palette().color(QPalette::WindowText));
        QVERIFY(dialogs_->Shown.empty());
    }

    void transmitterOffWhenTheRadioStopsAnswering() {
        TMainForm& f = Plugged();
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), 1);

        radio_->SetFaults({.Silent = true});
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QCOMPARE(dialogs_->Shown[0].Type, MsgType::Error);
        QCOMPARE(dialogs_->Shown[0].Text, std::string("Could Not turn TX Off"));
        QVERIFY(f.PowerButton_TxOn->ButtonDown());
        QCOMPARE(f.PowerButton_TxOn->palette().color(QPalette::Active, QPalette::WindowText),
                 QColor(0xFF, 0, 0));
        QCOMPARE(f.TransmitterOn(), 1);
        QVERIFY(radio_->Transmitting());
    }

    // Without a port the switch goes back to where it was, both ways; a radio that does not
    // answer switching on is left off without a word.
    void transmitterSwitchWithoutARadio() {
        TMainForm& f = Plugged();
        radio_->SetFaults({.Silent = true});
        f.PowerButton_TxOn->Toggle();
        QVERIFY(!f.PowerButton_TxOn->ButtonDown());
        QCOMPARE(f.TransmitterOn(), 0);

        f.ComboBox_PortNumber->setCurrentIndex(199);  // COM200 does not exist
        f.ApplyPortSelection();
        f.PowerButton_TxOn->Toggle();
        QVERIFY(!f.PowerButton_TxOn->ButtonDown());
        QCOMPARE(f.TransmitterOn(), 0);
        // Keyed while the radio was there, then the port gone: the switch stays down.
        f.ComboBox_PortNumber->setCurrentIndex(int(radio_->ComPort()) - 1);
        f.ApplyPortSelection();
        radio_->SetFaults({});
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), 1);
        f.ComboBox_PortNumber->setCurrentIndex(199);
        f.ApplyPortSelection();
        f.PowerButton_TxOn->Toggle();
        QVERIFY(f.PowerButton_TxOn->ButtonDown());
        QCOMPARE(f.TransmitterOn(), 1);
        QVERIFY(dialogs_->Shown.empty());
    }

    // ---- Save to flash ----

    void saveToFlash() {
        TMainForm& f = Plugged();
        radio_->SetField("PP", 30);
        f.SetChangesMadeState(true);
        f.Button_WriteRadioSettingsClick();
        QCOMPARE(Sent(), (Texts{"ee", "flash"}));
        QCOMPARE(radio_->FlashField("PP"), 30u);
        QVERIFY(!f.ChangesMade());
    }

    // An "EE" that goes unconfirmed stops the save; it is sent once more, and then the save is
    // not shown as done: flash may hold either.
    void saveToFlashUnconfirmed() {
        TMainForm& f = Plugged();
        radio_->SetField("PP", 30);
        RadioFaults lost;
        lost.LoseEchoOf = "EE";
        radio_->SetFaults(lost);
        f.SetChangesMadeState(true);
        f.Button_WriteRadioSettingsClick();
        QCOMPARE(Sent(), (Texts{"ee", "ee"}));
        QVERIFY(f.ChangesMade());
        QCOMPARE(dialogs_->Texts(),
                 Texts{"save to flash: the radio did not confirm the save to flash (sent twice): "
                       "its flash may hold either the old or the new settings. Save to flash "
                       "again."});
        // The port is closed before the box: a refresh may run while it is open.
        QVERIFY(!f.RM7UXport.IsOpen());
    }

    void saveToFlashRefusedWhileTransmitting() {
        TMainForm& f = Plugged();
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), 1);
        radio_->ClearEvents();
        dialogs_->Shown.clear();
        f.SetChangesMadeState(true);
        f.Button_WriteRadioSettings->click();
        QVERIFY(radio_->EventTexts().empty());
        QVERIFY(f.ChangesMade());
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QCOMPARE(dialogs_->Shown[0].Type, MsgType::Plain);
        QCOMPARE(dialogs_->Shown[0].Title, std::string());
        QCOMPARE(dialogs_->Shown[0].Buttons, MsgButtons::OK);
        QCOMPARE(dialogs_->Shown[0].Text,
                 std::string("The Transmitter must be turned OFF during the write radio process"));
    }

    // ---- Balloon hints ----

    void modemBalloonOnceWhileShowing() {
        TMainForm& f = Plugged();
        TForm_BubbleHint hint(nullptr, [] { return true; });
        ShowCounter shows;
        hint.installEventFilter(&shows);
        f.Form_BubbleHint = &hint;
        f.show();

        // Modem up: the calibration bars say nothing.
        f.ScrollBar_Deviation->setValue(10);
        QVERIFY(!hint.isVisible());

        // Modem down (a radio read directly: nothing is sent to a modem).
        f.PowerButton_M82KDModem->Toggle();
        QVERIFY(f.PowerButton_M82KDModem->ButtonDown());
        f.ScrollBar_Deviation->setValue(11);
        QVERIFY(hint.isVisible());
        QCOMPARE(hint.Label_Hint->text(),
                 QString("It is best to use the M82KD configuration utility to calibrate M82KD "
                         "modems"));
        QCOMPARE(hint.Label_Hint->size(), QSize(189, 48));
        QCOMPARE(hint.y(), f.PowerButton_TxOn->mapToGlobal(QPoint(0, 0)).y());
        f.ScrollBar_ModBalance->setValue(12);
        f.ScrollBar_RfOffsetEnter();
        QCOMPARE(shows.Count, 1);
        // The balloon does not stop the value going to the radio.
        QCOMPARE(radio_->Field("PM"), 12u);

        // Once it has gone, the next move shows it again.
        hint.hide();
        f.ScrollBar_RfOffset->setValue(13);
        QCOMPARE(shows.Count, 2);
        // The transmitter switch has nothing to say while the modem is down.
        hint.hide();
        f.PowerButton_TxOnEnter(f.PowerButton_TxOn);
        QCOMPARE(shows.Count, 2);
    }

    void toneReversalBalloonBeforeTransmitting() {
        TMainForm& f = Plugged();
        TForm_BubbleHint hint(nullptr, [] { return true; });
        f.Form_BubbleHint = &hint;
        f.show();

        f.ScrollBar_DeviationEnter();
        QVERIFY(!hint.isVisible());
        f.PowerButton_TxOnEnter(f.PowerButton_TxOn);
        QVERIFY(hint.isVisible());
        QCOMPARE(hint.Label_Hint->text(),
                 QString("It is necessary to put the Radio into tone reversal mode.\n\nSee "
                         "help for details"));
        QCOMPARE(hint.Label_Hint->size(), QSize(189, 80));
        // The switch still works with the balloon up.
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), 1);
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), 0);
    }

    void losingTheRadioRaisesNoBalloon() {
        TMainForm& f = Plugged();
        TForm_BubbleHint hint(nullptr, [] { return true; });
        f.Form_BubbleHint = &hint;
        f.show();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.EnableConsoleControls(true);
        // The focus on the control just before the switch: disabling passes it on to the switch.
        f.ComboBox_RFLevel->setFocus();
        QTRY_VERIFY(f.ComboBox_RFLevel->hasFocus());
        QCoreApplication::processEvents();
        hint.hide();
        f.RM7UXDisplayCommsError(2);  // "No Connection": the working controls go grey
        QVERIFY(!f.ComboBox_RFLevel->isEnabled());
        QVERIFY(!hint.isVisible());
    }
};

QTEST_MAIN(tst_Adjust)
#include "tst_Adjust.moc"
