// The history of changes as the window writes it, its view, and the antenna alignment view:
// against the emulated radio, what the radio saw and holds, and what the history then says.

#include <sys/stat.h>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "TimeZone.h"
#include "WindowFixture.h"
#include "history/ChangeHistory.h"
#include "widgets/AlignmentView.h"
#include "widgets/HistoryView.h"
#include "widgets/PowerButton.h"

namespace {

std::vector<std::string> HistoryLines(const std::string& dataHome) {
    ChangeHistory history(dataHome + "/KorvaTech/CFG_RM7UX_Radio/history.sqlite");
    std::vector<HistoryEntry> entries;
    std::string problem;
    history.Query({}, entries, problem);
    std::vector<std::string> lines;
    for (const auto& e : entries)
        lines.push_back(e.Serial + " " + e.Field + " " + e.OldValue + "->" + e.NewValue + " " +
                        e.Source + "/" + e.Action);
    return lines;
}

}  // namespace

class tst_History : public QObject, public WindowFixture {
    Q_OBJECT
  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    // Each live change and the flash save appear once, with what the radio held before; so does
    // what a read corrects (a cut-out of 30 °C).
    void windowChangesAreRecordedOnce() {
        TMainForm& f = Attach(With({{"PS", 30 + 40}}));
        Tick();
        QCOMPARE(f.SerialNumber(), 12345678);
        f.ComboBox_RFLevel->setCurrentIndex(1);
        f.ComboBox_RFLevelChange();
        f.Edit_PTTTimeout->setText("30");
        f.SetPTT();
        f.SetPTT();  // the same value again changes nothing
        f.Button_WriteRadioSettingsClick();
        QCOMPARE(radio_->FlashField("PW"), 1u);
        QCOMPARE(radio_->FlashField("PP"), 30u);
        QCOMPARE(
            HistoryLines(dir_->Path() + "/data"),
            (std::vector<std::string>{
                "12345678 flash -> window/flash", "12345678 ptt-timeout 60->30 window/adjust",
                "12345678 power 5W->1W window/adjust", "12345678 flash -> window/read correction",
                "12345678 cutout-temperature 30->215 window/read correction"}));

        // The view of this radio, newest first, and its export.
        f.Button_HistoryClick();
        auto* view = f.findChild<THistoryView*>();
        QVERIFY(view != nullptr);
        QCOMPARE(view->Table_History->rowCount(), 5);
        QCOMPARE(view->Table_History->item(0, 1)->text(), QString("flash"));
        QString problem;
        QVERIFY(view->ExportCsv(QString::fromStdString(dir_->File("h.csv")), problem));
        std::ifstream csv(dir_->File("h.csv"));
        std::string header, first;
        std::getline(csv, header);
        std::getline(csv, first);
        // Kept in UTC: "2026-12-08T09:30:00Z".
        QVERIFY2(first.rfind("Z,12345678,RM7UX,flash,", 19) == 19, first.c_str());
        view->close();
    }

    // The view shows each moment in local time with its offset, rows written before times were
    // kept in UTC (local time without a zone) among them; its export is the command line's
    // CSV, which a spreadsheet cannot run as a formula.
    void historyViewShowsLocalTimeAndExportsSafeCsv() {
        TimeZone cet(kCentralEurope);
        {
            ChangeHistory history(dir_->Path() + "/data/KorvaTech/CFG_RM7UX_Radio/history.sqlite");
            HistoryEntry old;
            old.Time = "2026-01-15T10:00:00";
            old.Serial = "12345678";
            old.Field = "cutout-temperature";
            old.OldValue = "65";
            old.NewValue = "-40";
            old.User = "=HYPERLINK(\"http://x\")";
            QVERIFY(history.Record(old));
            HistoryEntry summer = old;
            summer.Time = "2026-07-01T12:00:00Z";
            summer.User = "@SUM(A1)";
            QVERIFY(history.Record(summer));
        }
        TMainForm& f = Attach();
        Tick();
        f.Button_HistoryClick();
        auto* view = f.findChild<THistoryView*>();
        QVERIFY(view != nullptr);
        QCOMPARE(view->Table_History->item(0, 0)->text(), QString("2026-07-01 14:00:00 +02:00"));
        QCOMPARE(view->Table_History->item(1, 0)->text(), QString("2026-01-15 10:00:00 +01:00"));
        QString problem;
        QVERIFY(view->ExportCsv(QString::fromStdString(dir_->File("h.csv")), problem));
        std::ifstream file(dir_->File("h.csv"), std::ios::binary);
        const std::string csv{std::istreambuf_iterator<char>(file), {}};
        QCOMPARE(
            QString::fromStdString(csv),
            QString("time,serial,model,field,code,unit,old,new,old-raw,new-raw,source,"
                    "action,user\r\n"
                    "2026-07-01T12:00:00Z,12345678,,cutout-temperature,,,65,-40,,,,,'@SUM(A1)\r\n"
                    "2026-01-15T09:00:00Z,12345678,,cutout-temperature,,,65,-40,,,,,"
                    "\"'=HYPERLINK(\"\"http://x\"\")\"\r\n"));
        view->close();
    }

