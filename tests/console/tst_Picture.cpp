// The window shows the radio it holds, and writes only to a radio it has read: another radio's
// values never stand for this one's, a port or a plan is applied only by a deliberate choice,
// and after an operation the window shows what the radio holds.

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

#include "WindowFixture.h"
#include "config/RM7UXFlashConfigObj.h"
#include "history/ChangeHistory.h"
#include "widgets/PowerButton.h"

namespace {

RadioPersonality RadioB() {
    RadioPersonality b = RadioPersonality::RM7UH(7654321);
    b.Fields.PT = b.Fields.PR = Channel(431.5);
    b.Fields.PP = 20;
    b.Flash = b.Fields;
    return b;
}

}  // namespace

class tst_Picture : public QObject, protected WindowFixture {
    Q_OBJECT

  private:
    TMainForm& Known(const RadioPersonality& radio = RadioPersonality::RM7UH()) {
        TMainForm& f = Attach(radio);
        Tick();
        radio_->ClearEvents();
        dialogs_->Shown.clear();
        return f;
    }

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    // Radio A read in full, then radio B, whose PP reply is garbage: the window shows B's
    // identity and what it read of B, nothing of A's, and lets nothing be written.
    void anotherRadioWithAnUnreadableReplyShowsNothingOfTheLast() {
        TMainForm& f = Known(With({{"PT", Channel(441.25)}}));
        QCOMPARE(f.Label_TxFreq->text(), QString("441.25000"));
        f.Edit_TXFreq->setText("442");
        radio_->SwapRadio(RadioB());
        radio_->SetFaults({.GarbageField = "PP"});
        for (int tick = 0; tick < 3; ++tick)
            Tick();
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QCOMPARE(f.Label_SerialNO->text(), QString("07654321"));
        QCOMPARE(f.Label_TxFreq->text(), QString());  // not read yet, not A's 441.25
        QCOMPARE(f.Label_TXLow->text(), QString());
        QCOMPARE(f.Edit_TXFreq->text(), QString());  // typed for A
        QCOMPARE(f.SerialNumber(), int64_t{-1});
        QVERIFY(!f.ConsoleEnabled());
        QVERIFY(!f.Edit_PTTTimeout->isEnabled());
        QVERIFY(!f.Button_WriteRadioSettings->isEnabled());
        // Nothing reaches B, whichever handler runs.
        radio_->ClearEvents();
        f.Button_WriteRadioSettingsClick();
        f.Edit_PTTTimeout->setText("30");
        f.SetPTT();
        f.PowerButton_TxOn->Toggle();
        QVERIFY(Changes(*radio_, true).empty());
        QCOMPARE(f.TransmitterOn(), 0);
    }

    // "Find the radio" chooses the port: Connect is ticked and the radio read in full before
    // anything can be written to it; the history never holds a change without its radio.
    void findTheRadioConnectsAndReadsBeforeAnyWrite() {
        radio_ = std::make_unique<RadioEmulator>();
        radio_->Start();
        form_ = std::make_unique<TMainForm>();
        TMainForm& f = *form_;
        f.ComboBox_PortNumber->setCurrentIndex(199);  // COM200, where nothing is
        f.ApplyPortSelection();
        dialogs_->Answers = {MsgResult::OK};
        f.MenuItem_FindRadio->trigger();
        QCOMPARE(f.RM7UXport.CommPort, radio_->ComPort());
        QVERIFY(f.CheckBox_Connect->isChecked());
        QVERIFY(f.Timer_ReadRadio->isActive());
        // Found, not yet read: nothing works.
        QVERIFY(!f.Button_WriteRadioSettings->isEnabled());
        radio_->ClearEvents();
        f.Button_WriteRadioSettingsClick();
        f.PowerButton_TxOn->Toggle();
        QVERIFY(Changes(*radio_, true).empty());
        f.Timer_ReadRadio->stop();
        f.Timer_ReadRadioTimer();
        QCOMPARE(f.Label_SerialNO->text(), QString("12345678"));
        QVERIFY(f.Button_WriteRadioSettings->isEnabled());
        f.Button_WriteRadioSettingsClick();
        QVERIFY(Has(radio_->EventTexts(), "flash"));
        ChangeHistory history(dir_->Path() + "/data/KorvaTech/CFG_RM7UX_Radio/history.sqlite");
        std::vector<HistoryEntry> entries;
        std::string problem;
        QVERIFY(history.Query({}, entries, problem));
        for (const HistoryEntry& e : entries)
            QCOMPARE(e.Serial, std::string("12345678"));
    }

