#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "widgets/PowerButton.h"

namespace {

const QColor kDownFace(249, 249, 240);

// A shown, active window holding the button and an edit that can hold the focus instead.
struct Fixture {
    QWidget window;
    TPowerButton* button = new TPowerButton(&window);
    QLineEdit* edit = new QLineEdit(&window);
    QStringList events;

    Fixture() {
        button->setGeometry(10, 10, 69, 33);
        edit->setGeometry(10, 60, 100, 20);
        button->SetCaption(QStringLiteral("TX ON"));
        button->OnBeforeClick = [this](TPowerButton*, bool&) { events << "before"; };
        button->OnClick = [this](TPowerButton* b) {
            events << QStringLiteral("click down=%1").arg(b->ButtonDown());
        };
        button->OnKeyPress = [this](TPowerButton* b, char& key) {
            events << QStringLiteral("key %1 down=%2").arg(int(key)).arg(b->ButtonDown());
        };
        window.show();
        window.activateWindow();
    }
};

QColor PixelAt(TPowerButton& b, QPoint p) {
    return b.grab().toImage().pixelColor(p);
}

}  // namespace

class TestPowerButton : public QObject {
    Q_OBJECT
  private slots:
    void decodesToggleChars_data();
    void decodesToggleChars();
    void keysToggle_data();
    void keysToggle();
    void vetoKeepsStateFocusAndPicture();
    void acceptedClickTakesFocusAndReports();
    void settingButtonDownIsSilent();
    void roundsHalvesToEven();
    void ledAndCaptionGeometry_data();
    void ledAndCaptionGeometry();
    void paintsStateColours();
    void screenReadersSeeAToggleButton();
};

void TestPowerButton::decodesToggleChars_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("decoded");
    QTest::newRow("modem set") << QByteArray("\\\\n ") << QByteArray("\\n ");
    QTest::newRow("trailing backslash") << QByteArray("ab\\") << QByteArray("ab\\");
    QTest::newRow("other escape") << QByteArray("\\x") << QByteArray("\\x");
    QTest::newRow("escaped backslash then n") << QByteArray("\\\\\\n") << QByteArray("\\\r");
}

void TestPowerButton::decodesToggleChars() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, decoded);
    TPowerButton b;
    b.SetToggleChars(text.toStdString());
    QCOMPARE(QByteArray::fromStdString(b.DecodedToggleChars()), decoded);
}

void TestPowerButton::keysToggle_data() {
    QTest::addColumn<QByteArray>("toggleChars");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("toggles");
    QTest::newRow("enter") << QByteArray("\\n ") << int(Qt::Key_Return) << true;
    QTest::newRow("keypad enter") << QByteArray("\\n ") << int(Qt::Key_Enter) << true;
    QTest::newRow("space") << QByteArray("\\n ") << int(Qt::Key_Space) << true;
    QTest::newRow("letter n") << QByteArray("\\n ") << int(Qt::Key_N) << false;
    QTest::newRow("backslash not in set") << QByteArray("\\n ") << int(Qt::Key_Backslash) << false;
    QTest::newRow("backspace is 8") << QByteArray("\\t") << int(Qt::Key_Backspace) << true;
    QTest::newRow("letter t") << QByteArray("\\t") << int(Qt::Key_T) << false;
    QTest::newRow("trailing backslash") << QByteArray("a\\") << int(Qt::Key_Backslash) << true;
    QTest::newRow("nothing toggles") << QByteArray("") << int(Qt::Key_Space) << false;
}

void TestPowerButton::keysToggle() {
    QFETCH(QByteArray, toggleChars);
    QFETCH(int, key);
    QFETCH(bool, toggles);
    Fixture f;
    f.button->SetToggleChars(toggleChars.toStdString());
    QTest::keyClick(f.button, Qt::Key(key));
    QCOMPARE(f.button->ButtonDown(), toggles);
    // The owner sees every character key, after the toggle when there is one.
    QVERIFY(!f.events.isEmpty());
    QVERIFY(f.events.last().startsWith("key "));
    QCOMPARE(f.events.size(), toggles ? 3 : 1);
    if (toggles) {
        QCOMPARE(f.events[0], QStringLiteral("before"));
        QCOMPARE(f.events[1], QStringLiteral("click down=1"));
        QVERIFY(f.events[2].endsWith("down=1"));
    }
}

