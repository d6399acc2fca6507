// The window's ports: the present ones marked as links come and go, finding the radio among
// several, and a port another program holds refused at Connect.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <memory>

#include "Subprocess.h"
#include "WindowFixture.h"
#include "console/PortList.h"
#include "platform/PortDiagnosis.h"

namespace {

std::unique_ptr<RadioEmulator> StartEmulator(bool silent) {
    auto radio = std::make_unique<RadioEmulator>();
    radio->Start();
    if (silent)
        radio->SetFaults({.Silent = true});
    return radio;
}

bool Bold(const TMainForm& f, uint32_t n) {
    return f.ComboBox_PortNumber->itemData(int(n) - 1, Qt::FontRole).value<QFont>().bold();
}

}  // namespace

class tst_Ports : public QObject, protected WindowFixture {
    Q_OBJECT

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    void presentLinksAreMarkedAsTheyComeAndGo() {
        TMainForm f;
        auto radio = StartEmulator(false);
        const uint32_t n = radio->ComPort();
        // The link is seen through the watch on the ports folder, with no refresh asked for.
        QTRY_VERIFY(Bold(f, n));
        const QString tip = f.ComboBox_PortNumber->itemData(int(n) - 1, Qt::ToolTipRole).toString();
        QCOMPARE(tip, QString("COM%1: %2, pseudo-terminal").arg(n).arg(radio->SlavePath().c_str()));
        // The closed box keeps the number; the drop-down's text names the device.
        QCOMPARE(f.ComboBox_PortNumber->itemText(int(n) - 1), QString::number(n));
        QCOMPARE(f.ComboBox_PortNumber->count(), 256);
        radio.reset();
        QTRY_VERIFY(!Bold(f, n));
    }

    // With no port remembered, the box shows the first port present where a radio could be (a
    // USB port or a ports-folder link; COM2 comes before any USB port) rather than COM1, and
    // nothing is sent until Connect is ticked. Once chosen, the port is remembered and wins.
    void firstStartShowsWhereARadioCouldBe() {
        radio_ = std::make_unique<RadioEmulator>(EmulatorOptions{.ComPort = 2});
        radio_->Start();
        form_ = std::make_unique<TMainForm>();
        TMainForm& f = *form_;
        QCOMPARE(f.ComboBox_PortNumber->currentIndex(), 1);
        QCOMPARE(f.RM7UXport.CommPort, 2u);
        QVERIFY(!f.CheckBox_Connect->isChecked());
        QVERIFY(!f.Timer_ReadRadio->isActive());
        QTest::qWait(0);
        QVERIFY(radio_->EventTexts().empty());
        QCOMPARE(f.Label_ComportState->text(), QString("Inactive"));

        f.CheckBox_Connect->setChecked(true);
        Tick();
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QCOMPARE(f.SerialNumber(), 12345678);
        f.CheckBox_Connect->setChecked(false);

        // The next start keeps the port chosen, though another link now comes first.
        form_.reset();
        auto other = std::make_unique<RadioEmulator>(EmulatorOptions{.ComPort = 1});
        other->Start();
        TMainForm again;
        QCOMPARE(again.RM7UXport.CommPort, 2u);
        QVERIFY(other->EventTexts().empty());
    }

    void findTheRadioTriesEachPortAndSelectsTheOneThatAnswers() {
        TMainForm f;
        auto silent = StartEmulator(true);
        auto good = StartEmulator(false);
        QTRY_VERIFY(Bold(f, good->ComPort()));
        f.MenuItem_FindRadio->trigger();
        QCOMPARE(f.ComboBox_PortNumber->currentIndex(), int(good->ComPort()) - 1);
        QCOMPARE(f.RM7UXport.CommPort, good->ComPort());
        QCOMPARE(dialogs_->Shown.size(), size_t(1));
        const std::string& report = dialogs_->Shown[0].Text;
        QVERIFY2(report.find(silent->ComName() + " (" + silent->SlavePath() +
                             ", pseudo-terminal): No Connection") != std::string::npos,
                 report.c_str());
        QVERIFY(Has(good->EventTexts(), "rv"));

        // Connected to it, the lamp's tooltip names the device.
        f.RM7UXLoadradioData();
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QVERIFY(f.Label_ComportState->toolTip().contains(good->SlavePath().c_str()));
    }

    void aPortAnotherProgramHoldsIsRefusedAtConnect() {
        TMainForm& f = Attach();
        Subprocess terminal({"/bin/sh", "-c", "exec sleep 60 <>" + radio_->SlavePath()});
        QVERIFY(WaitFor([&] { return !FindPortHolders(radio_->SlavePath()).empty(); }));
        radio_->ClearEvents();
        f.CheckBox_Connect->setChecked(true);
        QVERIFY(!f.CheckBox_Connect->isChecked());
        QVERIFY(!f.Timer_ReadRadio->isActive());
        QCOMPARE(f.Label_ComportState->text(), QString("Not Available"));
        QVERIFY2(f.Label_ComportState->toolTip().contains("(sleep): close that program"),
                 qPrintable(f.Label_ComportState->toolTip()));
        QVERIFY(radio_->EventTexts().empty());
        terminal.Stop();
        f.CheckBox_Connect->setChecked(true);
        QVERIFY(f.CheckBox_Connect->isChecked());
    }
};

QTEST_MAIN(tst_Ports)
#include "tst_Ports.moc"
