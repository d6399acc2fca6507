// Help from the real window with no CHM viewer installed: the manual opens in the help window at
// the topic of the control, and asking for help changes nothing in the radio.

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "WindowFixture.h"
#include "console/Advanced.h"
#include "platform/HelpViewer.h"
#include "widgets/HelpWindow.h"
#include "widgets/HtmlHelp.h"

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
        QCOMPARE(topic, QString("main-window"));
        QCOMPARE(helpParent, &password);
        QVERIFY(!f.AdvancedMode);
    }
};

QTEST_MAIN(tst_Help)
#include "tst_Help.moc"
