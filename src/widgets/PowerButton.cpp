#include "widgets/PowerButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace {

// The named system colours of the original toolkit, taken from the palette.
QColor BtnFace(const QWidget& w) {
    return w.palette().color(QPalette::Button);
}
QColor BtnShadow(const QWidget& w) {
    return w.palette().color(QPalette::Dark);
}
QColor BtnHighlight(const QWidget& w) {
    return w.palette().color(QPalette::Light);
}
QColor WindowColour(const QWidget& w) {
    return w.palette().color(QPalette::Base);
}
QColor ScrollBarColour(const QWidget& w) {
    return w.palette().color(QPalette::Mid);
}

// The face of a pressed button: a light cream rather than the plain button face.
const QColor kDownFace(249, 249, 240);

// What a screen reader finds: a toggle button named by its caption, pressed while down, that
// its press and toggle actions switch as a click does (the owner's veto included).
class TPowerButtonAccessible : public QAccessibleWidget {
  public:
    explicit TPowerButtonAccessible(TPowerButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty())
            text = Button()->Caption();
        return text;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = Button()->ButtonDown();
        s.pressed = Button()->ButtonDown();
        return s;
    }
    QStringList actionNames() const override {
        if (!Button()->isEnabled())
            return {};
        return {pressAction(), toggleAction()};
    }
    void doAction(const QString& action) override {
        if (Button()->isEnabled() && (action == pressAction() || action == toggleAction()))
            Button()->Toggle();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    TPowerButton* Button() const { return static_cast<TPowerButton*>(widget()); }
};

QAccessibleInterface* PowerButtonAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TPowerButton") && object != nullptr && object->isWidgetType())
        return new TPowerButtonAccessible(static_cast<TPowerButton*>(object));
    return nullptr;
}

// The down state as screen readers follow it.
void TellStateChanged(TPowerButton* button) {
    QAccessible::State changed;
    changed.checked = true;
    changed.pressed = true;
    QAccessibleStateChangeEvent event(button, changed);
    QAccessible::updateAccessibility(&event);
}

}  // namespace

TItermediateButton::TItermediateButton(QWidget* parent) : QWidget(parent) {
    // Tab stop, but a click must not take the focus on its own: a vetoed toggle leaves the
    // focus where it was, and an accepted one takes it explicitly.
    setFocusPolicy(Qt::TabFocus);
}

std::string DecodeToggleChars(const std::string& text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            decoded += text[i];
            continue;
        }
        if (i + 1 >= text.size()) {
            decoded += '\\';
            break;
        }
        switch (text[i + 1]) {
            case '\\':
                decoded += '\\';
                ++i;
                break;
            case 'n':
                decoded += '\r';  // what the Enter key produces
                ++i;
                break;
            case 't':
                decoded += '\b';  // character 8, kept as the original decoded it
                ++i;
                break;
            default:
                decoded += '\\';  // the next character is read on its own
                break;
        }
    }
    return decoded;
}

int RoundHalfEven(double value) {
    double r = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5)
        r = 2.0 * std::round(value / 2.0);
    return static_cast<int>(r);
}

std::optional<char> KeyEventChar(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return '\r';
        case Qt::Key_Backspace:
            return '\b';
        case Qt::Key_Escape:
            return '\x1b';
        default:
            break;
    }
    const QString text = event.text();
    if (text.size() != 1 || text[0].unicode() > 0xFF)
        return std::nullopt;
    return static_cast<char>(text[0].unicode());
}

TPowerButton::TPowerButton(QWidget* parent) : TItermediateButton(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(PowerButtonAccessible);
        return true;
    }();
    (void)factoryInstalled;
    resize(69, 33);
}

void TPowerButton::SetToggleChars(const std::string& text) {
    toggleChars_ = text;
    decodedToggleChars_ = DecodeToggleChars(text);
}

void TPowerButton::SetGlowText(bool value) {
    glowText_ = value;
    update();
}
void TPowerButton::SetTextGlowColour(const QColor& value) {
    textGlowColour_ = value;
    update();
}
void TPowerButton::SetLED(bool value) {
    led_ = value;
    update();
}
void TPowerButton::SetLedOnClour(const QColor& value) {
    ledOnColour_ = value;
    update();
}
void TPowerButton::SetLedOffColour(const QColor& value) {
    ledOffColour_ = value;
    update();
}
void TPowerButton::SetLedHeight(int value) {
    ledHeight_ = value;
    update();
}
void TPowerButton::SetLedWidth(int value) {
    ledWidth_ = value;
    update();
}
void TPowerButton::SetBevelWidth(int value) {
    bevelWidth_ = value;
    update();
}
void TPowerButton::SetButtonDown(bool value) {
    const bool changed = buttonDown_ != value;
    buttonDown_ = value;
    update();
    if (changed)
        TellStateChanged(this);
}
void TPowerButton::SetCaption(const QString& value) {
    caption_ = value;
    update();
}

void TPowerButton::Toggle() {
    bool cancelAction = false;
    if (OnBeforeClick)
        OnBeforeClick(this, cancelAction);
    if (cancelAction)
        return;
    setFocus(Qt::OtherFocusReason);
    buttonDown_ = !buttonDown_;
    update();
    TellStateChanged(this);
    emit toggled(buttonDown_);
    if (OnClick)
        OnClick(this);
    emit clicked();
}

