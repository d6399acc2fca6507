#pragma once
// A self-drawn two-state push button: bevelled face, optional LED showing the state, a caption
// that can glow while down, keyboard toggling by a set of characters, and a veto before every
// user toggle. Assigning ButtonDown from code is silent; only user toggles raise events.

#include <QColor>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>

// The custom-drawn, focusable control the button builds on; it adds no state.
class TItermediateButton : public QWidget {
    Q_OBJECT
  public:
    explicit TItermediateButton(QWidget* parent = nullptr);
};

class TPowerButton;
using TNotifyEvent = std::function<void(TPowerButton* sender)>;
using TBeforeClickEvent = std::function<void(TPowerButton* sender, bool& cancelAction)>;
using TOnKeyPressEvent = std::function<void(TPowerButton* sender, char& key)>;

// Decodes the escapes of ToggleChars: "\\" backslash, "\n" carriage return (13), "\t"
// character 8; any other backslash stands for itself.
std::string DecodeToggleChars(const std::string& text);

// Rounds to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value);

class TPowerButton : public TItermediateButton {
    Q_OBJECT
  public:
    explicit TPowerButton(QWidget* parent = nullptr);

    // The owner's events.
    TBeforeClickEvent OnBeforeClick;
    TNotifyEvent OnClick;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TOnKeyPressEvent OnKeyPress;

    const std::string& ToggleChars() const { return toggleChars_; }
    void SetToggleChars(const std::string& text);
    const std::string& DecodedToggleChars() const { return decodedToggleChars_; }

    bool GlowText() const { return glowText_; }
    void SetGlowText(bool value);
    QColor TextGlowColour() const { return textGlowColour_; }
    void SetTextGlowColour(const QColor& value);
    bool LED() const { return led_; }
    void SetLED(bool value);
    QColor LedOnClour() const { return ledOnColour_; }
    void SetLedOnClour(const QColor& value);
    QColor LedOffColour() const { return ledOffColour_; }
    void SetLedOffColour(const QColor& value);
    int LedHeight() const { return ledHeight_; }
    void SetLedHeight(int value);
    int LedWidth() const { return ledWidth_; }
    void SetLedWidth(int value);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int value);
    bool ButtonDown() const { return buttonDown_; }
    // Stores and repaints; raises no event.
    void SetButtonDown(bool value);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& value);

    // A user toggle: veto, focus, invert, repaint, OnClick.
    void Toggle();
    // A character key while focused: toggle when it is one of the toggle characters, then
    // OnKeyPress in every case.
    void KeyPress(char key);

    // Picture geometry, in widget pixels.
    struct TFaceColours {
        QColor Face, UpperLeft, LowerRight;
    };
    TFaceColours FaceColours() const;
    // Top, left (upper-left colour), bottom, right (lower-right colour).
    std::array<QPolygon, 4> BevelPolygons() const;
    int TextHeight() const;
    int TextWidth() const;
    // Height of the caption-and-LED block (caption height + LedHeight + 4 gap); 0 without a
    // caption.
    int BlockHeight() const;
    // The LED's rectangle; empty when LED is off.
    QRect LedRect() const;
    // Top-left corner of the caption's text.
    QPoint CaptionPos() const;
    QColor CaptionColour() const;
    QRect FocusRect() const;

    QSize sizeHint() const override { return {69, 33}; }

  signals:
    void clicked();
    void toggled(bool down);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void PaintLed(class QPainter& p) const;
    void PaintCaption(class QPainter& p) const;

    std::string toggleChars_;
    std::string decodedToggleChars_;
    bool glowText_ = true;
    QColor textGlowColour_ = Qt::black;
    bool led_ = true;
    QColor ledOnColour_ = Qt::red;
    QColor ledOffColour_ = Qt::black;
    int ledHeight_ = 5;
    int ledWidth_ = 8;
    int bevelWidth_ = 3;
    bool buttonDown_ = false;
    QString caption_;
    bool pressed_ = false;
};

// The 8-bit character a key press produces (Enter 13, Backspace 8, Escape 27, printable
// Latin-1 text as itself); nothing for keys that produce no character.
std::optional<char> KeyEventChar(const class QKeyEvent& event);
