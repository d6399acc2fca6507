// The window at fonts, palettes and screen readers other than the designer's: with a radio read
// and both panels shown, no text is wider than its control, the coloured texts read on a dark
// palette, every control has a name and the keyboard goes through the window as the eye does.
// RM7UX_WINDOW_SHOTS=<folder> keeps what the window looked like.

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>

#include "WindowFixture.h"
#include "widgets/PowerButton.h"

namespace {

double Luminance(const QColor& c) {
    auto ch = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * ch(c.redF()) + 0.7152 * ch(c.greenF()) + 0.0722 * ch(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The text a control shows, and the width it has for it.
QString Text(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text().remove('&');
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (auto* c = qobject_cast<const QComboBox*>(w))
        return c->currentText();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    if (auto* p = qobject_cast<const TPowerButton*>(w))
        return p->Caption();
    return {};
}

class CountLayoutRequests : public QObject {
  public:
    int Count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        Count += e->type() == QEvent::LayoutRequest;
        return false;
    }
};

void Shoot(QWidget& w, const QString& name) {
    if (const QString folder = qEnvironmentVariable("RM7UX_WINDOW_SHOTS"); !folder.isEmpty())
        w.grab().save(folder + "/" + name + ".png");
}

}  // namespace

class tst_Layout : public QObject, protected WindowFixture {
    Q_OBJECT

    // A radio with alarms read in full, both panels and the file buttons shown.
    TMainForm& ReadAndShowAll() {
        TMainForm& f = Attach(With({{"RC", 0x7}}));
        Tick();
        f.SetAdvancedMode(true, true);
        f.SetChangesMadeState(true);
        f.show();
        QCoreApplication::processEvents();
        return f;
    }

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() {
        TearDownWindow();
        QApplication::setFont(QFont());
        QApplication::setPalette(QPalette());
    }

    void noTextIsClippedAtALargeFont() {
        QFont large = QApplication::font();
        large.setPointSize(18);
        QApplication::setFont(large);
        TMainForm& f = ReadAndShowAll();
        Shoot(f, "large-font");
        QCOMPARE(f.Label_ComportState->text(), QString("Connected"));
        QVERIFY(!f.Label_Alarms->text().isEmpty());
        QVERIFY(f.width() > 364);
        int checked = 0;
        for (QWidget* w : f.findChildren<QWidget*>()) {
            const QString text = Text(w);
            if (!w->isVisible() || text.isEmpty())
                continue;
            const int needed = w->fontMetrics().horizontalAdvance(text);
            QVERIFY2(needed <= w->contentsRect().width(),
                     qPrintable(QString("\"%1\" (%2) needs %3 pixels, has %4")
                                    .arg(text, w->objectName())
                                    .arg(needed)
                                    .arg(w->contentsRect().width())));
            QVERIFY2(w->fontMetrics().height() <= w->height(), qPrintable(text));
            ++checked;
        }
        QVERIFY(checked > 50);
    }

    void aLongerTextWidensTheWindowWhichThenSettles() {
        TMainForm& f = ReadAndShowAll();
        const int before = f.width();
        CountLayoutRequests requests;
        f.installEventFilter(&requests);
        f.Label_Alarms->setText(QString("Temp, PTT, PLL, ").repeated(5));
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QVERIFY(f.width() > before);
        QVERIFY(f.Label_Alarms->fontMetrics().horizontalAdvance(f.Label_Alarms->text()) <=
                f.Label_Alarms->width());
        QVERIFY2(requests.Count < 5, "the window keeps laying itself out");
    }

    void colouredTextsReadOnADarkPalette() {
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QPalette dark = QApplication::style()->standardPalette();
        for (auto [role, colour] : {std::pair{QPalette::Window, QColor(0x35, 0x35, 0x35)},
                                    {QPalette::Button, QColor(0x35, 0x35, 0x35)},
                                    {QPalette::Base, QColor(0x2a, 0x2a, 0x2a)},
                                    {QPalette::WindowText, QColor(Qt::white)},
                                    {QPalette::ButtonText, QColor(Qt::white)},
                                    {QPalette::Text, QColor(Qt::white)}})
            dark.setColor(role, colour);
        QApplication::setPalette(dark);
        TMainForm& f = ReadAndShowAll();
        Shoot(f, "dark");
        struct Coloured {
            QWidget* w;
            QPalette::ColorRole text, background;
            int hue;
        };
        for (const Coloured& c :
             {Coloured{f.Label_Alarms, QPalette::WindowText, QPalette::Window, 0},
              {f.Label_ComportState, QPalette::WindowText, QPalette::Window, 120},
              {f.Button_WriteRadioSettings, QPalette::ButtonText, QPalette::Button, 0}}) {
            const QColor shown = c.w->palette().color(QPalette::Active, c.text);
            QVERIFY2(Contrast(shown, c.w->palette().color(c.background)) >= 4.5,
                     qPrintable(c.w->objectName()));
            QCOMPARE(shown.hslHue(), c.hue);  // red stays red, green green
        }
    }

    void screenReadersAndKeyboard() {
        TMainForm& f = ReadAndShowAll();
        // On Linux a list box is named by its label's relation; its name is its text.
        bool labelled = false;
        for (const auto& [other, relation] :
             QAccessible::queryAccessibleInterface(f.ComboBox_PortNumber)
                 ->relations(QAccessible::Label))
            labelled = labelled || other->text(QAccessible::Name) == "Com Port";
        QVERIFY(labelled);
        QVERIFY(QAccessible::queryAccessibleInterface(f.BitBtn_TxFreqCopy)
                    ->text(QAccessible::Name)
                    .contains("TX frequency"));
        // From Help, Tab runs row by row, left to right, through every control once.
        QWidget* w = f.Button_Help;
        QSet<QWidget*> seen;
        do {
            QWidget* next = w->nextInFocusChain();
            // The window's own controls, not the parts Qt builds them from.
            while (next != f.Button_Help &&
                   !(next->isVisible() && next->focusPolicy() & Qt::TabFocus &&
                     !next->objectName().isEmpty() && !next->objectName().startsWith("qt_")))
                next = next->nextInFocusChain();
            QVERIFY2(!QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty(),
                     qPrintable(w->objectName()));
            if (next == f.Button_Help)
                break;
            const QPoint a = w->mapTo(&f, QPoint()), b = next->mapTo(&f, QPoint());
            QVERIFY2(b.y() > a.y() + 8 || (std::abs(b.y() - a.y()) <= 8 && b.x() > a.x()),
                     qPrintable(w->objectName() + " before " + next->objectName()));
            seen.insert(w);
            w = next;
        } while (!seen.contains(w));
        QVERIFY(seen.size() >= 20);
    }
};

QTEST_MAIN(tst_Layout)
#include "tst_Layout.moc"
