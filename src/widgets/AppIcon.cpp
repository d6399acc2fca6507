#include "widgets/AppIcon.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

namespace {

// Draws on a square grid of `grid` units mapped onto `target`.
class TGridPainter {
  public:
    TGridPainter(QPainter& painter, const QRectF& target, qreal grid) : P(painter) {
        P.save();
        P.setRenderHint(QPainter::Antialiasing);
        P.translate(target.topLeft());
        P.scale(target.width() / grid, target.height() / grid);
    }
    ~TGridPainter() { P.restore(); }
    QPainter& P;
};

// An icon engine that paints the icon afresh for every size and ratio asked of it.
class TAppIconEngine : public QIconEngine {
  public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.5);
        PaintAppIcon(*painter, rect);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pm(size * scale);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            paint(&p, QRect(QPoint(0, 0), pm.size()), mode, state);
        }
        pm.setDevicePixelRatio(scale);
        return pm;
    }
    QIconEngine* clone() const override { return new TAppIconEngine; }
    QString key() const override { return "TAppIconEngine"; }
};

}  // namespace

void PaintAppIcon(QPainter& painter, const QRectF& target) {
    TGridPainter g(painter, target, 64);
    QPainter& p = g.P;
    const QColor body(0x2d, 0x4f, 0x7c);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(8, 22, 48, 34), 5, 5);
    p.setBrush(QColor(0xa6, 0xca, 0xf0));
    p.drawRoundedRect(QRectF(14, 28, 22, 12), 2, 2);
    p.setBrush(QColor(0x00, 0xff, 0x00));
    p.drawEllipse(QPointF(46, 34), 5, 5);
    p.setBrush(QColor(0x1b, 0x33, 0x52));
    p.drawRoundedRect(QRectF(14, 45, 36, 5), 2, 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(body, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(44, 22), QPointF(52, 4));
    QPainterPath waves;
    waves.moveTo(50, 8);
    waves.quadTo(56, 12, 50, 18);
    waves.moveTo(54, 4);
    waves.quadTo(64, 12, 54, 22);
    p.setPen(QPen(QColor(0xff, 0, 0), 2));
    p.drawPath(waves);
}

QIcon AppIcon() {
    return QIcon(new TAppIconEngine);
}

void PaintMakerLogo(QPainter& painter, const QRectF& target) {
    TGridPainter g(painter, target, 48);
    QPainter& p = g.P;
    p.setPen(QPen(QColor(0, 0x40, 0x80), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 22), QPointF(24, 44));
    p.drawLine(QPointF(16, 44), QPointF(32, 44));
    for (int r = 7; r <= 19; r += 6)
        p.drawArc(QRectF(24 - r, 18 - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
    p.setBrush(QColor(0xC0, 0, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(24, 18), 3, 3);
}

QPixmap MakerLogoPixmap(int size, qreal devicePixelRatio) {
    if (devicePixelRatio <= 0)
        devicePixelRatio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pm(pixels, pixels);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        PaintMakerLogo(p, QRectF(0, 0, pixels, pixels));
    }
    pm.setDevicePixelRatio(devicePixelRatio);
    return pm;
}
