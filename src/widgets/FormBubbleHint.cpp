#include "widgets/FormBubbleHint.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#if RM7UX_HAVE_XCB
#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#endif

namespace {

const QColor kSkyBlue(166, 202, 240);
const QColor kNavy(0, 0, 128);

// Design of the form: client 272 x 117, balloon 241 x 81, close image 25 x 25 at (239, 8)
// kept at the same distance from the right edge.
constexpr int kDesignWidth = 272;
constexpr int kDesignHeight = 117;
constexpr int kCloseSize = 25;
constexpr int kCloseTop = 8;
constexpr int kCloseRightMargin = kDesignWidth - 239;
constexpr int kDesignOpacity = 150;

#if RM7UX_HAVE_XCB
// A compositing manager owns the _NET_WM_CM_S<screen> selection while it runs.
bool X11CompositorRunning(xcb_connection_t* connection) {
    const char name[] = "_NET_WM_CM_S0";
    auto atomCookie = xcb_intern_atom(connection, 0, sizeof name - 1, name);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(connection, atomCookie, nullptr);
    if (atom == nullptr)
        return false;
    auto ownerCookie = xcb_get_selection_owner(connection, atom->atom);
    std::free(atom);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, ownerCookie, nullptr);
    const bool running = owner != nullptr && owner->owner != XCB_NONE;
    std::free(owner);
    return running;
}
#endif

}  // namespace

TBubbleShape::TBubbleShape(QWidget* parent) : QWidget(parent) {}

void TBubbleShape::SetRounded(bool value) {
    rounded_ = value;
    update();
}

int TBubbleShape::CornerRadius() const {
    // Corners as the original shape drew them: an ellipse a quarter of the shorter side across.
    return std::min(width(), height()) / 8;
}

void TBubbleShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, rounded_);
    p.setPen(kSkyBlue);
    p.setBrush(kSkyBlue);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (rounded_)
        p.drawRoundedRect(area, CornerRadius(), CornerRadius());
    else
        p.drawRect(area);
}

TCloseImage::TCloseImage(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
}

void TCloseImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = QRectF(rect()).adjusted(2, 2, -2, -2);
    p.setPen(QPen(kNavy, 1.5));
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(disc);
    p.setPen(QPen(kNavy, 2.5, Qt::SolidLine, Qt::RoundCap));
    const QRectF cross = disc.adjusted(6, 6, -6, -6);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.topRight(), cross.bottomLeft());
}

void TCloseImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}

bool CompositingDisplay() {
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")))
        return true;  // every Wayland compositor draws translucent windows
#if RM7UX_HAVE_XCB
    if (platform == QLatin1String("xcb")) {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        return x11 != nullptr && x11->connection() != nullptr &&
               X11CompositorRunning(x11->connection());
    }
#endif
    return false;
}

int BubbleLeftBeside(const QRect& mainFrame, int screenRight, int balloonWidth) {
    const int mainRight = mainFrame.x() + mainFrame.width();
    if (screenRight - mainRight < balloonWidth)
        return mainFrame.x() - balloonWidth;
    return mainRight;
}