void TestPowerButton::vetoKeepsStateFocusAndPicture() {
    Fixture f;
    f.button->SetToggleChars(" ");
    f.button->OnBeforeClick = [&f](TPowerButton*, bool& cancel) {
        f.events << "before";
        cancel = true;
    };
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.edit->setFocus();
    QVERIFY(f.edit->hasFocus());
    const QImage before = f.button->grab().toImage();
    QTest::mouseClick(f.button, Qt::LeftButton);
    QCOMPARE(f.events, QStringList{"before"});
    QVERIFY(!f.button->ButtonDown());
    QVERIFY(f.edit->hasFocus());
    QCOMPARE(f.button->grab().toImage(), before);

    // A vetoed key toggle still reaches the owner's key handler.
    f.events.clear();
    f.button->setFocus();
    QTest::keyClick(f.button, Qt::Key_Space);
    QCOMPARE(f.events, (QStringList{"before", "key 32 down=0"}));
    QVERIFY(!f.button->ButtonDown());
}

void TestPowerButton::acceptedClickTakesFocusAndReports() {
    Fixture f;
    QSignalSpy toggled(f.button, &TPowerButton::toggled);
    int enters = 0;
    f.button->OnEnter = [&enters](TPowerButton*) { ++enters; };
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.edit->setFocus();
    enters = 0;
    QTest::mouseClick(f.button, Qt::LeftButton);
    QVERIFY(f.button->ButtonDown());
    QVERIFY(f.button->hasFocus());
    QCOMPARE(enters, 1);
    QCOMPARE(f.events, (QStringList{"before", "click down=1"}));
    QTest::mouseClick(f.button, Qt::LeftButton);
    QVERIFY(!f.button->ButtonDown());
    QCOMPARE(toggled.count(), 2);
    // A right click is no click.
    QTest::mouseClick(f.button, Qt::RightButton);
    QVERIFY(!f.button->ButtonDown());
    // The window coming back to the front is no entering of the button.
    enters = 0;
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(f.button, &back);
    QCOMPARE(enters, 0);
}

void TestPowerButton::settingButtonDownIsSilent() {
    Fixture f;
    f.button->SetCaption(QString());
    f.button->SetLED(false);
    const QPoint centre(34, 16);
    const QColor upFace = PixelAt(*f.button, centre);
    f.button->SetButtonDown(true);
    QVERIFY(f.events.isEmpty());
    QCOMPARE(PixelAt(*f.button, centre), kDownFace);
    f.button->SetButtonDown(false);
    QCOMPARE(PixelAt(*f.button, centre), upFace);
    QVERIFY(f.events.isEmpty());
}

void TestPowerButton::roundsHalvesToEven() {
    const std::pair<double, int> cases[] = {{30.5, 30}, {31.5, 32}, {14.0, 14}, {13.5, 14},
                                            {2.4, 2},   {2.6, 3},   {-0.5, 0},  {-1.5, -2}};
    for (auto [value, expected] : cases)
        QCOMPARE(RoundHalfEven(value), expected);
}

void TestPowerButton::ledAndCaptionGeometry_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("led");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("ledRect");  // only checked without a caption
    QTest::newRow("led alone, odd width")
        << QSize(69, 33) << true << QString() << QRect(30, 14, 8, 5);
    QTest::newRow("led alone, halves down")
        << QSize(67, 32) << true << QString() << QRect(30, 14, 8, 5);
    QTest::newRow("led alone, halves up")
        << QSize(71, 34) << true << QString() << QRect(32, 14, 8, 5);
    QTest::newRow("caption alone") << QSize(53, 21) << false << "Modem" << QRect();
    QTest::newRow("caption above led") << QSize(69, 33) << true << "TX ON" << QRect();
    QTest::newRow("tall caption above led") << QSize(69, 60) << true << "TX ON" << QRect();
}

