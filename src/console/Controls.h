#pragma once
// Small controls the window needs that Qt does not offer as such: the comms-state lamp and the
// radio group whose item index, set from code, raises its click like a click on an item.

#include <QColor>
#include <QGroupBox>
#include <QStringList>
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

// The original controls' Tag: an integer the handlers use to tell senders apart.
void SetTag(QObject* control, int tag);
int Tag(const QObject* control);
