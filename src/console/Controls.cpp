#include "console/Controls.h"

#include <QApplication>
#include <QPainter>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "widgets/Readable.h"

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
    // A black outline vanishes on a dark window.
    p.setPen(QPen(
        WindowColour::IsDark(palette()) ? palette().color(QPalette::WindowText) : QColor(Qt::black),
        1));
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

namespace {

// Whether a style sheet of the application or of a window around `widget` may colour its text.
bool StyleSheetInForce(const QWidget* widget) {
    if (qApp != nullptr && !qApp->styleSheet().isEmpty())
        return true;
    for (const QWidget* w = widget->parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (!w->styleSheet().isEmpty())
            return true;
    }
    return false;
}

}  // namespace

void SetTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = widget->palette();
    const QPalette::ColorRole background =
        role == QPalette::ButtonText ? QPalette::Button : QPalette::Window;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        p.setColor(group, role, WindowColour::Readable(colour, p.color(group, background)));
    widget->setPalette(p);
    // A style sheet's colour wins over the palette, and a state shown in it would read as
    // normal text: the control's own rule wins over any sheet around it.
    // The system's colour is the normal look, which under a style sheet is the sheet's.
    QString rule;
    if (colour != WindowColour::System(role) && StyleSheetInForce(widget)) {
        rule = QString("%1:enabled { color: %2; }")
                   .arg(widget->metaObject()->className(), p.color(QPalette::Active, role).name());
    }
    if (widget->styleSheet() != rule)
        widget->setStyleSheet(rule);
}

bool WindowColour::IsDark(const QPalette& palette) {
    return IsDarkPalette(palette);
}

QColor WindowColour::Readable(const QColor& colour, const QColor& background) {
    return ReadableOn(colour, background);
}

QColor WindowColour::System(QPalette::ColorRole role) {
    return QApplication::palette().color(role);
}

TChoiceList::TChoiceList(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (closing_)
            emit Chosen(index);
    });
}

void TChoiceList::hidePopup() {
    // An item picked in the open list closes it and is then activated, in one go.
    closing_ = true;
    QComboBox::hidePopup();
    QTimer::singleShot(0, this, [this] { closing_ = false; });
}
