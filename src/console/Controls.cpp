#include "console/Controls.h"

#include <QApplication>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

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

void SetTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = widget->palette();
    const QPalette::ColorRole background =
        role == QPalette::ButtonText ? QPalette::Button : QPalette::Window;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        p.setColor(group, role, WindowColour::Readable(colour, p.color(group, background)));
    widget->setPalette(p);
}

namespace {

// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double Luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

bool WindowColour::IsDark(const QPalette& palette) {
    return Luminance(palette.color(QPalette::Window)) <
           Luminance(palette.color(QPalette::WindowText));
}

QColor WindowColour::Readable(const QColor& colour, const QColor& background) {
    // The designed colours were chosen for a light window and stay as they are there.
    constexpr double kReadable = 4.5;
    if (Luminance(background) >= 0.18 || Contrast(colour, background) >= kReadable)
        return colour;
    QColor c = colour.toHsl();
    const float hue = c.hslHueF(), saturation = c.hslSaturationF();
    for (float l = c.lightnessF(); l <= 1.0f; l += 0.02f) {
        c.setHslF(hue, saturation, l);
        if (Contrast(c, background) >= kReadable)
            break;
    }
    return c.toRgb();
}

QColor WindowColour::System(QPalette::ColorRole role) {
    return QApplication::palette().color(role);
}
