// The window never changes the radio behind the technician's back: the TX test, the step change,
// the full read's own writes, stray input and repeated reports, through the real link against
// the emulated radio. Each scenario checks what the radio holds as well as what the window shows.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

#include "WindowFixture.h"
#include "config/SerialGuard.h"
#include "console/Advanced.h"
#include "widgets/PowerButton.h"

namespace {

void Wheel(QWidget* w) {
    QWheelEvent e(QPointF(4, 4), w->mapToGlobal(QPointF(4, 4)), QPoint(), QPoint(0, -120),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

std::string Refusal(const std::string& process) {
    return "The Transmitter must be turned OFF during the " + process;
}

}  // namespace

class tst_Integrity : public QObject, protected WindowFixture {
    Q_OBJECT

  private:
    // Shown and read in full; events cleared.
    TMainForm& Known(const RadioPersonality& radio = RadioPersonality::RM7UH()) {
        TMainForm& f = Attach(radio);
        f.show();
        Tick();
        radio_->ClearEvents();
        return f;
    }
    // The radio, TransmitterOn and the button agree.
    bool Keyed(const TMainForm& f, bool on) const {
        return radio_->Transmitting() == on && f.TransmitterOn() == (on ? 1 : 0) &&
               f.PowerButton_TxOn->ButtonDown() == on;
    }

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    // The transmitter, the button and TransmitterOn agree whatever ends the test, and nothing
    // stores the test's PTT time-out of 255 s.
    void transmitterTest() {
        TMainForm& f = Known();
        f.PowerButton_TxOn->Toggle();
        QVERIFY(Keyed(f, true));
        radio_->ClearEvents();
        dialogs_->Answers = {MsgResult::Yes};
        f.RadioButton_FS5000->click();
        f.ComboBox_FreqBand->setCurrentIndex(2);
        f.ComboBox_FreqBandChange();
        f.BitBtn_SaveConfigClick();
        f.BitBtn_WriteConfigClick();
        QCOMPARE(dialogs_->Texts(),
                 (Texts{Refusal("frequency step change"), Refusal("country/band change"),
                        Refusal("save to file process"), Refusal("program from file process")}));
        QVERIFY(radio_->EventTexts().empty());
        QCOMPARE(f.RadioGroup_FreqStep->ItemIndex(), 0);
        QCOMPARE(f.ComboBox_FreqBand->currentIndex(), 0);

        // One tick unanswered: the full read that follows un-keys the radio.
        radio_->SetFaults({.Silent = true});
        Tick();
        radio_->SetFaults({});
        Tick();
        QVERIFY(Keyed(f, false));
        QCOMPARE(radio_->Field("PP"), 60u);
        QCOMPARE(f.Edit_PTTTimeout->text(), QString("60"));

        // A status reply that is no number: reported, the port closed, and the button as the
        // radio is, both ways.
        dialogs_->Shown.clear();
        radio_->SetFaults({.GarbageField = "RT"});
        f.PowerButton_TxOn->Toggle();
        QVERIFY(Keyed(f, false));
        radio_->SetFaults({});
        f.PowerButton_TxOn->Toggle();
        QVERIFY(Keyed(f, true));
        radio_->SetFaults({.GarbageField = "RT"});
        f.PowerButton_TxOn->Toggle();
        QVERIFY(Keyed(f, false));
        QCOMPARE(radio_->Field("PP"), 60u);
        QCOMPARE(dialogs_->Shown.size(), size_t{2});
        QVERIFY(dialogs_->Shown[0].Text.find("Temperature (RT)") != std::string::npos);
        QVERIFY(!f.RM7UXport.IsOpen());

        // A new radio whose release the full read can't confirm, O4 sent twice: said once.
        dialogs_->Shown.clear();
        radio_->SetFaults({});
        radio_->SwapRadio(RadioPersonality::RM7UL());
        radio_->SetFaults({.LoseEchoOf = "O4"});
        Tick();
        Tick();
        QCOMPARE(dialogs_->Texts(), (Texts{"The radio did not confirm that its transmitter is "
                                           "off.\r\nSwitch the radio off."}));
        QCOMPARE(f.TransmitterOn(), 0);
    }

    // A step change keeps the radio's frequencies and shows what it holds afterwards; a radio
    // plugged in while a question is open gets nothing; a write that fails leaves the label and
    // the box with what the radio holds.
    void stepChangeAndQuestions() {
        TMainForm& f = Known(With({{"PT", Channel(441.25)}, {"PR", Channel(435)}}));
        QVERIFY(f.Edit_TXFreq->text().isEmpty());
        dialogs_->Answers = {MsgResult::Yes};
        f.RadioButton_FS5000->click();
        QCOMPARE(radio_->FlashField("PC"), 1u);
        QCOMPARE(radio_->FlashField("PT"), Channel(441.25, 5));
        QCOMPARE(radio_->FlashField("PR"), Channel(435, 5));
        QCOMPARE(f.Label_TxFreq->text(), QString("441.25000"));
        QCOMPARE(f.Label_RxFreq->text(), QString("435.00000"));

        dialogs_->OnShow = [this](const ShownBox&) {
            radio_->SwapRadio(RadioPersonality::RM7UH(7654321));
        };
        radio_->ClearEvents();
        dialogs_->Answers = {MsgResult::Yes};
        f.RadioButton_FS6250->click();
        f.Edit_CutoutTemp->setText("30");
        f.SetCutOutTemp();
        dialogs_->OnShow = nullptr;
        QVERIFY(Changes(*radio_).empty());
        const Texts texts = dialogs_->Texts();
        QCOMPARE(std::count(texts.begin(), texts.end(), kConnectionChangedText), 2);

        radio_->SwapRadio(RadioPersonality::RM7UH());
        radio_->SetFaults({.HangUpAfterCommands = 1});
        f.Edit_TXFreq->setText("445");
        f.SetTXFreq();
        QCOMPARE(f.Label_TxFreq->text(), QString("441.25000"));
        f.Edit_PTTTimeout->setText("30");
        f.SetPTT();
        QCOMPARE(f.Edit_PTTTimeout->text(), QString("60"));
    }

    // The read corrects the cut-out temperature in flash only when nothing else is unsaved; the
    // unsaved mark outlives a missed answer and goes with the radio.
    void fullReadKeepsUnsavedWork() {
        TMainForm& f = Attach(With({{"P1", Channel(430)},
                                    {"P2", Channel(440)},
                                    {"P3", Channel(440)},
                                    {"P4", Channel(450)},
                                    {"PS", 30 + 40}}));
        const Texts changes = Changes(Tick());
        QVERIFY(Has(changes, "write P1 5140") && Has(changes, "write PS FF"));
        QVERIFY(!Has(changes, "flash"));
        QCOMPARE(radio_->FlashField("PS"), 70u);
        QVERIFY(f.ChangesMade());
        radio_->SetFaults({.Silent = true});
        Tick();
        radio_->SetFaults({});
        QVERIFY(Changes(Tick()).empty());
        QVERIFY(f.ChangesMade());

        radio_->SwapRadio(RadioPersonality::RM7UH(7654321));
        Tick();
        QVERIFY(!f.ChangesMade());
    }

    // Only a deliberate act writes: no wheel over a control without the focus, no second CTCSS
    // for an unchanged box, no typed value left in a box the radio never got.
    void strayInputWritesNothing() {
        TMainForm& f = Known();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.Edit_TXFreq->setFocus();
        QTRY_VERIFY(f.Edit_TXFreq->hasFocus());
        for (QWidget* w : std::initializer_list<QWidget*>{
                 f.ComboBox_PortNumber, f.ComboBox_FreqBand, f.ComboBox_RFLevel,
                 f.ScrollBar_Deviation, f.ScrollBar_ModBalance, f.ScrollBar_RfPwm,
                 f.ScrollBar_RfOffset, f.SpinEdit_CTCSS})
            Wheel(w);
        QCOMPARE(f.ComboBox_PortNumber->currentIndex() + 1, int(radio_->ComPort()));
        QCOMPARE(f.ScrollBar_Deviation->value(), int(radio_->Field("PD")));
        QTest::keyClick(f.SpinEdit_CTCSS, Qt::Key_Return);
        QVERIFY(Changes(*radio_).empty());
        QVERIFY(!f.ChangesMade());

        f.Edit_PTTTimeout->setFocus();
        QTRY_VERIFY(f.Edit_PTTTimeout->hasFocus());
        f.Edit_PTTTimeout->setText("30");
        radio_->SetFaults({.Silent = true});
        Tick();
        QCOMPARE(f.Edit_PTTTimeout->text(), QString("60"));
        QVERIFY(Changes(*radio_).empty());
    }

    // An unreadable reply is named and reported once; the read that met it is not repeated
    // (keying the radio each time). Disabled looks disabled; the password shows stars.
    void reportsAndLooks() {
        TMainForm& f = Attach();
        radio_->SetFaults({.GarbageField = "PD"});
        Tick();
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QVERIFY(dialogs_->Shown[0].Text.find("Deviation (PD)") != std::string::npos);
        QVERIFY(!Has(Tick(), "tx on"));
        QCOMPARE(dialogs_->Shown.size(), size_t{1});

        f.SetChangesMadeState(true);
        f.EnableConsoleControls(false);
        const QPalette p = f.Button_WriteRadioSettings->palette();
        QCOMPARE(p.color(QPalette::Active, QPalette::ButtonText), QColor(0xFF, 0, 0));
        QVERIFY(p.color(QPalette::Disabled, QPalette::ButtonText) != QColor(0xFF, 0, 0));

        TForm_Password password(&f);
        password.Edit_Password->setText("tide");
        QCOMPARE(password.Edit_Password->displayText(), QString("****"));
    }
};

QTEST_MAIN(tst_Integrity)
#include "tst_Integrity.moc"