    // Open, the view follows the changes the window goes on making, newest at the top; at the
    // usual font and at half as large again (144 dpi) no column is cut; Enter in it does not
    // ask for a file.
    void historyViewFollowsChangesAndShowsEveryColumn_data() {
        QTest::addColumn<double>("scale");
        QTest::newRow("96 dpi") << 1.0;
        QTest::newRow("144 dpi") << 1.5;
    }
    void historyViewFollowsChangesAndShowsEveryColumn() {
        QFETCH(double, scale);
        const QFont usual = QApplication::font();
        QFont font = usual;
        font.setPointSizeF(usual.pointSizeF() * scale);
        QApplication::setFont(font);
        TMainForm& f = Attach();
        Tick();
        f.Edit_PTTTimeout->setText("30");
        f.SetPTT();
        f.Button_HistoryClick();
        QPointer<THistoryView> view = f.findChild<THistoryView*>();
        QVERIFY(view != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QCOMPARE(view->Table_History->rowCount(), 1);

        radio_->ClearEvents();
        f.ComboBox_RFLevel->setCurrentIndex(1);
        f.ComboBox_RFLevelChange();
        QVERIFY(Has(radio_->EventTexts(), "write PW 01"));
        QCOMPARE(view->Table_History->rowCount(), 2);
        QCOMPARE(view->Table_History->item(0, 1)->text(), QString("power"));
        QCOMPARE(view->Label_Count->text(), QString("2 changes, newest first"));
        QCOMPARE(view->Table_History->verticalScrollBar()->value(), 0);

        // Every cell and heading has the room of its text, and every column is in view.
        QTest::qWait(0);
        QTableWidget* table = view->Table_History;
        const QFontMetrics metrics = table->fontMetrics();
        for (int c = 0; c < table->columnCount(); ++c) {
            const QString heading = table->horizontalHeaderItem(c)->text();
            QVERIFY2(table->horizontalHeader()->sectionSize(c) >=
                         table->horizontalHeader()->fontMetrics().horizontalAdvance(heading),
                     qPrintable(heading));
            for (int r = 0; r < table->rowCount(); ++r) {
                const QTableWidgetItem* item = table->item(r, c);
                QVERIFY2(
                    table->visualItemRect(item).width() > metrics.horizontalAdvance(item->text()),
                    qPrintable(item->text()));
            }
        }
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);

        // Enter in the table or on the view asks for no file.
        bool fileDialog = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                fileDialog = true;
                d->reject();
            }
        });
        watch.start(5);
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Return);
        QTest::keyClick(view, Qt::Key_Enter);
        watch.stop();
        QVERIFY(!fileDialog);
        QVERIFY(view->isVisible());
        view->close();
        QApplication::setFont(usual);
    }

    // A step change keeps frequencies in MHz: each old value is read on the old grid, each new
    // one on the new, and a channel that means the same frequency is no change.
    void stepChangeIsRecordedInMegahertz() {
        TMainForm& f = Attach(With({{"PT", Channel(441.25)}, {"PR", Channel(440.00625)}}));
        Tick();
        dialogs_->Answers = {MsgResult::Yes};
        f.RadioButton_FS5000->click();
        QCOMPARE(radio_->FlashField("PC"), 1u);
        const auto lines = HistoryLines(dir_->Path() + "/data");
        // 440.00625 lies between two 5 kHz channels: it moves; 441.25 and the limits do not.
        QCOMPARE(lines,
                 (std::vector<std::string>{"12345678 flash -> window/step",
                                           "12345678 rx-frequency 440.00625->440.00500 window/step",
                                           "12345678 step 6.25->5 window/step"}));
    }

    // A history that cannot be written says so once and the save to flash goes ahead.
    void unwritableHistoryDoesNotStopTheFlashSave() {
        const std::string data = dir_->Path() + "/data";
        QCOMPARE(mkdir(data.c_str(), 0555), 0);
        std::ofstream(data + "/KorvaTech") << "a file where the folder would be";
        TMainForm& f = Attach();
        Tick();
        f.Edit_PTTTimeout->setText("40");
        f.SetPTT();
        f.Button_WriteRadioSettingsClick();
        QCOMPARE(radio_->FlashField("PP"), 40u);
        QTRY_COMPARE(dialogs_->Shown.size(), size_t{1});
        QVERIFY(dialogs_->Shown[0].Text.find("history of changes could not be written") !=
                std::string::npos);
        f.Edit_PTTTimeout->setText("41");
        f.SetPTT();
        QTest::qWait(0);
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        chmod(data.c_str(), 0755);
    }

    // Open, the view reads RSSI and, every few seconds, who the radio is and its temperature;
    // the refresh waits and resumes when it closes. A swapped radio stops it.
    void alignmentViewReadsOnlyRssiWhileOpen() {
        TMainForm& f = Attach();
        // Nothing to align with until a radio has answered.
        QVERIFY(!f.Button_Alignment->isEnabled());
        Tick();
        QVERIFY(f.Button_Alignment->isEnabled());
        f.Timer_ReadRadio->start();
        radio_->ClearEvents();
        f.Button_AlignmentClick();
        QPointer<TAlignmentView> view = f.AlignmentView;
        QVERIFY(view != nullptr);
        QVERIFY(!f.Timer_ReadRadio->isActive());
        QTRY_VERIFY2_WITH_TIMEOUT(
            view->Readings() >= 200,
            qPrintable(view->Label_Status->text() + " " + QString::number(view->Readings()) + " " +
                       QString::number(radio_->EventTexts().size())),
            20000);
        int rr = 0;
        for (const std::string& e : radio_->EventTexts()) {
            if (e == "read RR")
                ++rr;
            else
                QVERIFY2(e == "rv" || e == "read PN" || e == "read RT" || e == "cr", e.c_str());
        }
        QVERIFY(rr >= 200);
        QCOMPARE(view->Label_Rssi->text(), QString("42"));
        // A silent radio is said so in the view, and told to the window once the view gives the
        // link back; an answering one is read again, and the window reads it as usual.
        radio_->SetFaults({.Silent = true});
        QTRY_COMPARE_WITH_TIMEOUT(view->Label_Status->text(), QString("No reading from the radio"),
                                  10000);
        view->close();
        QTRY_VERIFY(view == nullptr);
        QCOMPARE(f.Label_ComportState->text(), QString("Time out"));
        QVERIFY(f.Timer_ReadRadio->isActive());
        QVERIFY(!f.RM7UXport.IsOpen());
        radio_->SetFaults({});
        f.Timer_ReadRadio->stop();
        Tick();
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));

        // Refused while the TX test is on.
        f.Timer_ReadRadio->stop();
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), 1);
        f.Button_AlignmentClick();
        QVERIFY(f.AlignmentView == nullptr);
        QCOMPARE(dialogs_->Shown.back().Text,
                 "The Transmitter must be turned OFF during the antenna alignment");
        f.PowerButton_TxOn->Toggle();
        QCOMPARE(f.TransmitterOn(), 0);

        f.Timer_ReadRadio->stop();
        f.Button_AlignmentClick();
        view = f.AlignmentView;
        QTRY_VERIFY(view->Readings() > 0);
        RadioPersonality other = RadioPersonality::RM7UH();
        other.SetSerial(7654321);
        radio_->SwapRadio(other);
        QTRY_VERIFY_WITH_TIMEOUT(f.SerialNumber() == -1, 15000);
        QVERIFY(view->Label_Status->text().startsWith("Another radio"));
        QVERIFY(!f.RM7UXport.IsOpen());
        view->close();
    }
};

QTEST_MAIN(tst_History)
#include "tst_History.moc"
