// The periodic refresh and the full read, through the real link against the emulated radio:
// what the radio was asked, and what the window shows.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "CommaLocale.h"
#include "WindowFixture.h"
#include "common/FormatSettings.h"
#include "widgets/PowerButton.h"

namespace {

const QColor kRed(0xFF, 0, 0), kGreen(0, 0x80, 0);

const Texts kStatus = {"cr", "rv", "read PN", "read RT", "read RR", "read RC"};

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QString ShownText(const TMainForm& f, const QString& name) {
    QWidget* w = f.findChild<QWidget*>(name);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    return "<no " + name + ">";
}

}  // namespace

class tst_Reading : public QObject, protected WindowFixture {
    Q_OBJECT

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() {
        TearDownWindow();
        SetDefaultFormatSettings(FormatSettings{});
    }

    void fullReadThenStatusOnly() {
        TMainForm& f = Attach();
        Texts full = kStatus;
        full.insert(full.end(),
                    {"read PB", "tx on",   "tx off",   "read PC", "read RH", "read PD", "read PM",
                     "read PP", "read PW", "read PL3", "read PF", "read PR", "read PT", "read P1",
                     "read P2", "read P3", "read P4",  "read PA", "read SC", "read PS"});
        QCOMPARE(Tick(), full);
        QCOMPARE(f.Label_VersionString->text(), QString("RM7UH V1.12A"));
        QCOMPARE(f.Label_SerialNO->text(), QString("12345678"));
        QCOMPARE(f.SerialNumber(), int64_t{12345678});
        QCOMPARE(f.Label_TxFreq->text(), QString("440.00000"));
        QCOMPARE(f.Label_RxFreq->text(), QString("440.00000"));
        QCOMPARE(f.Label_TXLow->text(), QString("430.00000"));
        QCOMPARE(f.Label_TxHigh->text(), QString("450.00000"));
        QCOMPARE(f.Label_RxLow->text(), QString("430.00000"));
        QCOMPARE(f.Label_RxHigh->text(), QString("450.00000"));
        QCOMPARE(f.Label_Bandwidth->text(), QString("25 KHz"));
        QCOMPARE(f.Label_HWVer->text(), QString("1.5x"));
        QCOMPARE(Items(f.ComboBox_RFLevel), (QStringList{"500mW", "   1W", "   2W", "   5W"}));
        QCOMPARE(f.ComboBox_RFLevel->currentIndex(), 3);
        QCOMPARE(f.Label_PwLev->text(), QString("200"));
        QCOMPARE(f.Label_DevLev->text(), QString("128"));
        QCOMPARE(f.ComboBox_FreqBand->count(), 6);
        QCOMPARE(f.ComboBox_FreqBand->currentIndex(), 0);
        QVERIFY(f.ComboBox_FreqBand->isEnabled());
        QVERIFY(f.RadioButton_FS5000->isEnabled());
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QVERIFY(!f.Updating());
        QVERIFY(!f.RM7UXport.IsOpen());
        QVERIFY(!f.ChangesMade());
        QVERIFY(dialogs_->Shown.empty());

        // A known radio: identification, serial number and status only.
        QCOMPARE(Tick(), kStatus);
        radio_->SetField("RT", 30 + 40);
        Tick();
        QCOMPARE(f.Label_Temp->text(), QString("30"));

        // Connect off and on again: the same radio is read in full on the next tick.
        f.CheckBox_Connect->setChecked(true);
        f.Timer_ReadRadioTimer();
        QCOMPARE(Tick(), kStatus);
        f.CheckBox_Connect->click();
        f.CheckBox_Connect->click();
        f.Timer_ReadRadio->stop();
        radio_->ClearEvents();
        f.Timer_ReadRadioTimer();
        QVERIFY(Has(radio_->EventTexts(), "read PC"));
        QCOMPARE(f.SerialNumber(), int64_t{12345678});

        // Another radio plugged in is read in full.
        radio_->SwapRadio(RadioPersonality::RM7UH(12000001));
        QVERIFY(Has(Tick(), "read PS"));
        QCOMPARE(f.Label_SerialNO->text(), QString("12000001"));
    }

