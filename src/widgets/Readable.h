#pragma once
// Colours that keep their meaning on any palette: the designed colours stay as they are on a
// light window, and on a dark one take the same hue made light enough to read.

#include <QColor>
#include <QPalette>

// A palette whose window is darker than its text.
bool IsDarkPalette(const QPalette& palette);
// `colour` as shown on `background`: unchanged on a light background or where it already reads
// (a contrast of 4.5:1, as the web's accessibility guidelines ask of text); otherwise lighter.
QColor ReadableOn(const QColor& colour, const QColor& background);
// The contrast ratio of two colours, 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);