TForm_BubbleHint::TForm_BubbleHint(QWidget* parent, const std::function<bool()>& translucent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form_BubbleHint"));
    setWindowTitle(QStringLiteral("Hint"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    ntFamily_ = translucent ? translucent() : false;
    // Without a compositor a translucent background would come out black.
    if (ntFamily_)
        setAttribute(Qt::WA_TranslucentBackground);
    resize(kDesignWidth, kDesignHeight);

    Shape_Bubble = new TBubbleShape(this);
    Shape_Bubble->setObjectName(QStringLiteral("Shape_Bubble"));
    Shape_Bubble->setGeometry(0, 0, 241, 81);

    Label_Hint = new QLabel(this);
    Label_Hint->setObjectName(QStringLiteral("Label_Hint"));
    Label_Hint->setGeometry(16, 12, 189, 48);
    Label_Hint->setWordWrap(true);
    Label_Hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont font = Label_Hint->font();
    font.setPixelSize(13);
    Label_Hint->setFont(font);
    QPalette palette = Label_Hint->palette();
    palette.setColor(QPalette::WindowText, kNavy);
    Label_Hint->setPalette(palette);
    Label_Hint->setAutoFillBackground(false);

    Image_Close = new TCloseImage(this);
    Image_Close->setObjectName(QStringLiteral("Image_Close"));
    LayoutCloseImage();
    connect(Image_Close, &TCloseImage::clicked, this, &QWidget::hide);

    Timer_Fader = new QTimer(this);
    Timer_Fader->setObjectName(QStringLiteral("Timer_Fader"));
    connect(Timer_Fader, &QTimer::timeout, this, &TForm_BubbleHint::Timer_FaderTimer);

    Shape_Bubble->installEventFilter(this);
    Label_Hint->installEventFilter(this);
    SetOpacity(kDesignOpacity);
}

void TForm_BubbleHint::SetHintText(const QString& text, int width, int height) {
    // Line breaks as the label and a screen reader know them, not the CR LF of a message.
    Label_Hint->setText(QString(text).replace("\r\n", "\n"));
    Label_Hint->resize(width, height);
    Shape_Bubble->resize(width + 55, height + 35);
    resize(Shape_Bubble->size());
    // A hidden window gets its resize event only when shown.
    LayoutCloseImage();
}

void TForm_BubbleHint::PlaceBeside(const QRect& mainFrame, int top, int screenRight) {
    move(BubbleLeftBeside(mainFrame, screenRight, width()), top);
}

void TForm_BubbleHint::PlaceBeside(const QWidget* mainWindow, int top) {
    const QScreen* screen = mainWindow->screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    const QRect screenArea = screen != nullptr ? screen->geometry() : QRect();
    PlaceBeside(mainWindow->frameGeometry(), top, screenArea.x() + screenArea.width());
}

void TForm_BubbleHint::SetOpacity(int value) {
    opacity_ = value;
    setWindowOpacity(value / 255.0);
}

void TForm_BubbleHint::ResetFade() {
    SetOpacity(255);
    Timer_Fader->setInterval(HoldTime);
}

void TForm_BubbleHint::StartShowing() {
    Shape_Bubble->SetRounded(ntFamily_);
    Timer_Fader->stop();
    ResetFade();
    update();
    Timer_Fader->start();
    dragging_ = false;
    mouseOverText_ = false;
}

void TForm_BubbleHint::Timer_FaderTimer() {
    if (mouseOverText_) {
        ResetFade();
        return;
    }
    Timer_Fader->setInterval(FadeStep);
    if (!Timer_Fader->isActive())
        Timer_Fader->start();
    int a = opacity_;
    if (a >= 200)
        a -= 1;
    else if (a >= 100)
        a -= 2;
    else if (a >= 25)
        a -= 3;
    else if (a >= 10)
        a -= 4;
    else {
        Timer_Fader->stop();
        hide();
        return;
    }
    SetOpacity(a);
}

void TForm_BubbleHint::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        StartShowing();
}

void TForm_BubbleHint::hideEvent(QHideEvent* event) {
    // Nothing to fade while hidden; showing again starts from opaque.
    if (!event->spontaneous())
        Timer_Fader->stop();
    QWidget::hideEvent(event);
}

void TForm_BubbleHint::resizeEvent(QResizeEvent* event) {
    LayoutCloseImage();
    QWidget::resizeEvent(event);
}

void TForm_BubbleHint::LayoutCloseImage() {
    Image_Close->setGeometry(width() - kCloseRightMargin, kCloseTop, kCloseSize, kCloseSize);
}

bool TForm_BubbleHint::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Shape_Bubble && watched != Label_Hint)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            dragging_ = true;
            dragX_ = global.x();
            dragY_ = global.y();
            break;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint global = mouse->globalPosition().toPoint();
            // Only a plain left-button drag moves the balloon.
            if (dragging_ && mouse->buttons() == Qt::LeftButton &&
                mouse->modifiers() == Qt::NoModifier) {
                move(pos() + QPoint(global.x() - dragX_, global.y() - dragY_));
                dragX_ = global.x();
                dragY_ = global.y();
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            dragging_ = false;
            break;
        case QEvent::Enter:
            if (watched == Label_Hint)
                mouseOverText_ = true;
            break;
        case QEvent::Leave:
            if (watched == Label_Hint)
                mouseOverText_ = false;
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}
