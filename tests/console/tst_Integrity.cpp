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

uint32_t Channel(double mhz, double stepKHz = 6.25) {
    return static_cast<uint32_t>((mhz - 300) * 1000 / stepKHz + 0.5);
}

RadioPersonality With(std::initializer_list<std::pair<const char*, uint32_t>> fields) {
    RadioPersonality p = RadioPersonality::RM7UH();
    for (const auto& [code, value] : fields)
        p.Fields.Set(code, value);
    p.Flash = p.Fields;
    return p;
}

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

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    // The transmitter, the button and TransmitterOn agree whatever ends the test, and nothing
    // stores the test's PTT time-out of 255 s.
    void transmitterTest() {
        TMainForm& f = Known();
        f.AdvancedAll = true;
        f.PowerButton_TxOn->Toggle();
        QVERIFY(radio_->Transmitting());
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
        QVERIFY(!radio_->Transmitting());
        QCOMPARE(radio_->Field("PP"), 60u);
        QCOMPARE(f.Edit_PTTTimeout->text(), QString("60"));
        QCOMPARE(f.TransmitterOn, 0);
        QVERIFY(!f.PowerButton_TxOn->ButtonDown());

        // A status reply that is no number: reported, the port closed, and the button as the
        // radio is, both ways.
        dialogs_->Shown.clear();
        radio_->SetFaults({.GarbageField = "RT"});
        f.PowerButton_TxOn->Toggle();
        QVERIFY(!radio_->Transmitting());
        QVERIFY(!f.PowerButton_TxOn->ButtonDown());
        QCOMPARE(f.TransmitterOn, 0);
        radio_->SetFaults({});
        f.PowerButton_TxOn->Toggle();
        QVERIFY(radio_->Transmitting());
        radio_->SetFaults({.GarbageField = "RT"});
        f.PowerButton_TxOn->Toggle();
        QVERIFY(!radio_->Transmitting());
        QCOMPARE(radio_->Field("PP"), 60u);
        QVERIFY(!f.PowerButton_TxOn->ButtonDown());
        QCOMPARE(f.TransmitterOn, 0);
        QCOMPARE(dialogs_->Shown.size(), size_t{2});
        QVERIFY(!f.RM7UXport.IsOpen());
    }

    // A step change keeps the radio's frequencies and shows what it holds afterwards; a radio
    // plugged in while a question is open gets nothing; a write that fails leaves the label.
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
        QCOMPARE(f.Label_TxHigh->text(), QString("450.00000"));

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
    }

    // The read corrects the cut-out temperature in flash only when nothing else is unsaved; the
    // unsaved mark outlives a missed answer and goes with the radio; a plan off the 5 kHz grid
    // is written inside the country's limits and recognised by the next read.
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
        QVERIFY(f.ChangesMade);
        radio_->SetFaults({.Silent = true});
        Tick();
        radio_->SetFaults({});
        QVERIFY(Changes(Tick()).empty());
        QVERIFY(f.ChangesMade);

        RadioPersonality hk = With({{"PC", 1},
                                    {"PA", 110},
                                    {"P1", Channel(400, 5)},
                                    {"P2", Channel(420, 5)},
                                    {"P3", Channel(400, 5)},
                                    {"P4", Channel(420, 5)},
                                    {"PT", Channel(410, 5)},
                                    {"PR", Channel(410, 5)}});
        hk.SetSerial(7654321);
        radio_->SwapRadio(hk);
        Tick();
        QVERIFY(!f.ChangesMade);
        f.ComboBox_FreqBand->setCurrentIndex(1);
        f.ComboBox_FreqBandChange();
        QCOMPARE(radio_->Field("P1"), Channel(409.75, 5));
        QCOMPARE(radio_->Field("P2"), Channel(409.985, 5));
        QCOMPARE(radio_->Field("PT"), Channel(409.87, 5));
        QCOMPARE(f.Label_RxHigh->text(), QString("409.98500"));
        f.ForgetRadio();
        QVERIFY(Changes(Tick()).empty());
        QCOMPARE(f.ComboBox_FreqBand->currentText(), QString("HK: Hong Kong"));
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
        QVERIFY(!f.ChangesMade);

        f.Edit_PTTTimeout->setFocus();
        QTRY_VERIFY(f.Edit_PTTTimeout->hasFocus());
        f.Edit_PTTTimeout->setText("30");
        radio_->SetFaults({.Silent = true});
        Tick();
        QCOMPARE(f.Edit_PTTTimeout->text(), QString("60"));
        radio_->SetFaults({});
        Tick();
        f.Edit_PTTTimeout->setFocus();
        QTRY_VERIFY(f.Edit_PTTTimeout->hasFocus());
        f.SpinEdit_CTCSS->setFocus();
        QTRY_VERIFY(f.SpinEdit_CTCSS->hasFocus());
        QVERIFY(Changes(*radio_).empty());
        QCOMPARE(f.Edit_PTTTimeout->text(), QString("60"));
    }

    // An unreadable reply is named and reported once; the read that met it is not repeated
    // (keying the radio each time). Disabled looks disabled; the password shows stars.
    void reportsAndLooks() {
        TMainForm& f = Attach();
        radio_->SetFaults({.GarbageField = "PD"});
        Tick();
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QVERIFY(dialogs_->Shown[0].Text.find("deviation (PD)") != std::string::npos);
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