void TPowerButton::KeyPress(char key) {
    if (decodedToggleChars_.find(key) != std::string::npos)
        Toggle();
    if (OnKeyPress)
        OnKeyPress(this, key);
}

TPowerButton::TFaceColours TPowerButton::FaceColours() const {
    if (buttonDown_)
        return {kDownFace, BtnShadow(*this), BtnHighlight(*this)};
    return {BtnFace(*this), BtnHighlight(*this), BtnShadow(*this)};
}

std::array<QPolygon, 4> TPowerButton::BevelPolygons() const {
    const int w = width(), h = height(), b = bevelWidth_;
    return {QPolygon({QPoint(b, b), QPoint(0, 0), QPoint(w - 1, 0), QPoint(w - b - 1, b)}),
            QPolygon({QPoint(b, b), QPoint(0, 0), QPoint(0, h - 1), QPoint(b, h - b - 1)}),
            QPolygon({QPoint(b, h - b - 1), QPoint(0, h - 1), QPoint(w - 1, h - 1),
                      QPoint(w - b - 1, h - b - 1)}),
            QPolygon({QPoint(w - b - 1, b), QPoint(w - 1, 0), QPoint(w - 1, h - 1),
                      QPoint(w - b - 1, h - b - 1)})};
}

int TPowerButton::TextHeight() const {
    return QFontMetrics(font()).height();
}

int TPowerButton::TextWidth() const {
    return QFontMetrics(font()).horizontalAdvance(caption_);
}

int TPowerButton::BlockHeight() const {
    return caption_.isEmpty() ? 0 : TextHeight() + ledHeight_ + 4;
}

QRect TPowerButton::LedRect() const {
    if (!led_)
        return {};
    const int shift = caption_.isEmpty() ? 0 : RoundHalfEven((BlockHeight() - ledHeight_) / 2.0);
    const int left = RoundHalfEven((width() - ledWidth_) / 2.0);
    const int top = RoundHalfEven((height() - ledHeight_) / 2.0) + shift;
    return {left, top, ledWidth_, ledHeight_};
}

QPoint TPowerButton::CaptionPos() const {
    const int textHeight = TextHeight();
    const int upShift = led_ ? RoundHalfEven((BlockHeight() - textHeight) / 2.0) : 0;
    return {RoundHalfEven((width() - TextWidth()) / 2.0),
            RoundHalfEven((height() - textHeight) / 2.0 - upShift)};
}

QColor TPowerButton::CaptionColour() const {
    if (!isEnabled())
        return WindowColour(*this);
    if (glowText_ && buttonDown_)
        return textGlowColour_;
    return palette().color(QPalette::WindowText);
}

QRect TPowerButton::FocusRect() const {
    return QRect(QPoint(1, 1), QPoint(width() - 2, height() - 2));
}

void TPowerButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TFaceColours colours = FaceColours();
    p.fillRect(rect(), colours.Face);
    const auto bevels = BevelPolygons();
    for (size_t i = 0; i < bevels.size(); ++i) {
        const QColor& c = i < 2 ? colours.UpperLeft : colours.LowerRight;
        p.setPen(c);
        p.setBrush(c);
        p.drawPolygon(bevels[i]);
    }
    PaintLed(p);
    PaintCaption(p);
    if (hasFocus()) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(FocusRect());
    }
}

void TPowerButton::PaintLed(QPainter& p) const {
    if (!led_)
        return;
    const QRect led = LedRect();
    if (isEnabled()) {
        p.fillRect(led, buttonDown_ ? ledOnColour_ : ledOffColour_);
        return;
    }
    p.fillRect(led.translated(1, 1), WindowColour(*this));
    p.fillRect(led, ScrollBarColour(*this));
}

void TPowerButton::PaintCaption(QPainter& p) const {
    if (caption_.isEmpty())
        return;
    p.setFont(font());
    const QPoint pos = CaptionPos();
    const int ascent = QFontMetrics(font()).ascent();
    if (isEnabled()) {
        p.setPen(CaptionColour());
        p.drawText(pos.x(), pos.y() + ascent, caption_);
        return;
    }
    p.setPen(WindowColour(*this));
    p.drawText(pos.x() + 1, pos.y() + 1 + ascent, caption_);
    p.setPen(ScrollBarColour(*this));
    p.drawText(pos.x(), pos.y() + ascent, caption_);
}

void TPowerButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        pressed_ = true;
    QWidget::mousePressEvent(event);
}

void TPowerButton::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a left press and release inside the button.
    const bool click = event->button() == Qt::LeftButton && pressed_ &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        pressed_ = false;
    if (click)
        Toggle();
    QWidget::mouseReleaseEvent(event);
}

void TPowerButton::keyPressEvent(QKeyEvent* event) {
    const std::optional<char> key = KeyEventChar(*event);
    if (!key) {
        QWidget::keyPressEvent(event);
        return;
    }
    KeyPress(*key);
    event->accept();
}

void TPowerButton::focusInEvent(QFocusEvent* event) {
    // The window coming back to the front, or a menu closing, is no entering of the button.
    const Qt::FocusReason reason = event->reason();
    if (OnEnter && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        OnEnter(this);
    update();
    QWidget::focusInEvent(event);
}

void TPowerButton::focusOutEvent(QFocusEvent* event) {
    if (OnExit)
        OnExit(this);
    update();
    QWidget::focusOutEvent(event);
}
