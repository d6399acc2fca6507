// What a screen reader finds in the window: the interfaces AT-SPI reads (QAccessible), with
// their roles, names and states, and the colours that carry a state. Against the emulated radio,
// so a control worked through its accessible action is seen by the radio too.

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "WindowFixture.h"
#include "console/Advanced.h"
#include "widgets/AlignmentView.h"
#include "widgets/FormBubbleHint.h"
#include "widgets/PowerButton.h"
#include "widgets/SignalPlot.h"

namespace {

struct Node {
    QAccessibleInterface* Interface;
    QObject* Object;
    QAccessible::Role Role;
    QString Name, Description;
    QAccessible::State State;
};

// Every interface below `root`, as an AT-SPI client walks the tree.
std::vector<Node> Tree(QObject* root) {
    std::vector<Node> nodes;
    std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* a, int depth) {
        if (a == nullptr || !a->isValid() || depth > 40)
            return;
        nodes.push_back({a, a->object(), a->role(), a->text(QAccessible::Name),
                         a->text(QAccessible::Description), a->state()});
        for (int i = 0; i < a->childCount(); ++i)
            walk(a->child(i), depth + 1);
    };
    walk(QAccessible::queryAccessibleInterface(root), 0);
    return nodes;
}

const Node* Find(const std::vector<Node>& nodes, const QObject* object) {
    for (const Node& n : nodes) {
        if (n.Object == object)
            return &n;
    }
    return nullptr;
}

// How many pixels of `widget` are within `tolerance` of `colour` in every channel.
int PixelsNear(QWidget* widget, const QColor& colour, int tolerance = 24) {
    const QImage image = widget->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance &&
                std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                ++count;
        }
    }
    return count;
}

}  // namespace

class tst_Accessibility : public QObject, protected WindowFixture {
    Q_OBJECT

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() {
        qApp->setStyleSheet(QString());
        TearDownWindow();
    }

    // Every control the keyboard reaches has a name and a role that says what it is; the
    // hidden step group is not in the tree; no text carries a raw CR; the temperature's unit is
    // one label, and Cutout Temp has its own.
    void everyControlIsNamedAndNothingHiddenIsListed() {
        TMainForm& f = Attach();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        Tick();
        f.SetAdvancedMode(true, true);
        const std::vector<Node> nodes = Tree(&f);
        QVERIFY(nodes.size() > 60);

        for (QWidget* w : f.findChildren<QWidget*>()) {
            if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || w->window() != &f)
                continue;
            const Node* n = Find(nodes, w);
            if (n == nullptr && w->objectName() == "qt_spinbox_lineedit")
                continue;
            QVERIFY2(n != nullptr, qPrintable(w->objectName() + " is not in the tree"));
            QVERIFY2(!n->Name.trimmed().isEmpty(), qPrintable(w->objectName() + " has no name"));
            // "filler" to AT-SPI: a control nobody can tell the purpose of.
            QVERIFY2(n->Role != QAccessible::Client, qPrintable(w->objectName() + " has no role"));
        }
        QCOMPARE(Find(nodes, f.Edit_TXFreq)->Name, QString("TX Frequency (MHz)"));
        QCOMPARE(Find(nodes, f.Edit_CutoutTemp)->Name, QString("Cutout Temp"));
        // On Linux a combo box's name is its current text; its label comes as a relation.
        bool labelled = false;
        for (const auto& [label, relation] :
             Find(nodes, f.ComboBox_PortNumber)->Interface->relations(QAccessible::Label))
            labelled = labelled || label->text(QAccessible::Name) == "Com Port";
        QVERIFY(labelled);

