// Frequency entry, the step change and the country/band plans in the window, through the real
// link against the emulated radio: what the radio was sent, and what the window shows.

#include <QAction>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "WindowFixture.h"

namespace {

const std::string kStepQuestion =
    "In order to configure the Frequency Step, all changes will be saved to flash and the unit "
    "will be reset.\r\n\r\nProceed with change?";

void Focus(QWidget* w, QEvent::Type type) {
    QFocusEvent e(type, Qt::TabFocusReason);
    QApplication::sendEvent(w, &e);
}

}  // namespace

class tst_Frequency : public QObject, protected WindowFixture {
    Q_OBJECT

  private:
    // Shown: focus and clicks go to a visible window only.
    TMainForm& Attach(const RadioPersonality& radio = RadioPersonality::RM7UH()) {
        TMainForm& f = WindowFixture::Attach(radio);
        f.show();
        return f;
    }
    // The window on a radio read in full; events cleared.
    TMainForm& Known(const RadioPersonality& radio = RadioPersonality::RM7UH()) {
        TMainForm& f = Attach(radio);
        f.RM7UXLoadradioData();
        radio_->ClearEvents();
        return f;
    }

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    // ---- Typing a frequency ----

    void typedFrequencyIsSnappedClampedAndSentOnce_data() {
        QTest::addColumn<bool>("rx");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("sent");
        QTest::newRow("440") << false << "440"
                             << "440.00000"
                             << "write PT 5780";
        QTest::newRow("above the limit") << false << "460"
                                         << "450.00000"
                                         << "write PT 5DC0";
        QTest::newRow("off the grid") << false << "433.051"
                                      << "433.05000"
                                      << "write PT 5328";
        QTest::newRow("not a number") << false << "abc"
                                      << "430.00000"
                                      << "write PT 5140";
        QTest::newRow("beyond the model") << false << "600"
                                          << "450.00000"
                                          << "write PT 5DC0";
        QTest::newRow("RX") << true << "445.5"
                            << "445.50000"
                            << "write PR 5AF0";
        QTest::newRow("RX below") << true << "299"
                                  << "430.00000"
                                  << "write PR 5140";
    }
    void typedFrequencyIsSnappedClampedAndSentOnce() {
        QFETCH(bool, rx);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, sent);
        TMainForm& f = Known();
        QLineEdit* edit = rx ? f.Edit_RXFreq : f.Edit_TXFreq;
        QLabel* current = rx ? f.Label_RxFreq : f.Label_TxFreq;
        Focus(edit, QEvent::FocusIn);
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(Changes(*radio_), Texts{sent.toStdString()});
        QCOMPARE(edit->text(), shown);
        QCOMPARE(current->text(), shown);
        QVERIFY(f.ChangesMade());
        QVERIFY(!f.RM7UXport.IsOpen());

        // Leaving the box sends nothing more; leaving it after a change sends again.
        radio_->ClearEvents();
        Focus(edit, QEvent::FocusOut);
        QVERIFY(radio_->EventTexts().empty());
        Focus(edit, QEvent::FocusIn);
        edit->setText("441");
        Focus(edit, QEvent::FocusOut);
        QCOMPARE(Changes(*radio_), Texts{rx ? "write PR 5820" : "write PT 5820"});

