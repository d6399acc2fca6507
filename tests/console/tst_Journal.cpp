// What the window does about an operation an earlier run left unfinished (its journal entry
// left without an end by a run that died): against the emulated radio, the box after the radio
// is identified, the transmitter released at once, the repair it offers, Save to Flash and the
// step change asking first, and the History view showing it.

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "WindowFixture.h"
#include "history/Journal.h"
#include "widgets/HistoryView.h"
#include "widgets/PowerButton.h"

namespace {

bool HasText(const std::vector<std::string>& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

}  // namespace

class tst_Journal : public QObject, public WindowFixture {
    Q_OBJECT
  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    // A step change whose run died after two writes: the radio on two grids. The box says so
    // and offers the reset; Yes takes the radio back to its flash, which the window then shows.
    void aHalfWrittenOperationIsToldAndResetOnYes() {
        TMainForm& f = Attach();
        radio_->SetField("PC", 1);
        radio_->SetField("P3", 0x6590);
        LeaveEntry({.Operation = "frequency step",
                    .Source = "cli",
                    .Action = "set step",
                    .Serial = "12345678",
                    .Writes = {{"PC", "00", "01"}, {"P3", "5140", "6590"}, {"P4", "5DC0", "7530"}},
                    .Flash = true,
                    .Restart = true},
                   {{"PC", "00", "01"}, {"P3", "5140", "6590"}});
        dialogs_->Answers = {MsgResult::Yes};
        Tick();
        QApplication::processEvents();
        QCOMPARE(dialogs_->Shown.size(), size_t(1));
        const std::string text = dialogs_->Shown[0].Text;
        QVERIFY2(text.find("An operation on this radio did not finish:\r\nfrequency step (rm7ux "
                           "set step on COM") == 0,
                 text.c_str());
        QVERIFY2(text.find("written: Frequency Step / TX Band, low; not confirmed: TX Band, "
                           "high; not saved to flash") != std::string::npos,
                 text.c_str());
        QVERIFY2(text.find("Reset the radio to its flash now?") != std::string::npos, text.c_str());
        QVERIFY(Has(radio_->EventTexts(), "reset"));
        QCOMPARE(radio_->Field("PC"), 0u);
        QCOMPARE(radio_->Field("P3"), radio_->FlashField("P3"));
        // Read in full again, on the grid the radio is back on.
        Tick();
        QCOMPARE(f.Picture().Field("PC").value_or(""), std::string("00"));
        // Closed: told once, and no more.
        Tick();
        QApplication::processEvents();
        QCOMPARE(dialogs_->Shown.size(), size_t(1));
    }

    // A TX test whose window died while the radio was keyed: released at once, the operator's
    // time-out put back, and said.
    void aTransmitterLeftKeyedIsReleasedAtOnce() {
        Attach();
        radio_->SetField("PP", 0xFF);
        LeaveEntry({.Operation = "transmitter test",
                    .Source = "window",
                    .Action = "TX test",
                    .Serial = "12345678",
                    .Writes = {{"PP", "3C", "FF"}},
                    .Key = true,
                    .OperatorPTT = 60},
                   {{"PP", "3C", "FF"}});
        const Texts events = Tick();
        QApplication::processEvents();
        QVERIFY(Has(events, "tx off"));
        QVERIFY(Has(events, "write PP 3C"));
        QCOMPARE(radio_->Field("PP"), 0x3Cu);
        QVERIFY(HasText(dialogs_->Texts(),
                        "Put right at once: its transmitter was released and "
                        "its PTT time-out put back to 60 s."));
        QVERIFY(JournalEmpty());
    }

    // Over an unfinished operation, Save to Flash and the step change ask first; No sends
    // nothing. History shows the operation first.
    void saveToFlashAndTheStepAskFirst() {
        TMainForm& f = Attach();
        LeaveEntry({.Operation = "set",
                    .Source = "cli",
                    .Action = "set",
                    .Serial = "12345678",
                    .Writes = {{"PW", "03", "01"}, {"SC", "00", "05"}}},
                   {{"PW", "03", "01"}});
        dialogs_->Answers = {MsgResult::No};
        Tick();
        QApplication::processEvents();
        QCOMPARE(dialogs_->Shown.size(), size_t(1));

        radio_->ClearEvents();
        dialogs_->Answers = {MsgResult::No};
        f.Button_WriteRadioSettingsClick();
        QCOMPARE(dialogs_->Shown.size(), size_t(2));
        QVERIFY(dialogs_->Shown[1].Text.find("A save to flash now would keep in flash what it "
                                             "left. Go on all the same?") != std::string::npos);
        QVERIFY(!Has(radio_->EventTexts(), "ee"));

        dialogs_->Answers = {MsgResult::No};
        f.RadioButton_FS5000->click();
        QCOMPARE(dialogs_->Shown.size(), size_t(3));
        QVERIFY(dialogs_->Shown[2].Text.find("A frequency step change now") != std::string::npos);
        QVERIFY(Changes(*radio_).empty());
        QVERIFY(f.RadioButton_FS6250->isChecked());

        f.Button_HistoryClick();
        auto* view = f.findChild<THistoryView*>();
        QVERIFY(view != nullptr);
        QVERIFY(view->Table_History->item(0, 2)->text().startsWith("Unfinished: set on COM"));

        dialogs_->Answers = {MsgResult::Yes};
        f.Button_WriteRadioSettingsClick();
        QVERIFY(Has(radio_->EventTexts(), "flash"));
    }

    // The modem's configuration mode is in the journal from before the first AT command until it
    // is left; a window that dies in it leaves the entry for the next run.
    void theModemsConfigurationModeIsJournaled() {
        TMainForm& f = Attach(EmulatorOptions{.Modem = true});
        f.PowerButton_M82KDModem->setEnabled(true);
        f.PowerButton_M82KDModem->Toggle();
        QVERIFY(radio_->ModemInRadioMode());
        QCOMPARE(JournalFiles(), 1);
        f.PowerButton_M82KDModem->Toggle();
        QVERIFY(!radio_->ModemInRadioMode());
        QVERIFY(JournalEmpty());
    }

  private:
    int JournalFiles() const {
        std::error_code ec;
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(
                 dir_->File("state/KorvaTech/CFG_RM7UX_Radio/journal"), ec))
            n += e.path().extension() == ".op" ? 1 : 0;
        return n;
    }
    // An entry as a run leaves it that dies with `wrote` confirmed: no end, and no owner.
    void LeaveEntry(JournalIntent intent, const std::vector<PlannedWrite>& wrote) {
        intent.Port = form_->JournalPort();
        intent.Model = 1;
        intent.VersionText = "RM7UH V1.12A";
        OperationJournal journal;
        std::shared_ptr<JournalEntry> entry = journal.Begin(intent);
        QVERIFY(entry != nullptr);
        for (const PlannedWrite& w : wrote)
            entry->Wrote(w.Code, w.OldRaw, w.NewRaw, "00", "00");
    }
    bool JournalEmpty() const {
        std::error_code ec;
        return std::filesystem::is_empty(dir_->File("state/KorvaTech/CFG_RM7UX_Radio/journal"), ec);
    }
};

QTEST_MAIN(tst_Journal)
#include "tst_Journal.moc"
