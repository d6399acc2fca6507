#pragma once
// Small controls the window needs that Qt does not offer as such: the comms-state lamp and the
// radio group whose item index, set from code, raises its click like a click on an item.

#include <QColor>
#include <QComboBox>
#include <QGroupBox>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QRadioButton;

// A filled circle with an outline, as the lamp beside the comms-state text.
class TShape : public QWidget {
    Q_OBJECT
  public:
    explicit TShape(QWidget* parent = nullptr);
    QColor BrushColor() const { return brush_; }
    // Repaints on the next paint event; call repaint() to show it at once.
    void SetBrushColor(const QColor& colour);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor brush_ = Qt::white;
};

// A group of radio items with one selection. Changing ItemIndex, from code or by a click on an
// item, emits clicked(); assigning the index it already has emits nothing.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    const QStringList& Items() const { return items_; }
    QRadioButton* Button(int index) const;

  signals:
    void clicked();

  private:
    QStringList items_;
    QList<QRadioButton*> buttons_;
    int itemIndex_ = -1;
    bool settingButtons_ = false;
};

// A drop-down list whose choices are the operator's: Chosen comes only when an item is picked
// from the open list (a click, or Enter there). Up, Down or the wheel on the closed list only
// move the shown item, as Qt's activated would take them for a choice.
class TChoiceList : public QComboBox {
    Q_OBJECT
  public:
    explicit TChoiceList(QWidget* parent = nullptr);
    void hidePopup() override;

  signals:
    void Chosen(int index);

  private:
    bool closing_ = false;
};

// The window's colours, named as the original's: texts, lamps and the unsaved-changes mark.
namespace WindowColour {
inline const QColor Red(0xFF, 0x00, 0x00);
inline const QColor Maroon(0x80, 0x00, 0x00);
inline const QColor Olive(0x80, 0x80, 0x00);
inline const QColor Yellow(0xFF, 0xFF, 0x00);
inline const QColor Green(0x00, 0x80, 0x00);
inline const QColor Lime(0x00, 0xFF, 0x00);
// The system's colour for a role: text in its normal look.
QColor System(QPalette::ColorRole role);
// A palette whose window is darker than its text.
bool IsDark(const QPalette& palette);
// `colour` as shown on `background`: as designed on a light window; on a dark one the same hue
// made light enough to read.
QColor Readable(const QColor& colour, const QColor& background);
}  // namespace WindowColour

// Colours a text role of the active and inactive palette groups only: a disabled control keeps
// the style's disabled look instead of a colour that says it works. The colour is made readable
// on the control's background (WindowColour::Readable).
void SetTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);

// The original controls' Tag: an integer the handlers use to tell senders apart.
void SetTag(QObject* control, int tag);
int Tag(const QObject* control);

// Sets the window's Updating flag for a scope; as it was again however the scope is left.
class UpdatingScope {
  public:
    explicit UpdatingScope(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~UpdatingScope() { flag_ = was_; }
    UpdatingScope(const UpdatingScope&) = delete;
    UpdatingScope& operator=(const UpdatingScope&) = delete;

  private:
    bool& flag_;
    bool was_;
};

// Holds the periodic refresh for a scope: a refresh runs inside any box an exchange shows, and
// would close the port the exchange is using.
class RefreshPause {
  public:
    explicit RefreshPause(QTimer* timer) : timer_(timer), wasActive_(timer->isActive()) {
        timer_->stop();
    }
    ~RefreshPause() {
        if (wasActive_)
            timer_->start();
    }
    RefreshPause(const RefreshPause&) = delete;
    RefreshPause& operator=(const RefreshPause&) = delete;

  private:
    QTimer* timer_;
    bool wasActive_;
};
