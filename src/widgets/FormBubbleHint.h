#pragma once
// A small borderless, always-on-top balloon beside the main window. It stays opaque for
// HoldTime, fades out in steps and hides itself; the mouse resting on the text holds it, the
// balloon can be dragged, and the close image hides it at once.

#include <QLabel>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <functional>

// The balloon's body: a rounded rectangle, or a plain one where translucency is not drawn.
class TBubbleShape : public QWidget {
    Q_OBJECT
  public:
    explicit TBubbleShape(QWidget* parent = nullptr);
    bool Rounded() const { return rounded_; }
    void SetRounded(bool value);
    // Radius of the rounded corners.
    int CornerRadius() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool rounded_ = true;
};

// A 25 x 25 close picture; a left click on it emits clicked().
class TCloseImage : public QWidget {
    Q_OBJECT
  public:
    explicit TCloseImage(QWidget* parent = nullptr);

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Whether the display draws translucent windows (a compositing display).
bool CompositingDisplay();

// Left edge of a balloon `balloonWidth` wide beside `mainFrame`: right of it when there is
// room before `screenRight` (the first pixel column past the screen), else left of it.
int BubbleLeftBeside(const QRect& mainFrame, int screenRight, int balloonWidth);

class TForm_BubbleHint : public QWidget {
    Q_OBJECT
  public:
    // `translucent` tells whether the display draws translucent windows; it is asked once,
    // here, and decides between the rounded and the rectangular balloon. Default: the display.
    explicit TForm_BubbleHint(QWidget* parent = nullptr,
                              const std::function<bool()>& translucent = CompositingDisplay);

    TBubbleShape* Shape_Bubble;
    TCloseImage* Image_Close;
    QLabel* Label_Hint;
    QTimer* Timer_Fader;

    int HoldTime = 3000;  // ms opaque before the fade begins
    int FadeStep = 10;    // ms between fade steps

    // Text and the size of its area; the balloon is 55 wider and 35 higher, the window its size.
    void SetHintText(const QString& text, int width, int height);
    // Top at `top`; right of the main window when the screen has room for the balloon there,
    // otherwise left of it.
    void PlaceBeside(const QRect& mainFrame, int top, int screenRight);
    void PlaceBeside(const QWidget* mainWindow, int top);

    // Opaque again, for another HoldTime.
    void ResetFade();
    // One tick of Timer_Fader.
    void Timer_FaderTimer();
    // Current opacity, 0 (clear) to 255 (opaque).
    int Opacity() const { return opacity_; }

    bool Dragging() const { return dragging_; }
    bool MouseOverText() const { return mouseOverText_; }
    bool NTFamily() const { return ntFamily_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void StartShowing();
    void SetOpacity(int value);
    void LayoutCloseImage();

    bool dragging_ = false;
    int dragX_ = 0;
    int dragY_ = 0;
    bool ntFamily_ = true;
    bool mouseOverText_ = false;
    int opacity_ = 150;
};