        // The focus moving on because a refresh lost the radio and disabled the box sends
        // nothing: the operator never left it.
        radio_->ClearEvents();
        Focus(edit, QEvent::FocusIn);
        edit->setText("442");
        edit->setEnabled(false);
        Focus(edit, QEvent::FocusOut);
        QVERIFY(radio_->EventTexts().empty());
        QCOMPARE(current->text(), QString("441.00000"));
    }

    void snapAndClampWithoutARadio_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("step");  // selection: 0 is 6.25 kHz, 1 is 5 kHz
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("changed");
        QTest::newRow("on the grid") << 1 << 0 << 430.0 << 450.0 << "440.00625"
                                     << "440.00625" << false;
        QTest::newRow("half way on 5 kHz, to even") << 1 << 1 << 400.0 << 420.0 << "409.9875"
                                                    << "409.99000" << true;
        QTest::newRow("RM7VX zero to the model, then the limit") << 0 << 0 << 148.0 << 174.0 << "0"
                                                                 << "148.00000" << true;
        QTest::newRow("RM7VX on 5 kHz") << 0 << 1 << 148.0 << 174.0 << "161.0025"
                                        << "161.00000" << true;
    }
    void snapAndClampWithoutARadio() {
        QFETCH(int, model);
        QFETCH(int, step);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, changed);
        // A radio of the model on the step with these limits, read by the window.
        RadioPersonality p = model == 1 ? RadioPersonality::RM7UH() : RadioPersonality::RM7VX();
        const double base = model == 1 ? 300 : 100, stepMHz = step == 0 ? 0.00625 : 0.005;
        const auto channel = [&](double mhz) { return uint32_t((mhz - base) / stepMHz + 0.5); };
        p.Fields.PC = uint32_t(step);
        if (model == 1)
            p.Fields.PA = low == 400 ? 110 : 140;
        p.Fields.P1 = p.Fields.P3 = channel(low);
        p.Fields.P2 = p.Fields.P4 = channel(high);
        p.Fields.PT = p.Fields.PR = channel((low + high) / 2);
        p.Flash = p.Fields;
        TMainForm& f = Attach(p);
        Tick();
        QVERIFY(Changes(*radio_).empty());
        QCOMPARE(f.RadioGroup_FreqStep->ItemIndex(), step);
        f.Edit_TXFreq->setText(typed);
        bool snapped = false;
        f.SetToNearestValidFrequency(f.Edit_TXFreq, snapped);
        QCOMPARE(snapped, changed);
        f.Edit_TXFreq->setText(typed);
        double frequency = 0;
        f.TxFrequencyLoad(frequency);
        QCOMPARE(f.Edit_TXFreq->text(), shown);
        QVERIFY(frequency >= low && frequency <= high);
    }

    void userInitFallsBackToTheRadiosFrequency_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("result");
        QTest::newRow("empty: the radio's") << ""
                                            << "441.25000"
                                            << "441.25000";
        QTest::newRow("empty, none known: the centre") << ""
                                                       << "Not Set"
                                                       << "440.00000";
        QTest::newRow("inside") << "435.5"
                                << "440.00000"
                                << "435.50000";
        QTest::newRow("below, current inside") << "420"
                                               << "441.00000"
                                               << "441.00000";
        QTest::newRow("above, current outside") << "460"
                                                << "Not Set"
                                                << "450.00000";
        QTest::newRow("below, current outside") << "420"
                                                << "470.00000"
                                                << "430.00000";
    }
    void userInitFallsBackToTheRadiosFrequency() {
        QFETCH(QString, typed);
        QFETCH(QString, current);
        QFETCH(QString, result);
        TMainForm& f = Attach();
        Tick();
        f.Edit_TXFreq->setText(typed);
        f.Label_TxFreq->setText(current);
        bool changed = false;
        const double value = f.FrequencyUserInit(f.Edit_TXFreq, f.Label_TxFreq, 430, 450, changed);
        QCOMPARE(f.Edit_TXFreq->text(), result);
        QCOMPARE(value, result.toDouble());
    }

    // Only a radio the window has read is written to, and the label shows what the radio holds:
    // nothing sent, nothing new shown.
    void noRadioReadNoSend() {
        TMainForm& f = Attach();
        f.Edit_TXFreq->setText("440");
        f.SetTXFreq();
        QVERIFY(Changes(*radio_).empty());
        QCOMPARE(f.Label_TxFreq->text(), QString());
        QVERIFY(!f.ChangesMade());
        QVERIFY(!f.WriteValue("PP", "3C"));
        QVERIFY(Changes(*radio_).empty());

        // Read, then gone: nothing sent either, the label empty.
        Tick();
        f.ComboBox_PortNumber->setCurrentIndex(199);  // COM200 does not exist
        f.ApplyPortSelection();
        f.RM7UXLoadradioData();
        f.Edit_TXFreq->setText("441");
        f.SetTXFreq();
        QCOMPARE(f.Label_TxFreq->text(), QString("440.00000"));  // what the radio last held
        QVERIFY(!f.WriteValue("PP", "3C"));
    }

    void copyCurrentFrequency() {
        TMainForm& f = Attach();
        // No radio read: nothing to copy.
        QVERIFY(f.Label_TxFreq->text().isEmpty());
        f.Edit_TXFreq->setText("441");
        f.Edit_RXFreq->setText("442");
        f.BitBtn_XxFreqCopyClick(f.BitBtn_TxFreqCopy);
        f.MenuItem_RxFreqCopyClick();
        QCOMPARE(f.Edit_TXFreq->text(), QString("441"));
        Tick();
        f.Edit_TXFreq->setText("441");
        f.Edit_RXFreq->setText("442");
        f.Label_TxFreq->setText("");
        f.Label_RxFreq->setText("Not Set");
        f.BitBtn_TxFreqCopy->click();
        f.MenuItem_RxFreqCopy->trigger();
        QCOMPARE(f.Edit_TXFreq->text(), QString("441"));
        QCOMPARE(f.Edit_RXFreq->text(), QString("442"));

        f.Label_TxFreq->setText("440.00000");
        f.Label_RxFreq->setText(" 430.00000 ");
        f.BitBtn_XxFreqCopyClick(f.Edit_TXFreq);  // not a button: nothing
        QCOMPARE(f.Edit_TXFreq->text(), QString("441"));
        f.MenuItem_TxFreqCopy->trigger();
        f.BitBtn_RxFreqCopy->click();
        QCOMPARE(f.Edit_TXFreq->text(), QString("440.00000"));
        QCOMPARE(f.Edit_RXFreq->text(), QString(" 430.00000 "));
    }

    // ---- The frequency step ----

    void confirmedStepChangeReencodesFlashesAndResets() {
        TMainForm& f = Known();
        f.SetChangesMadeState(true);
        f.Edit_TXFreq->setText("440");
        f.Edit_RXFreq->setText("430");
        dialogs_->Answers = {MsgResult::Yes};
        f.RadioButton_FS5000->click();
        QCOMPARE(dialogs_->Texts(), Texts{kStepQuestion});
        QCOMPARE(dialogs_->Shown[0].Type, MsgType::Warning);
        QCOMPARE(dialogs_->Shown[0].Buttons, MsgButtons::YesNo);
        QCOMPARE(Changes(*radio_), (Texts{"write PC 01", "write P3 6590", "write P4 7530",
                                          "write PT 6D60", "write P1 6590", "write P2 7530",
                                          "write PR 6590", "ee", "flash", "reset"}));
        QCOMPARE(radio_->FlashField("PC"), 1u);
        QCOMPARE(radio_->Field("PT"), Channel(440, 5));
        QCOMPARE(f.Picture().Step(), std::string("01"));
        QCOMPARE(f.RadioGroup_FreqStep->ItemIndex(), 1);
        QVERIFY(f.RadioButton_FS5000->isChecked());
        QVERIFY(!f.ChangesMade());
        QVERIFY(!f.RM7UXport.IsOpen());
    }

    void declinedStepChangeSendsNothing_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("5 kHz button") << "click";
        QTest::newRow("Send") << "send";
        QTest::newRow("Enter on the step button") << "enter";
        QTest::newRow("group box") << "group";
    }
    void declinedStepChangeSendsNothing() {
        QFETCH(QString, action);
        TMainForm& f = Known();
        dialogs_->Answers = {MsgResult::No};
        if (action == "click")
            f.RadioButton_FS5000->click();
        else if (action == "send")
            f.pm_Send->trigger();
        else if (action == "enter")
            QTest::keyClick(f.RadioButton_FS6250, Qt::Key_Return);
        else
            QTest::mouseClick(f.GroupBox_FrequencyStep, Qt::LeftButton, {}, QPoint(120, 6));
        QCOMPARE(dialogs_->Texts(), Texts{kStepQuestion});
        QVERIFY(radio_->EventTexts().empty());
        QCOMPARE(f.RadioGroup_FreqStep->ItemIndex(), 0);
        QVERIFY(f.RadioButton_FS6250->isChecked());
        QVERIFY(!f.RadioButton_FS5000->isChecked());
        QVERIFY(!f.Updating());
    }

    void readingTheRadioSetsTheStepWithoutAsking() {
        TMainForm& f = Attach(With({{"PC", 1},
                                    {"P1", Channel(430, 5)},
                                    {"P2", Channel(450, 5)},
                                    {"P3", Channel(430, 5)},
                                    {"P4", Channel(450, 5)},
                                    {"PT", Channel(445, 5)},
                                    {"PR", Channel(445, 5)}}));
        f.RM7UXLoadradioData();
        QCOMPARE(f.RadioGroup_FreqStep->ItemIndex(), 1);
        QVERIFY(f.RadioButton_FS5000->isChecked());
        QCOMPARE(f.Label_TxFreq->text(), QString("445.00000"));
        QCOMPARE(f.Label_RxHigh->text(), QString("450.00000"));
        QVERIFY(Changes(*radio_).empty());
        QVERIFY(dialogs_->Shown.empty());
    }

    // ---- Band limits and country plans ----

    void planChosenFromTheLimits_data() {
        QTest::addColumn<uint>("band");
        QTest::addColumn<double>("rxLow");
        QTest::addColumn<double>("rxHigh");
        QTest::addColumn<double>("txLow");
        QTest::addColumn<double>("txHigh");
        QTest::addColumn<int>("selected");
        QTest::addColumn<Texts>("writes");
        QTest::newRow("ISM on both sides")
            << 140u << 433.05 << 434.8 << 433.05 << 434.8 << 2 << Texts{};
        QTest::newRow("RX limits differ")
            << 140u << 430.0 << 450.0 << 433.05 << 434.8 << 0
            << Texts{"write P1 5140", "write P2 5DC0", "write PR 5780",
                     "write P3 5140", "write P4 5DC0", "write PT 5780"};
        QTest::newRow("band 110, no plan")
            << 110u << 405.0 << 415.0 << 405.0 << 415.0 << 0
            << Texts{"write P1 3E80", "write P2 4B00", "write PR 44C0",
                     "write P3 3E80", "write P4 4B00", "write PT 44C0"};
    }
    void planChosenFromTheLimits() {
        QFETCH(uint, band);
        QFETCH(double, rxLow);
        QFETCH(double, rxHigh);
        QFETCH(double, txLow);
        QFETCH(double, txHigh);
        QFETCH(int, selected);
        QFETCH(Texts, writes);
        TMainForm& f = Attach(With({{"PA", band},
                                    {"P1", Channel(rxLow)},
                                    {"P2", Channel(rxHigh)},
                                    {"P3", Channel(txLow)},
                                    {"P4", Channel(txHigh)}}));
        f.RM7UXLoadradioData();
        QCOMPARE(Changes(*radio_), writes);
        QCOMPARE(f.ComboBox_FreqBand->currentIndex(), selected);
        QVERIFY(f.ComboBox_FreqBand->isEnabled());
        QCOMPARE(f.ChangesMade(), !writes.empty());
        if (band == 140) {
            QCOMPARE(f.ComboBox_FreqBand->count(), 6);
            QCOMPARE(f.ComboBox_FreqBand->itemText(2),
                     QString("ISM: Austria, Finland, France, Germany, Italy, Poland, South "
                             "Africa, Turkey"));
        }
        if (!writes.empty()) {
            QCOMPARE(f.Edit_TXFreq->text(), f.Label_RxFreq->text());
            QCOMPARE(f.Label_TXLow->text(), f.Label_RxLow->text());
        }
        QVERIFY(dialogs_->Shown.empty());
    }

    // Browsing the closed list (Up, Down) applies nothing; the list shows the radio's plan again
    // when the operator leaves it, and after the radio is read afresh.
    void browsingThePlansChangesNothing() {
        TMainForm& f = Attach(With({{"P1", Channel(433.05)},
                                    {"P2", Channel(434.8)},
                                    {"P3", Channel(433.05)},
                                    {"P4", Channel(434.8)}}));
        f.SetAdvancedMode(true, false);
        f.show();
        f.RM7UXLoadradioData();
        QCOMPARE(f.ComboBox_FreqBand->currentIndex(), 2);
        f.ComboBox_FreqBand->setFocus();
        QTRY_VERIFY(f.ComboBox_FreqBand->hasFocus());
        QTest::keyClick(f.ComboBox_FreqBand, Qt::Key_Down);
        QTest::keyClick(f.ComboBox_FreqBand, Qt::Key_Down);
        QCOMPARE(f.ComboBox_FreqBand->currentIndex(), 4);
        f.RM7UXLoadradioData();
        QCOMPARE(f.ComboBox_FreqBand->currentIndex(), 4);  // the operator's hand undisturbed
        f.Edit_PTTTimeout->setFocus();
        QTRY_COMPARE(f.ComboBox_FreqBand->currentIndex(), 2);
        f.ComboBox_FreqBand->setCurrentIndex(4);
        f.ForgetRadio();
        f.RM7UXLoadradioData();
        QCOMPARE(f.ComboBox_FreqBand->currentIndex(), 2);
        QVERIFY(Changes(*radio_).empty());
        QVERIFY(dialogs_->Shown.empty());
    }

    void choosingHongKong_data() {
        QTest::addColumn<uint>("step");
        QTest::addColumn<QString>("centre");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("high");
        QTest::newRow("6.25 kHz") << 0u << "409.86875"
                                  << "write PR 44AB"
                                  << "409.98750";
        // 409.9875 lies between two 5 kHz channels: the limit moves inward, not out of Hong Kong.
        QTest::newRow("5 kHz") << 1u << "409.87000"
                               << "write PR 55D6"
                               << "409.98500";
    }
    void choosingHongKong() {
        QFETCH(uint, step);
        QFETCH(QString, centre);
        QFETCH(QString, sent);
        QFETCH(QString, high);
        const double kHz = step == 0 ? 6.25 : 5;
        TMainForm& f = Known(With({{"PC", step},
                                   {"PA", 110},
                                   {"P1", Channel(400, kHz)},
                                   {"P2", Channel(420, kHz)},
                                   {"P3", Channel(400, kHz)},
                                   {"P4", Channel(420, kHz)},
                                   {"PT", Channel(410, kHz)},
                                   {"PR", Channel(410, kHz)}}));
        QCOMPARE(f.ComboBox_FreqBand->count(), 2);
        QCOMPARE(f.ComboBox_FreqBand->itemText(1), QString("HK: Hong Kong"));
        dialogs_->Answers = {MsgResult::Yes};
        PickFromList(f.ComboBox_FreqBand, 1);
        // Asked first, with what the plan sets.
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QCOMPARE(dialogs_->Shown[0].Type, MsgType::Question);
        QVERIFY(dialogs_->Shown[0].Text.find("'HK: Hong Kong'") != std::string::npos);
        QVERIFY(dialogs_->Shown[0].Text.find("TX and RX band: 409.75000 to " + high.toStdString() +
                                             " MHz") != std::string::npos);
        QVERIFY(dialogs_->Shown[0].Text.find("TX and RX frequency: " + centre.toStdString() +
                                             " MHz") != std::string::npos);
        const Texts changes = Changes(*radio_);
        QCOMPARE(changes.size(), size_t{6});
        QCOMPARE(changes[2], sent.toStdString());
        QCOMPARE(changes[5], "write PT" + sent.toStdString().substr(8));
        QCOMPARE(f.Edit_RXFreq->text(), centre);
        QCOMPARE(f.Label_TxFreq->text(), centre);
        QCOMPARE(f.Label_RxLow->text(), QString("409.75000"));
        QCOMPARE(f.Label_TxHigh->text(), high);
        QCOMPARE(*f.Picture().MHz("P1"), 409.75);
        QCOMPARE(*f.Picture().MHz("P4"), high.toDouble());
        QVERIFY(f.ChangesMade());
        QVERIFY(!f.RM7UXport.IsOpen());

        // The plan is recognised by the next read, off the 5 kHz grid too: nothing rewritten.
        f.ForgetRadio();
        f.RM7UXLoadradioData();
        QCOMPARE(Changes(*radio_).size(), size_t{6});
        QCOMPARE(f.ComboBox_FreqBand->currentIndex(), 1);

        // The plan already applied, chosen again: nothing asked, nothing written.
        radio_->ClearEvents();
        dialogs_->Shown.clear();
        PickFromList(f.ComboBox_FreqBand, 1);
        QVERIFY(dialogs_->Shown.empty());
        QVERIFY(Changes(*radio_).empty());
    }

    void bandsOfTheRM7VX_data() {
        QTest::addColumn<uint>("band");
        QTest::addColumn<int>("items");
        QTest::newRow("band 3") << 3u << 1;
        QTest::newRow("band 10 has no rows") << 10u << 0;
    }
    void bandsOfTheRM7VX() {
        QFETCH(uint, band);
        QFETCH(int, items);
        const uint32_t low = 19200, high = 21600;  // 220 and 235 MHz above 100
        TMainForm& f = Attach(With(
            {{"PA", band}, {"P1", low}, {"P2", high}, {"P3", low}, {"P4", high}, {"PT", 20000}},
            RadioPersonality::RM7VX()));
        f.RM7UXLoadradioData();
        QCOMPARE(f.ComboBox_FreqBand->count(), items);
        QCOMPARE(f.ComboBox_FreqBand->isEnabled(), items > 0);
        if (items > 0)
            QCOMPARE(f.ComboBox_FreqBand->itemText(0), QString("Entire Band"));
        QVERIFY(Changes(*radio_).empty());
        QCOMPARE(f.Label_TXLow->text(), QString("220.00000"));
        QCOMPARE(f.Label_TxFreq->text(), QString("225.00000"));
        QVERIFY(!f.RadioButton_FS5000->isEnabled());
    }
};

QTEST_MAIN(tst_Frequency)
#include "tst_Frequency.moc"
