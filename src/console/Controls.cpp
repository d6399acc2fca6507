#include "console/Controls.h"

#include <QApplication>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetBrushColor(const QColor& colour) {
    if (brush_ == colour)
        return;
    brush_ = colour;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(brush_);
    const int d = std::min(width(), height()) - 1;
    p.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
}

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), items_(items) {
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < items_.size(); ++i) {
        auto* button = new QRadioButton(items_[i], this);
        layout->addWidget(button);
        buttons_.append(button);
        // A click on an item is a change of ItemIndex like any other.
        connect(button, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !settingButtons_)
                SetItemIndex(i);
        });
    }
}

void TRadioGroup::SetItemIndex(int index) {
    if (index < -1 || index >= buttons_.size() || index == itemIndex_)
        return;
    itemIndex_ = index;
    settingButtons_ = true;
    for (int i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setChecked(i == index);
    settingButtons_ = false;
    emit clicked();
}

QRadioButton* TRadioGroup::Button(int index) const {
    return index >= 0 && index < buttons_.size() ? buttons_[index] : nullptr;
}

void SetTag(QObject* control, int tag) {
    control->setProperty("Tag", tag);
}

int Tag(const QObject* control) {
    return control != nullptr ? control->property("Tag").toInt() : 0;
}

void SetTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::Active, role, colour);
    p.setColor(QPalette::Inactive, role, colour);
    widget->setPalette(p);
}

QColor WindowColour::System(QPalette::ColorRole role) {
    return QApplication::palette().color(role);
}
