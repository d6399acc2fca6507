#pragma once
// The program's pictures, drawn rather than stored so that they are sharp at every size and
// device pixel ratio: the application icon (the same drawing as the installed SVG icon) and the
// maker's logo in the window's head.

#include <QIcon>
#include <QPixmap>

class QPainter;
class QRectF;

// The application icon in `target` (drawn on a 64 x 64 grid, scaled).
void PaintAppIcon(QPainter& painter, const QRectF& target);
// The application icon at any size the desktop asks for.
QIcon AppIcon();

// The maker's mark in `target` (drawn on a 48 x 48 grid, scaled).
void PaintMakerLogo(QPainter& painter, const QRectF& target);
// The logo `size` pixels square on screen, with device pixels for `devicePixelRatio`; 0 takes
// the highest ratio of the application's screens.
QPixmap MakerLogoPixmap(int size, qreal devicePixelRatio = 0);