void TestPowerButton::ledAndCaptionGeometry() {
    QFETCH(QSize, size);
    QFETCH(bool, led);
    QFETCH(QString, caption);
    QFETCH(QRect, ledRect);
    TPowerButton b;
    b.resize(size);
    b.SetLED(led);
    b.SetCaption(caption);
    const int textHeight = QFontMetrics(b.font()).height();
    const int textWidth = QFontMetrics(b.font()).horizontalAdvance(caption);

    if (!led)
        QVERIFY(b.LedRect().isEmpty());
    if (caption.isEmpty()) {
        QCOMPARE(b.LedRect(), ledRect);
        return;
    }
    const QPoint pos = b.CaptionPos();
    // Centred horizontally within a pixel.
    QVERIFY(qAbs(pos.x() - (size.width() - pos.x() - textWidth)) <= 1);
    if (!led) {
        QVERIFY(qAbs(pos.y() - (size.height() - pos.y() - textHeight)) <= 1);
        return;
    }
    // Caption, 4-pixel gap, LED: one block centred in the button (each half rounds apart).
    const QRect r = b.LedRect();
    QCOMPARE(r.size(), QSize(8, 5));
    QVERIFY(qAbs(r.top() - (pos.y() + textHeight + 4)) <= 1);
    const int above = pos.y();
    const int below = size.height() - (r.bottom() + 1);
    QVERIFY2(qAbs(above - below) <= 2, qPrintable(QStringLiteral("%1 %2").arg(above).arg(below)));
}

void TestPowerButton::paintsStateColours() {
    TPowerButton b;
    b.resize(69, 33);
    const QRect led = b.LedRect();
    const QPoint ledPixel = led.center();
    QCOMPARE(PixelAt(b, ledPixel), QColor(Qt::black));
    b.SetButtonDown(true);
    QCOMPARE(PixelAt(b, ledPixel), QColor(Qt::red));
    b.SetLED(false);
    QCOMPARE(PixelAt(b, ledPixel), kDownFace);
    // Disabled: the LED shows no state, only the relief.
    b.SetLED(true);
    b.setEnabled(false);
    const QColor disabledDown = PixelAt(b, ledPixel);
    b.SetButtonDown(false);
    QCOMPARE(PixelAt(b, ledPixel), disabledDown);
    // The bevel: highlight top-left and shadow bottom-right when up, swapped when down.
    const QColor light = b.palette().color(QPalette::Light);
    const QColor dark = b.palette().color(QPalette::Dark);
    QCOMPARE(PixelAt(b, {1, 20}), light);
    QCOMPARE(PixelAt(b, {67, 20}), dark);
    b.SetButtonDown(true);
    QCOMPARE(PixelAt(b, {1, 20}), dark);
    QCOMPARE(PixelAt(b, {67, 20}), light);
}

QTEST_MAIN(TestPowerButton)
#include "tst_PowerButton.moc"

// What AT-SPI reads: a button named by its caption whose down state is pressed and checked, and
// whose actions toggle it through the owner's veto, as a click does.
void TestPowerButton::screenReadersSeeAToggleButton() {
    Fixture f;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(f.button);
    QVERIFY(a != nullptr);
    QCOMPARE(a->role(), QAccessible::Button);
    QCOMPARE(a->text(QAccessible::Name), QString("TX ON"));
    QVERIFY(a->state().checkable);
    QVERIFY(!a->state().checked);
    QVERIFY(a->state().focusable);

    QAccessibleActionInterface* actions = a->actionInterface();
    QVERIFY(actions != nullptr);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(f.button->ButtonDown());
    QCOMPARE(f.events, (QStringList{"before", "click down=1"}));
    QVERIFY(a->state().checked);
    QVERIFY(a->state().pressed);

    // A vetoed toggle stays up for the screen reader too.
    f.button->OnBeforeClick = [](TPowerButton*, bool& cancel) { cancel = true; };
    actions->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(a->state().checked);
    f.button->SetButtonDown(false);
    QVERIFY(!a->state().checked);

    // Disabled, it offers nothing to do.
    f.button->setEnabled(false);
    QVERIFY(actions->actionNames().isEmpty());
    QVERIFY(a->state().disabled);
}