    // Up, Down and the wheel on the closed plan list only move the shown item; the plan already
    // applied chosen again does nothing; another one is asked about, and declined, nothing.
    void planListAppliesOnlyADeliberateChoice() {
        TMainForm& f = Known(With({{"PT", Channel(441.25)}, {"PR", Channel(445.5)}}));
        f.SetAdvancedMode(true, false);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.ComboBox_FreqBand->setFocus();
        QTRY_VERIFY(f.ComboBox_FreqBand->hasFocus());
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Down})
            QTest::keyClick(f.ComboBox_FreqBand, key);
        QWheelEvent wheel(QPointF(5, 5), f.ComboBox_FreqBand->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.ComboBox_FreqBand, &wheel);
        QVERIFY(dialogs_->Shown.empty());
        PickFromList(f.ComboBox_FreqBand, 0);  // "Entire Band", the plan the radio is on
        QVERIFY(dialogs_->Shown.empty());
        dialogs_->Answers = {MsgResult::No};
        PickFromList(f.ComboBox_FreqBand, 3);
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QVERIFY(Changes(*radio_).empty());
        QCOMPARE(f.ComboBox_FreqBand->currentIndex(), 0);
        QCOMPARE(f.Label_TxFreq->text(), QString("441.25000"));
    }

    // After Program From File the window shows what the radio holds, at once.
    void programFromFileShowsTheRadioAtOnce() {
        TMainForm& f = Known();
        TRM7UXFlashRecordClass file;
        QVERIFY(file.ReadFromRadio());
        TRM7UXFlashRecord& r = file.Record();
        r.TxFreq = int32_t(Channel(441.25)), r.PttTimeout = 30, r.Ctcss = 7, r.PowerLevel = 1;
        r.Deviation = 0x44, r.ShutdownTemp = 70 + 40;
        file.SetFileName(dir_->File("edited.RM7UX"));
        QVERIFY(file.SaveToFile());
        f.FileDialogHook = [this](TFileDialog& d) {
            d.FileName = dir_->File("edited.RM7UX");
            return true;
        };
        dialogs_->Answers = {MsgResult::OK};
        f.BitBtn_WriteConfigClick();
        QCOMPARE(dialogs_->Texts().back(), std::string("Configuration Saved to Flash"));
        QCOMPARE(f.Label_TxFreq->text(), QString("441.25000"));
        QCOMPARE(f.Edit_PTTTimeout->text(), QString("30"));
        QCOMPARE(f.SpinEdit_CTCSS->value(), 7);
        QCOMPARE(f.ComboBox_RFLevel->currentIndex(), 1);
        QCOMPARE(f.ScrollBar_Deviation->value(), 0x44);
        QCOMPARE(f.Edit_CutoutTemp->text(), QString("70"));
        QVERIFY(!f.ChangesMade());
        QVERIFY(f.ConsoleEnabled());
    }

    // A new session's garbage shows nothing of the last session's values.
    void anUnreadableReplyAfterReconnectingShowsNothingOld() {
        TMainForm& f = Known(With({{"PT", Channel(441.25)}}));
        f.CheckBox_Connect->setChecked(true);
        f.Timer_ReadRadio->stop();
        f.CheckBox_Connect->setChecked(false);
        QCOMPARE(f.Label_TxFreq->text(), QString());
        f.CheckBox_Connect->setChecked(true);
        f.Timer_ReadRadio->stop();
        radio_->SetFaults({.GarbageField = "PT"});
        Tick();
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QCOMPARE(f.Label_TxFreq->text(), QString());
        QCOMPARE(f.Label_RxFreq->text(), QString("440.00000"));  // read before PT
        QVERIFY(!f.ConsoleEnabled());
    }

    // Labels follow only writes that arrived: a TX frequency the radio never took is not shown.
    void labelsShowOnlyWritesThatArrived() {
        TMainForm& f = Known(With({{"PT", Channel(441.25)}}));
        for (bool in : {true, false}) {
            LoseOnce lose;
            lose.Command = "PT";
            lose.At = LostAt::LastDigit;
            lose.OnTheWayIn = in;
            radio_->SetFaults({.Lose = lose});
            f.Edit_TXFreq->setText("445");
            QTest::keyClick(f.Edit_TXFreq, Qt::Key_Return);
            QVERIFY(!radio_->Faults().Lose.has_value());
            // Lost on its way in, the radio kept 441.25; on its way back it took 445.
            QCOMPARE(f.Label_TxFreq->text(), QString(in ? "441.25000" : "445.00000"));
            QCOMPARE(radio_->Field("PT"), in ? Channel(441.25) : Channel(445));
            QCOMPARE(f.ChangesMade(), !in);
        }
    }

    // The unsaved mark: set by a write that reached the radio, kept by a full read of the same
    // radio (flash cannot be read), cleared by a confirmed save and by another radio's read.
    void theUnsavedMarkFollowsTheRadio() {
        TMainForm& f = Known();
        f.Edit_PTTTimeout->setText("30");
        f.SetPTT();
        QVERIFY(f.ChangesMade());
        f.ForgetRadio();
        Tick();
        QVERIFY(f.ChangesMade());
        f.Button_WriteRadioSettingsClick();
        QVERIFY(!f.ChangesMade());
        f.SetPTT();
        f.Edit_PTTTimeout->setText("31");
        f.SetPTT();
        QVERIFY(f.ChangesMade());
        radio_->SwapRadio(RadioB());
        Tick();
        QVERIFY(!f.ChangesMade());
        QCOMPARE(f.Edit_PTTTimeout->text(), QString("20"));
    }
};

QTEST_MAIN(tst_Picture)
#include "tst_Picture.moc"
