#include "widgets/Readable.h"

#include <algorithm>
#include <cmath>

namespace {

// Relative luminance as the web's accessibility guidelines define it.
double Luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkPalette(const QPalette& palette) {
    return Luminance(palette.color(QPalette::Window)) <
           Luminance(palette.color(QPalette::WindowText));
}

QColor ReadableOn(const QColor& colour, const QColor& background) {
    // The designed colours were chosen for a light window and stay as they are there.
    constexpr double kReadable = 4.5;
    if (Luminance(background) >= 0.18 || ContrastRatio(colour, background) >= kReadable)
        return colour;
    QColor c = colour.toHsl();
    const float hue = c.hslHueF(), saturation = c.hslSaturationF();
    for (float l = c.lightnessF(); l <= 1.0f; l += 0.02f) {
        c.setHslF(hue, saturation, l);
        if (ContrastRatio(c, background) >= kReadable)
            break;
    }
    return c.toRgb();
}
