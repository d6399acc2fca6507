// The window on a radio at a remote site: a COMn address file in the ports folder leads through
// Debian's ser2net (RFC 2217) to the emulated radio. The connection is held while Connect is
// ticked and freed when it is unticked; a read, the TX test and Program From File go through it;
// and a connection lost mid-read leaves the transmitter to be released when the line is back.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <atomic>
#include <fstream>
#include <memory>

#include "DelayProxy.h"
#include "Ser2net.h"
#include "WindowFixture.h"
#include "config/RM7UXFlashConfigObj.h"
#include "link/RM7UXcomms.h"
#include "platform/PortNames.h"
#include "platform/UserFolders.h"
#include "widgets/PowerButton.h"

using namespace std::chrono_literals;

class tst_Network : public QObject, protected WindowFixture {
    Q_OBJECT

  private:
    std::unique_ptr<Ser2net> server_;
    std::unique_ptr<DelayProxy> network_;
    std::function<void(const RadioEvent&)> onEvent_;

    // The radio behind ser2net behind a network with `delay` each way, as COM7 of the window.
    TMainForm& AtSite(std::chrono::milliseconds delay) {
        EmulatorOptions options;
        options.OnEvent = [this](const RadioEvent& e) {
            if (onEvent_)
                onEvent_(e);
        };
        radio_ = std::make_unique<RadioEmulator>(options);
        radio_->Start();
        server_ = std::make_unique<Ser2net>(radio_->SlavePath(), dir_->Path());
        network_ = std::make_unique<DelayProxy>(server_->RfcPort(), delay);
        WriteAddressFile(7, network_->Address("rfc2217"));
        form_ = std::make_unique<TMainForm>();
        form_->ComboBox_PortNumber->setCurrentIndex(6);
        form_->ApplyPortSelection();
        return *form_;
    }

  private slots:
    void init() {
        if (!Ser2net::Installed())
            QSKIP("ser2net is not installed (apt-get install ser2net)");
        SetUpWindow();
    }
    void cleanup() {
        onEvent_ = nullptr;
        form_.reset();
        network_.reset();
        server_.reset();
        TearDownWindow();
    }

    void readsTestsAndProgramsThroughAHeldConnection() {
        TMainForm& f = AtSite(0ms);
        QVERIFY(server_->Ready());
        // The list shows the network port with its host.
        const QString item = f.ComboBox_PortNumber->itemData(6, Qt::ToolTipRole).toString();
        QVERIFY2(item.startsWith("COM7: " + QString::fromStdString(network_->Address("rfc2217")) +
                                 ", network port on 127.0.0.1:"),
                 qPrintable(item));
        QVERIFY(item.endsWith("(RFC 2217)"));

        f.CheckBox_Connect->setChecked(true);
        f.Timer_ReadRadio->stop();  // the refreshes are run by hand below
        for (int i = 0; i < 3; ++i)
            Tick();
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QCOMPARE(f.Label_SerialNO->text(), QString("12345678"));
        // One connection for every refresh, and the lamp says so.
        QCOMPARE(network_->Accepted(), 1);
        const QString tip = f.Label_ComportState->toolTip();
        QVERIFY2(tip.contains("Round trip") && tip.contains("connection held"), qPrintable(tip));

        f.PowerButton_TxOn->Toggle();
        QVERIFY(radio_->Transmitting());
        f.PowerButton_TxOn->Toggle();
        QVERIFY(!radio_->Transmitting());
        QCOMPARE(f.TransmitterOn(), 0);

        // Program From File: the file read from this radio, written back, saved and reset.
        TRM7UXFlashRecordClass record;
        QVERIFY(record.ReadFromRadio());
        record.SetFileName(dir_->File("site.RM7UX"));
        QVERIFY(record.SaveToFile());
        f.FileDialogHook = [this](TFileDialog& d) {
            d.FileName = dir_->File("site.RM7UX");
            return true;
        };
        radio_->ClearEvents();
        dialogs_->Answers = {MsgResult::OK, MsgResult::OK, MsgResult::OK};
        f.BitBtn_WriteConfigClick();
        const Texts changes = Changes(*radio_);
        QVERIFY2(
            Has(changes, "write PT 5780") && Has(changes, "flash") && Has(changes, "reset"),
            qPrintable(QString::fromStdString(
                dialogs_->Texts().empty() ? std::string("no box") : dialogs_->Texts().back())));
        QCOMPARE(network_->Accepted(), 1);

        // Unticked, the server is free for another client at once.
        f.CheckBox_Connect->setChecked(false);
        QTRY_COMPARE(network_->Open(), 0);
        QVERIFY(!f.Label_ComportState->toolTip().contains("connection held"));
    }

    void aServerOutOfReachIsSaidAndAnEditedAddressFollowed() {
        TMainForm& f = AtSite(0ms);
        const uint16_t closed = FreeLoopbackPort();
        const std::string nowhere = "tcp://127.0.0.1:" + std::to_string(closed);
        WriteAddressFile(7, nowhere);
        QTRY_VERIFY(f.ComboBox_PortNumber->itemData(6, Qt::ToolTipRole)
                        .toString()
                        .contains(QString::fromStdString(nowhere)));
        f.RM7UXLoadradioData();
        QCOMPARE(f.Label_ComportState->text(), QString("Not Available"));
        QCOMPARE(f.Label_ComportState->toolTip().toStdString(),
                 "COM7: " + nowhere + ": the connection was refused: nothing listens on port " +
                     std::to_string(closed) + " of 127.0.0.1");
        // Edited in place, as a technician does with an editor: the list and the link follow.
        std::ofstream(PortsFolder() + "/COM7", std::ios::trunc) << server_->TcpAddress() << "\n";
        QTRY_VERIFY(f.ComboBox_PortNumber->itemData(6, Qt::ToolTipRole)
                        .toString()
                        .contains(QString::fromStdString(server_->TcpAddress())));
        f.RM7UXLoadradioData();
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
    }

    void aConnectionLostMidReadIsReleasedWhenTheLineIsBack() {
        // A delay on the way back makes sure the read's O4 cannot leave before the cut.
        TMainForm& f = AtSite(50ms);
        f.CheckBox_Connect->setChecked(true);
        f.Timer_ReadRadio->stop();
        std::atomic<bool> cut{false};
        onEvent_ = [&](const RadioEvent& e) {
            if (e.Text() == "tx on" && !cut.exchange(true))
                network_->Cut();
        };
        Tick();
        onEvent_ = nullptr;
        QVERIFY(cut);
        QVERIFY(radio_->Transmitting());
        QVERIFY(f.Label_ComportState->text() != "Connected");
        QVERIFY2(f.Label_ComportState->toolTip().contains("the server closed the connection"),
                 qPrintable(f.Label_ComportState->toolTip()));
        QCOMPARE(dialogs_->Texts(),
                 Texts{"The radio did not confirm that its transmitter is off.\r\nSwitch the "
                       "radio off."});
        // The next refresh connects again, reads in full and so releases the transmitter.
        Tick();
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QVERIFY(!radio_->Transmitting());
        QVERIFY(!TransmitterMayBeOn());
        QCOMPARE(network_->Accepted(), 2);
    }
};

QTEST_MAIN(tst_Network)
#include "tst_Network.moc"
