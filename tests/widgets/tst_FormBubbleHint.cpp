#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include "widgets/FormBubbleHint.h"

namespace {

bool No() {
    return false;
}
bool Yes() {
    return true;
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(5, 5), QPointF(global), button, buttons, modifiers);
    QCoreApplication::sendEvent(target, &event);
}

void SendEnter(QWidget* target) {
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(target, &event);
}

void SendLeave(QWidget* target) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(target, &event);
}

// The offscreen platform cannot show opacity or raise a window, and says so on every call.
QtMessageHandler previousHandler = nullptr;
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support")))
        return;
    previousHandler(type, context, text);
}

}  // namespace

class TestFormBubbleHint : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(QuietOffscreen); }
    void designAndNames();
    void hintTextSizesBalloonAndWindow();
    void fadesIn135StepsThenHides();
    void restingOnTextHolds();
    void showingAgainStartsOpaque();
    void placement_data();
    void placement();
    void placesBesideMainWindowOnItsScreen();
    void drag_data();
    void drag();
    void closeImageHides();
    void shapeFollowsTranslucency();
};

void TestFormBubbleHint::designAndNames() {
    TForm_BubbleHint hint(nullptr, No);
    QVERIFY(hint.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(hint.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(hint.testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(hint.Image_Close->geometry(), QRect(239, 8, 25, 25));
    for (const char* name : {"Shape_Bubble", "Image_Close", "Label_Hint", "Timer_Fader"})
        QVERIFY2(hint.findChild<QObject*>(name) != nullptr, name);
}

void TestFormBubbleHint::hintTextSizesBalloonAndWindow() {
    TForm_BubbleHint hint(nullptr, No);
    hint.SetHintText("It is necessary to put the Radio into tone reversal mode.", 189, 80);
    QCOMPARE(hint.Label_Hint->size(), QSize(189, 80));
    QCOMPARE(hint.Shape_Bubble->size(), QSize(244, 115));
    QCOMPARE(hint.size(), QSize(244, 115));
    // The close image keeps its distance from the right edge.
    QCOMPARE(hint.Image_Close->geometry(), QRect(211, 8, 25, 25));
}

void TestFormBubbleHint::fadesIn135StepsThenHides() {
    TForm_BubbleHint hint(nullptr, No);
    hint.show();
    QCOMPARE(hint.Opacity(), 255);
    QVERIFY(hint.Timer_Fader->isActive());
    QCOMPARE(hint.Timer_Fader->interval(), 3000);

    // Opacity after each phase: 56 steps of 1, 50 of 2, 25 of 3, 4 of 4.
    const std::pair<int, int> milestones[] = {{56, 199}, {106, 99}, {131, 24}, {135, 8}};
    int steps = 0;
    for (auto [at, opacity] : milestones) {
        while (steps < at) {
            hint.Timer_FaderTimer();
            ++steps;
            QVERIFY(hint.isVisible());
        }
        QCOMPARE(hint.Opacity(), opacity);
    }
    QCOMPARE(hint.Timer_Fader->interval(), 10);
    QVERIFY(hint.Timer_Fader->isActive());
    QCOMPARE(hint.windowOpacity(), 8 / 255.0);
    hint.Timer_FaderTimer();
    QVERIFY(!hint.isVisible());
    QVERIFY(!hint.Timer_Fader->isActive());
}

void TestFormBubbleHint::restingOnTextHolds() {
    TForm_BubbleHint hint(nullptr, No);
    hint.show();
    for (int i = 0; i < 60; ++i)
        hint.Timer_FaderTimer();
    QVERIFY(hint.Opacity() < 255);
    SendEnter(hint.Label_Hint);
    QVERIFY(hint.MouseOverText());
    for (int i = 0; i < 500; ++i)
        hint.Timer_FaderTimer();
    QCOMPARE(hint.Opacity(), 255);
    QCOMPARE(hint.Timer_Fader->interval(), 3000);
    QVERIFY(hint.isVisible());
    // Entering the balloon itself (not the text) holds nothing.
    SendLeave(hint.Label_Hint);
    SendEnter(hint.Shape_Bubble);
    QVERIFY(!hint.MouseOverText());
    hint.Timer_FaderTimer();
    QCOMPARE(hint.Opacity(), 254);
    QCOMPARE(hint.Timer_Fader->interval(), 10);
}

void TestFormBubbleHint::showingAgainStartsOpaque() {
    TForm_BubbleHint hint(nullptr, No);
    hint.show();
    SendEnter(hint.Label_Hint);
    hint.hide();
    QVERIFY(!hint.Timer_Fader->isActive());
    hint.show();
    QVERIFY(!hint.MouseOverText());
    for (int i = 0; i < 100; ++i)
        hint.Timer_FaderTimer();
    hint.hide();
    hint.show();
    QCOMPARE(hint.Opacity(), 255);
    QCOMPARE(hint.Timer_Fader->interval(), 3000);
    QVERIFY(hint.Timer_Fader->isActive());
}

void TestFormBubbleHint::placement_data() {
    QTest::addColumn<QRect>("main");
    QTest::addColumn<int>("screenRight");
    QTest::addColumn<int>("expectedLeft");
    // Balloon 244 wide.
    QTest::newRow("room on the right") << QRect(100, 50, 364, 600) << 1920 << 464;
    QTest::newRow("near the right edge") << QRect(1500, 50, 364, 600) << 1920 << 1256;
    QTest::newRow("room exactly the width") << QRect(1312, 50, 364, 600) << 1920 << 1676;
    QTest::newRow("a pixel short") << QRect(1313, 50, 364, 600) << 1920 << 1069;
    QTest::newRow("second screen") << QRect(2000, 50, 364, 600) << 3840 << 2364;
}

void TestFormBubbleHint::placement() {
    QFETCH(QRect, main);
    QFETCH(int, screenRight);
    QFETCH(int, expectedLeft);
    TForm_BubbleHint hint(nullptr, No);
    hint.SetHintText("x", 189, 48);
    hint.PlaceBeside(main, 321, screenRight);
    QCOMPARE(hint.pos(), QPoint(expectedLeft, 321));
}

void TestFormBubbleHint::placesBesideMainWindowOnItsScreen() {
    QWidget main;
    const QRect screen = main.screen()->geometry();
    main.setGeometry(screen.x() + screen.width() - 200, 40, 150, 100);
    TForm_BubbleHint hint(nullptr, No);
    hint.SetHintText("x", 189, 48);
    hint.PlaceBeside(&main, 77);
    QCOMPARE(hint.pos(), QPoint(main.frameGeometry().x() - 244, 77));
    main.move(screen.x() + 10, 40);
    hint.PlaceBeside(&main, 77);
    QCOMPARE(hint.pos().x(), main.frameGeometry().x() + main.frameGeometry().width());
}

void TestFormBubbleHint::drag_data() {
    QTest::addColumn<bool>("onText");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("moves");
    const int left = Qt::LeftButton, right = Qt::RightButton, none = Qt::NoModifier;
    QTest::newRow("left on balloon") << false << left << left << none << true;
    QTest::newRow("left on text") << true << left << left << none << true;
    QTest::newRow("right") << false << right << right << none << false;
    QTest::newRow("left and right") << false << left << (left | right) << none << false;
    QTest::newRow("left with shift") << false << left << left << int(Qt::ShiftModifier) << false;
    QTest::newRow("left with ctrl") << true << left << left << int(Qt::ControlModifier) << false;
}

void TestFormBubbleHint::drag() {
    QFETCH(bool, onText);
    QFETCH(int, button);
    QFETCH(int, buttons);
    QFETCH(int, modifiers);
    QFETCH(bool, moves);
    TForm_BubbleHint hint(nullptr, No);
    hint.move(200, 100);
    QWidget* target = onText ? static_cast<QWidget*>(hint.Label_Hint) : hint.Shape_Bubble;
    const auto b = Qt::MouseButton(button);
    const auto bs = Qt::MouseButtons(buttons);
    const auto mods = Qt::KeyboardModifiers(modifiers);
    SendMouse(target, QEvent::MouseButtonPress, {300, 150}, b, bs, mods);
    QVERIFY(hint.Dragging());
    SendMouse(target, QEvent::MouseMove, {330, 170}, Qt::NoButton, bs, mods);
    SendMouse(target, QEvent::MouseMove, {335, 160}, Qt::NoButton, bs, mods);
    QCOMPARE(hint.pos(), moves ? QPoint(235, 110) : QPoint(200, 100));
    SendMouse(target, QEvent::MouseButtonRelease, {335, 160}, b, Qt::NoButton, mods);
    QVERIFY(!hint.Dragging());
    // After the button comes up, moving with the left button held (entered from elsewhere)
    // does not drag.
    const QPoint after = hint.pos();
    SendMouse(target, QEvent::MouseMove, {400, 200}, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(hint.pos(), after);
}

void TestFormBubbleHint::closeImageHides() {
    TForm_BubbleHint hint(nullptr, No);
    hint.show();
    QTest::mouseClick(hint.Image_Close, Qt::RightButton);
    QVERIFY(hint.isVisible());
    QTest::mouseClick(hint.Image_Close, Qt::LeftButton);
    QVERIFY(!hint.isVisible());
    QVERIFY(!hint.Timer_Fader->isActive());
}

void TestFormBubbleHint::shapeFollowsTranslucency() {
    TForm_BubbleHint plain(nullptr, No);
    plain.show();
    QVERIFY(!plain.Shape_Bubble->Rounded());
    QVERIFY(!plain.testAttribute(Qt::WA_TranslucentBackground));
    TForm_BubbleHint rounded(nullptr, Yes);
    rounded.show();
    QVERIFY(rounded.Shape_Bubble->Rounded());
    QVERIFY(rounded.testAttribute(Qt::WA_TranslucentBackground));
    // The rounded balloon leaves its corners clear; the plain one fills them.
    const QImage roundedPicture = rounded.Shape_Bubble->grab().toImage();
    const QImage plainPicture = plain.Shape_Bubble->grab().toImage();
    QCOMPARE(plainPicture.pixelColor(0, 0), QColor(166, 202, 240));
    QVERIFY(roundedPicture.pixelColor(0, 0) != QColor(166, 202, 240));
    QCOMPARE(roundedPicture.pixelColor(120, 40), QColor(166, 202, 240));
}

QTEST_MAIN(TestFormBubbleHint)
#include "tst_FormBubbleHint.moc"