    void shownValues_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("field");
        QTest::addColumn<uint>("value");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QColor>("colour");  // invalid: not checked
        const QColor any;
        QTest::newRow("serial, 7 digits") << "RM7UH"
                                          << "PN" << 1234567u << "Label_SerialNO"
                                          << "01234567" << any;
        QTest::newRow("serial, 6 digits") << "RM7UH"
                                          << "PN" << 123456u << "Label_SerialNO"
                                          << "123456" << any;
        QTest::newRow("temperature 41") << "RM7UH"
                                        << "RT" << 0x41u << "Label_Temp"
                                        << "25" << any;
        QTest::newRow("temperature 00") << "RM7UH"
                                        << "RT" << 0u << "Label_Temp"
                                        << "-40" << any;
        QTest::newRow("raw RSSI") << "RM7UH"
                                  << "RR" << 0xC8u << "Label_RawRSSI"
                                  << "200" << any;
        QTest::newRow("no alarms") << "RM7UH"
                                   << "RC" << 0u << "Label_Alarms"
                                   << "No Alarms" << kGreen;
        QTest::newRow("alarms 05") << "RM7UH"
                                   << "RC" << 5u << "Label_Alarms"
                                   << "Temp, PLL" << kRed;
        QTest::newRow("alarms 0F") << "RM7UH"
                                   << "RC" << 0xFu << "Label_Alarms"
                                   << "Temp, PTT, PLL, Ant" << kRed;
        QTest::newRow("alarms 10") << "RM7UH"
                                   << "RC" << 0x10u << "Label_Alarms"
                                   << "" << kRed;
        QTest::newRow("revision 0D") << "RM7UH"
                                     << "RH" << 0xDu << "Label_HWVer"
                                     << "" << any;
        QTest::newRow("revision 0C") << "RM7UH"
                                     << "RH" << 0xCu << "Label_HWVer"
                                     << "1.15x" << any;
        QTest::newRow("revision 00, RM7UX") << "RM7UH"
                                            << "RH" << 0u << "Label_HWVer"
                                            << "1.3x" << any;
        QTest::newRow("revision 00, RM7VX") << "RM7VX"
                                            << "RH" << 0u << "Label_HWVer"
                                            << "1.1x" << any;
        QTest::newRow("spacing 12.5") << "RM7UH"
                                      << "PB" << 1u << "Label_Bandwidth"
                                      << "12.5 KHz" << any;
        QTest::newRow("spacing 2") << "RM7UH"
                                   << "PB" << 2u << "Label_Bandwidth"
                                   << "Unkown" << any;
        QTest::newRow("PTT time-out") << "RM7UH"
                                      << "PP" << 0xB4u << "Edit_PTTTimeout"
                                      << "180" << any;
        QTest::newRow("cut-out") << "RM7UH"
                                 << "PS" << 0x96u << "Edit_CutoutTemp"
                                 << "110" << any;
        QTest::newRow("modulation") << "RM7UH"
                                    << "PM" << 0x7Fu << "Label_ModLev"
                                    << "127" << any;
        QTest::newRow("RF offset") << "RM7UH"
                                   << "PF" << 0xFFu << "Label_OsLev"
                                   << "255" << any;
        QTest::newRow("TX channel") << "RM7UH"
                                    << "PT" << 0x5328u << "Label_TxFreq"
                                    << "433.05000" << any;
        QTest::newRow("RX channel, RM7VX") << "RM7VX"
                                           << "PR" << 0x1E00u << "Label_RxFreq"
                                           << "148.00000" << any;
    }
    void shownValues() {
        QFETCH(QString, model);
        QFETCH(QString, field);
        QFETCH(uint, value);
        QFETCH(QString, control);
        QFETCH(QString, shown);
        QFETCH(QColor, colour);
        TMainForm& f = Attach(RadioPersonality::ByName(model.toStdString()));
        radio_->SetField(field.toStdString(), value);
        Tick();
        QCOMPARE(ShownText(f, control), shown);
        if (colour.isValid())
            QCOMPARE(f.Label_Alarms->palette().color(QPalette::WindowText), colour);
        QVERIFY(dialogs_->Shown.empty());
    }

    void unreadableAlarmsAreShownNotRaised() {
        TMainForm& f = Attach();
        radio_->SetFaults({.GarbageField = "RC"});
        Tick();
        QCOMPARE(f.Label_Alarms->text(), QString("Error Reading Alarms"));
        QCOMPARE(f.Label_Alarms->palette().color(QPalette::WindowText), kRed);
        QVERIFY(dialogs_->Shown.empty());
        QCOMPARE(f.SerialNumber(), int64_t{12345678});
    }

    void powerListFollowsTheVariant_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("fiveKHz");
        QTest::newRow("RM7UL") << "RM7UL" << QStringList{" 10mW", " 25mW", "100mW", "500mW"}
                               << true;
        QTest::newRow("RM7VX") << "RM7VX" << QStringList{"100mW", "   1W", "   2W", "   5W"}
                               << false;
    }
    void powerListFollowsTheVariant() {
        QFETCH(QString, model);
        QFETCH(QStringList, items);
        QFETCH(bool, fiveKHz);
        TMainForm& f = Attach(RadioPersonality::ByName(model.toStdString()));
        radio_->SetField("PW", 1);
        const Texts events = Tick();
        QCOMPARE(Items(f.ComboBox_RFLevel), items);
        QCOMPARE(f.ComboBox_RFLevel->currentIndex(), 1);
        QVERIFY(Has(events, "read PL1"));
        QCOMPARE(f.RadioButton_FS5000->isEnabled(), fiveKHz);
        QVERIFY(f.RadioButton_FS6250->isEnabled());
    }

    void localeSeparator() {
        SetDefaultFormatSettings(CommaFormat());
        TMainForm& f = Attach();
        radio_->SetField("PB", 1);
        Tick();
        QCOMPARE(f.Label_Bandwidth->text(), QString("12,5 KHz"));
        QCOMPARE(f.Label_TxFreq->text(), QString("440,00000"));
        QCOMPARE(f.Label_RxHigh->text(), QString("450,00000"));
    }

    // One report naming the bad value; ticks while it is open add none; later ticks do not read
    // the same radio in full again (each read keys it) until the window forgets it.
    void badReplyEndsTheRefreshWithOneReport() {
        struct TicksWhileOpen : ScriptedDialogs {
            TMainForm* form = nullptr;
            int nested = 0;
            MsgResult Show(MsgType type, const std::string& title, const std::string& text,
                           MsgButtons buttons) override {
                // The window as it stands while the box is open: released and closed.
                portOpen = form->RM7UXport.IsOpen();
                updating = form->Updating();
                for (; nested < 3; ++nested)
                    form->RM7UXLoadradioData();
                return ScriptedDialogs::Show(type, title, text, buttons);
            }
            bool portOpen = true, updating = true;
        } dialogs;
        TMainForm& f = Attach();
        dialogs.form = &f;
        radio_->SetFaults({.GarbageField = "PD"});
        const Texts events = Tick();
        QCOMPARE(dialogs.Shown.size(), size_t{1});
        QCOMPARE(dialogs.Shown[0].Type, MsgType::Error);
        QVERIFY2(QString::fromStdString(dialogs.Shown[0].Text).contains("XX"),
                 dialogs.Shown[0].Text.c_str());
        QVERIFY(!dialogs.portOpen);
        QVERIFY(!dialogs.updating);
        QCOMPARE(dialogs.nested, 3);
        QVERIFY(Has(events, "read PD"));
        QVERIFY(!Has(events, "read PM"));
        QCOMPARE(f.SerialNumber(), int64_t{-1});
        QVERIFY(!f.Updating());
        QVERIFY(!f.RM7UXport.IsOpen());

        QVERIFY(!Has(Tick(), "tx on"));
        QCOMPARE(dialogs.Shown.size(), size_t{1});

        // Mended and forgotten: the next tick completes the read.
        radio_->SetFaults({});
        f.ForgetRadio();
        Tick();
        QCOMPARE(dialogs.Shown.size(), size_t{1});
        QCOMPARE(f.SerialNumber(), int64_t{12345678});
    }

    // A flash save the radio did not confirm leaves the raised cut-out marked as unsaved.
    void cutoutFlashUnconfirmed() {
        TMainForm& f = Attach();
        radio_->SetField("PS", 30 + 40);
        RadioFaults lost;
        lost.LoseEchoOf = "EP";
        radio_->SetFaults(lost);
        const Texts events = Tick();
        // Sent once more, then the technician is told that flash holds either.
        QCOMPARE(Changes(events), (Texts{"write PS FF", "ee", "flash", "ee", "flash"}));
        QCOMPARE(f.Edit_CutoutTemp->text(), QString("215"));
        QVERIFY(f.ChangesMade());
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QVERIFY(dialogs_->Shown[0].Text.find("either the old or the new") != std::string::npos);
    }

    void cutoutBelowMinimumIsRaisedAndFlashed() {
        TMainForm& f = Attach();
        radio_->SetField("PS", 30 + 40);
        const Texts events = Tick();
        const Texts tail(events.end() - 4, events.end());
        QCOMPARE(tail, (Texts{"read PS", "write PS FF", "ee", "flash"}));
        QCOMPARE(radio_->FlashField("PS"), 0xFFu);
        QCOMPARE(f.Edit_CutoutTemp->text(), QString("215"));
        QVERIFY(!f.ChangesMade());
        QCOMPARE(f.SerialNumber(), int64_t{12345678});

        // At the minimum: left as it is.
        radio_->SetField("PS", 50 + 40);
        f.ForgetRadio();
        QVERIFY(!Has(Tick(), "write PS FF"));
        QCOMPARE(f.Edit_CutoutTemp->text(), QString("50"));
    }

    void lostRadioIsForgotten() {
        TMainForm& f = Attach();
        Tick();
        f.SetChangesMadeState(true);
        f.PowerButton_M82KDModem->Toggle();  // a radio read directly: nothing sent
        QVERIFY(f.PowerButton_M82KDModem->ButtonDown());

        // A serial number that does not read: forgotten, and no report.
        radio_->SetFaults({.GarbageField = "PN"});
        QCOMPARE(Tick(), (Texts{"cr", "rv", "read PN"}));
        QCOMPARE(f.SerialNumber(), int64_t{-1});
        QVERIFY(f.ChangesMade());
        QVERIFY(dialogs_->Shown.empty());

        // No answer at all: modem shown released, nothing sent to it; the radio's unsaved changes
        // stay marked.
        radio_->SetFaults({});
        Tick();
        QCOMPARE(f.SerialNumber(), int64_t{12345678});
        radio_->SetFaults({.Silent = true});
        Tick();
        QCOMPARE(f.SerialNumber(), int64_t{-1});
        QVERIFY(f.ChangesMade());
        QVERIFY(!f.PowerButton_M82KDModem->ButtonDown());
        QCOMPARE(f.Label_ComportState->text(), QString("No Connection"));
        QVERIFY(!f.Updating());
        QVERIFY(!f.RM7UXport.IsOpen());
    }

    // A limit that does not arrive is not taken for one (no plan is chosen and written from
    // what is left of it): the read stays unfinished and is done again on the next tick.
    void radioLostWhileReadingLimits() {
        TMainForm& f = Attach();
        RadioFaults faults;
        faults.HangUpAfterCommands = 20;  // RV .. P2 answered, P3 not
        radio_->SetFaults(faults);
        const Texts events = Tick();
        QCOMPARE(events.back(), std::string("hangup"));
        QVERIFY(Has(events, "read P2"));
        QCOMPARE(f.SerialNumber(), int64_t{-1});
        QCOMPARE(f.Label_RxHigh->text(), QString("450.00000"));
        QCOMPARE(f.Label_TXLow->text(), QString(""));  // not the reply before it
        QVERIFY(!f.ComboBox_FreqBand->isEnabled());
        QVERIFY(dialogs_->Shown.empty());
        QCOMPARE(f.Label_ComportState->text(), QString("Time out"));
        QVERIFY(!f.Updating());
        QVERIFY(!f.RM7UXport.IsOpen());
    }

    void powerPolledEverySecondTickWhileTransmitting() {
        TMainForm& f = Attach();
        Tick();
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), 1);
        QVERIFY(!Has(Tick(), "read PW"));
        QCOMPARE(Tick(),
                 (Texts{"cr", "rv", "read PN", "read PW", "read RT", "read RR", "read RC"}));
        QVERIFY(!Has(Tick(), "read PW"));
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), 0);
        QCOMPARE(Tick(), kStatus);
        QCOMPARE(Tick(), kStatus);
    }
};

QTEST_MAIN(tst_Reading)
#include "tst_Reading.moc"