        int degreeLabels = 0;
        for (const Node& n : nodes) {
            QVERIFY2(!n.Name.contains('\r') && !n.Description.contains('\r'), qPrintable(n.Name));
            QVERIFY2(!n.Name.contains("DO NOT DELETE"), qPrintable(n.Name));
            QVERIFY(n.Object != f.RadioGroup_FreqStep);
            QVERIFY(n.Object == nullptr || n.Object->parent() != f.RadioGroup_FreqStep);
            if (n.Role == QAccessible::StaticText) {
                QVERIFY2(n.Name != "o" && n.Name != "C", "a unit read as two letters");
                degreeLabels += n.Name == QString("°C") ? 1 : 0;
            }
        }
        QCOMPARE(degreeLabels, 2);  // the temperature's and Cutout Temp's
    }

    // TX ON and Modem are toggle buttons: pressed and checked while down. Switched through the
    // accessible action, TX ON keys the radio and lets it go, as a click does.
    void powerButtonsAreToggleButtonsThatWork() {
        TMainForm& f = Attach();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        Tick();
        for (auto [button, name] : {std::pair{f.PowerButton_TxOn, "TX ON"},
                                    std::pair{f.PowerButton_M82KDModem, "Modem"}}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(button);
            QCOMPARE(a->role(), QAccessible::Button);
            QCOMPARE(a->text(QAccessible::Name), QString(name));
            QVERIFY(a->state().checkable);
            QVERIFY(!a->state().checked);
        }
        f.CheckBox_Connect->setChecked(true);
        QAccessibleInterface* tx = QAccessible::queryAccessibleInterface(f.PowerButton_TxOn);
        radio_->ClearEvents();
        tx->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(Has(radio_->EventTexts(), "tx on"));
        QCOMPARE(f.TransmitterOn(), 1);
        QVERIFY(tx->state().checked);
        QVERIFY(tx->state().pressed);
        // Its caption is the window's green, which reads on the pressed face (4.85:1), not
        // Qt's #00FF00 (1.3:1).
        QCOMPARE(f.PowerButton_TxOn->CaptionColour(), QColor(0x00, 0x80, 0x00));
        QVERIFY(PixelsNear(f.PowerButton_TxOn, QColor(0x00, 0x80, 0x00), 40) > 5);
        QCOMPARE(PixelsNear(f.PowerButton_TxOn, QColor(0x00, 0xFF, 0x00), 40), 0);
        QCOMPARE(f.PowerButton_M82KDModem->TextGlowColour(), QColor(0x00, 0x80, 0x00));

        tx->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(Has(radio_->EventTexts(), "tx off"));
        QCOMPARE(f.TransmitterOn(), 0);
        QVERIFY(!tx->state().checked);
        f.CheckBox_Connect->setChecked(false);
    }

    // The password field is named by its label; the dialog lays its texts out at any font.
    void passwordFieldIsNamedAndFitsALargeFont() {
        TMainForm& f = Attach();
        TForm_Password password(&f);
        QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(password.Edit_Password);
        QCOMPARE(edit->role(), QAccessible::EditableText);
        QCOMPARE(edit->text(QAccessible::Name), QString("Password"));
        QVERIFY(edit->state().passwordEdit);

        QFont large = password.font();
        large.setPointSizeF(18);
        password.setFont(large);
        password.show();
        QVERIFY(QTest::qWaitForWindowExposed(&password));
        for (QWidget* w : std::initializer_list<QWidget*>{password.Label1, password.Button_OK,
                                                          password.Button_Cancel}) {
            const QString text = w == password.Label1 ? password.Label1->text()
                                                      : static_cast<QPushButton*>(w)->text();
            QVERIFY2(w->width() >= w->fontMetrics().horizontalAdvance(text),
                     qPrintable(text + " is cut"));
            QVERIFY(password.rect().contains(w->geometry()));
        }
        password.hide();
    }

    // The balloon reads its lines, not "\r\n"; the alignment plot is a chart named for what it
    // shows, whose description gives the current reading and the peak.
    void balloonAndPlotReadTheirText() {
        TMainForm& f = Attach();
        TForm_BubbleHint hint;
        f.Form_BubbleHint = &hint;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.PowerButton_TxOnEnter(f.PowerButton_TxOn);
        QVERIFY(hint.isVisible());
        const QString said =
            QAccessible::queryAccessibleInterface(hint.Label_Hint)->text(QAccessible::Name);
        QVERIFY(said.startsWith("It is necessary to put the Radio into tone reversal mode."));
        QVERIFY(!said.contains('\r'));
        hint.hide();

        Tick();
        f.Button_AlignmentClick();
        QPointer<TAlignmentView> view = f.AlignmentView;
        QVERIFY(view != nullptr);
        QTRY_VERIFY(view->Readings() > 10);
        QAccessibleInterface* plot = QAccessible::queryAccessibleInterface(view->Plot);
        QCOMPARE(plot->role(), QAccessible::Chart);
        QVERIFY(plot->text(QAccessible::Name).contains("RSSI"));
        const QString readings = plot->text(QAccessible::Description);
        QVERIFY2(readings.contains("Raw RSSI 42, peak 42"), qPrintable(readings));
        QTRY_VERIFY(plot->text(QAccessible::Description).contains("Temperature"));
        QVERIFY(plot->text(QAccessible::Description).contains("°C"));
        view->close();
        QTRY_VERIFY(view == nullptr);
    }

    // Under a style sheet that colours every label and button, "Connected", "No Alarms" and the
    // unsaved changes on Save to Flash are still drawn in their colours.
    void stateColoursSurviveAStyleSheet() {
        qApp->setStyleSheet("QLabel { color: #303030; } QPushButton { color: #303030; }");
        TMainForm& f = Attach();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        Tick();
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QVERIFY(PixelsNear(f.Label_ComportState, QColor(0x00, 0x80, 0x00), 40) > 5);
        QCOMPARE(f.Label_Alarms->text(), QString("No Alarms"));
        QVERIFY(PixelsNear(f.Label_Alarms, QColor(0x00, 0x80, 0x00), 40) > 5);
        f.Edit_PTTTimeout->setText("30");
        f.SetPTT();
        QVERIFY(f.ChangesMade());
        QVERIFY(PixelsNear(f.Button_WriteRadioSettings, QColor(0xFF, 0x00, 0x00), 40) > 5);
        // Saved, the caption is the sheet's again.
        f.Button_WriteRadioSettingsClick();
        QVERIFY(!f.ChangesMade());
        QCOMPARE(PixelsNear(f.Button_WriteRadioSettings, QColor(0xFF, 0x00, 0x00), 40), 0);
    }
};

QTEST_MAIN(tst_Accessibility)
#include "tst_Accessibility.moc"
