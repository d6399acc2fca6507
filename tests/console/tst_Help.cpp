// Help from the real window with no CHM viewer installed: the manual opens in the help window at
// the topic of the control, and asking for help changes nothing in the radio.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "WindowFixture.h"
#include "console/Advanced.h"
#include "platform/HelpViewer.h"
#include "widgets/AlignmentView.h"
#include "widgets/HelpWindow.h"
#include "widgets/HistoryView.h"
#include "widgets/HtmlHelp.h"
#include "widgets/PowerButton.h"

class tst_Help : public QObject, protected WindowFixture {
    Q_OBJECT

    static QString Topic() {
        THelpWindow* w = CurrentHelpWindow();
        return w != nullptr && w->isVisible() ? w->Browser->source().fragment() : QString();
    }

  private slots:
    void init() {
        SetUpWindow();
        SetHtmlHelpFunction(DefaultHtmlHelpFunction(THelpViewer{}));
    }
    void cleanup() {
        UnloadHtmlHelp();
        TearDownWindow();
    }

    void helpKeyAndButtonOpenTheirTopics() {
        TMainForm& f = Attach();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        Tick();
        QVERIFY(f.Edit_PTTTimeout->isEnabled());
        const QString ptt = f.Edit_PTTTimeout->text();
        f.activateWindow();
        f.Edit_PTTTimeout->setFocus();
        radio_->ClearEvents();

        QTest::keyClick(f.Edit_PTTTimeout, Qt::Key_F1);
        QCOMPARE(Topic(), QString("ptt-timeout"));
        QVERIFY(CurrentHelpWindow()->Browser->toPlainText().contains("PTT time-out"));
        QTest::keyClick(f.Edit_TXFreq, Qt::Key_F1);
        QCOMPARE(Topic(), QString("frequencies"));
        QTest::mouseClick(f.Button_Help, Qt::LeftButton);
        QCOMPARE(Topic(), QString("main-window"));

        // Reading help sends nothing: the PTT box lost the focus unchanged.
        QCOMPARE(f.Edit_PTTTimeout->text(), ptt);
        QVERIFY(Changes(*radio_, true).empty());
        QVERIFY(dialogs_->Shown.empty());
    }

    // F1 on every control that has a part of the manual opens that part, and reading help
    // changes nothing in the radio. Every control the keyboard reaches is in the table, so a new
    // one without its part is noticed.
    void everyControlOpensItsOwnSection() {
        TMainForm& f = Attach();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        Tick();
        QVERIFY(f.Edit_PTTTimeout->isEnabled());
        f.SetAdvancedMode(true, true);
        f.activateWindow();
        radio_->ClearEvents();

        const std::pair<QWidget*, QString> sections[] = {
            {f.Button_Help, "main-window"},
            {f.ComboBox_PortNumber, "ports"},
            {f.CheckBox_Connect, "connect"},
            {f.PowerButton_M82KDModem, "modem"},
            {f.BitBtn_TxFreqCopy, "frequencies"},
            {f.Edit_TXFreq, "frequencies"},
            {f.BitBtn_RxFreqCopy, "frequencies"},
            {f.Edit_RXFreq, "frequencies"},
            {f.RadioButton_FS6250, "frequency-step"},
            {f.RadioButton_FS5000, "frequency-step"},
            {f.Edit_PTTTimeout, "ptt-timeout"},
            {f.SpinEdit_CTCSS, "ctcss"},
            {f.PowerButton_TxOn, "tx-test"},
            {f.ComboBox_RFLevel, "power-level"},
            {f.Button_Advanced, "advanced"},
            {f.Button_Alignment, "align"},
            {f.Button_WriteRadioSettings, "save-to-flash"},
            {f.ScrollBar_Deviation, "calibration"},
            {f.ScrollBar_ModBalance, "calibration"},
            {f.ScrollBar_RfPwm, "calibration"},
            {f.ScrollBar_RfOffset, "calibration"},
            {f.Edit_CutoutTemp, "cutout"},
            {f.ComboBox_FreqBand, "band"},
            {f.BitBtn_SaveConfig, "files"},
            {f.BitBtn_WriteConfig, "files"},
            {f.Button_History, "history"},
        };
        QSet<QWidget*> listed;
        for (const auto& [control, section] : sections) {
            listed.insert(control);
            QVERIFY2(control->isVisible(), qPrintable(control->objectName()));
            QTest::keyClick(control, Qt::Key_F1);
            QVERIFY2(Topic() == section,
                     qPrintable(control->objectName() + ": " + Topic() + ", not " + section));
            // The part exists: the browser found its anchor.
            QVERIFY(CurrentHelpWindow()->Browser->toPlainText().size() > 1000);
        }
        for (QWidget* w : f.findChildren<QWidget*>()) {
            if (w->isVisible() && w->focusPolicy() & Qt::TabFocus && w->window() == &f &&
                qobject_cast<QAbstractButton*>(w->parentWidget()) == nullptr &&
                w->objectName() != "qt_spinbox_lineedit")
                QVERIFY2(listed.contains(w), qPrintable(w->objectName() + " has no section"));
        }
        QVERIFY(Changes(*radio_, true).empty());
        QVERIFY(dialogs_->Shown.empty());
    }

    // The alignment and history windows open their own parts.
    void alignmentAndHistoryWindowsOpenTheirSections() {
        TMainForm& f = Attach();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        Tick();
        f.Button_HistoryClick();
        auto* history = f.findChild<THistoryView*>();
        QVERIFY(history != nullptr);
        QTest::keyClick(history->Table_History, Qt::Key_F1);
        QCOMPARE(Topic(), QString("history"));
        history->close();

        f.Button_AlignmentClick();
        QPointer<TAlignmentView> view = f.AlignmentView;
        QVERIFY(view != nullptr);
        QTRY_VERIFY(view->Readings() > 0);
        QTest::keyClick(view->Button_ResetPeak, Qt::Key_F1);
        QCOMPARE(Topic(), QString("align"));
        // Help did not stop the readings.
        const int64_t readings = view->Readings();
        QTRY_VERIFY(view->Readings() > readings);
        view->close();
        QTRY_VERIFY(view == nullptr);
    }

    void helpFromTheModalPasswordDialogIsNotBlockedByIt() {
        TMainForm& f = Attach();
        TForm_Password password(&f);
        f.Form_Password = &password;
        QWidget* helpParent = nullptr;
        QString topic;
        QTimer::singleShot(0, &password, [&] {
            QTest::keyClick(password.Edit_Password, Qt::Key_F1);
            topic = Topic();
            helpParent = CurrentHelpWindow()->parentWidget();
            password.Button_Cancel->click();
        });
        f.Button_Advanced->click();
        QCOMPARE(topic, QString("advanced"));
        QCOMPARE(helpParent, &password);
        QVERIFY(!f.AdvancedMode());
    }
};

QTEST_MAIN(tst_Help)
#include "tst_Help.moc"
