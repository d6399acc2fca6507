#include "widgets/SignalPlot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

const QColor kBackground(0x10, 0x18, 0x20);
const QColor kGrid(0x40, 0x50, 0x60);
const QColor kText(0xC0, 0xC8, 0xD0);
constexpr int kAxisWidth = 40;
constexpr int kMargin = 6;
constexpr int kGridLines = 4;

}  // namespace

TSignalPlot::TSignalPlot(QWidget* parent) : QWidget(parent) {
    setMinimumSize(240, 120);
}

int TSignalPlot::AddSeries(const Series& series) {
    series_.push_back(series);
    points_.emplace_back();
    return static_cast<int>(series_.size()) - 1;
}

void TSignalPlot::AddPoint(int series, double seconds, double value) {
    if (series < 0 || static_cast<size_t>(series) >= points_.size())
        return;
    now_ = std::max(now_, seconds);
    auto& points = points_[static_cast<size_t>(series)];
    points.push_back({seconds, value});
    while (!points.empty() && points.front().T < now_ - span_)
        points.pop_front();
    update();
}

size_t TSignalPlot::PointCount(int series) const {
    return series >= 0 && static_cast<size_t>(series) < points_.size()
               ? points_[static_cast<size_t>(series)].size()
               : 0;
}

QRectF TSignalPlot::PlotArea() const {
    return QRectF(kAxisWidth, kMargin, width() - 2 * kAxisWidth, height() - 2 * kMargin - 14);
}

QPointF TSignalPlot::Map(const Series& s, const QRectF& area, const Point& p) const {
    const double x = area.right() - (now_ - p.T) / span_ * area.width();
    const double fraction = std::clamp((p.V - s.Low) / (s.High - s.Low), 0.0, 1.0);
    return {x, area.bottom() - fraction * area.height()};
}

void TSignalPlot::DrawFrame(QPainter& painter, const QRectF& area) const {
    painter.setPen(kGrid);
    for (int i = 0; i <= kGridLines; ++i) {
        const double y = area.top() + area.height() * i / kGridLines;
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
    painter.drawRect(area);
    // Each axis is labelled in its series' colour and scale.
    for (size_t i = 0; i < series_.size() && i < 2; ++i) {
        const Series& s = series_[i];
        painter.setPen(s.Colour);
        for (int g = 0; g <= kGridLines; ++g) {
            const double y = area.top() + area.height() * g / kGridLines;
            const double value = s.High - (s.High - s.Low) * g / kGridLines;
            const QRectF box = i == 0 ? QRectF(0, y - 7, kAxisWidth - 4, 14)
                                      : QRectF(area.right() + 4, y - 7, kAxisWidth - 4, 14);
            painter.drawText(box, (i == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                             QString::number(value, 'f', 0));
        }
    }
    painter.setPen(kText);
    const QString span = QString("last %1 min").arg(span_ / 60, 0, 'f', 0);
    painter.drawText(QRectF(area.left(), area.bottom() + 1, area.width(), 14), Qt::AlignCenter,
                     span);
}

void TSignalPlot::DrawSeries(QPainter& painter, const QRectF& area, size_t index) const {
    const auto& points = points_[index];
    if (points.empty())
        return;
    QPainterPath path(Map(series_[index], area, points.front()));
    for (const Point& p : points)
        path.lineTo(Map(series_[index], area, p));
    painter.setPen(QPen(series_[index].Colour, 1.5));
    painter.drawPath(path);
}

void TSignalPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const QRectF area = PlotArea();
    DrawFrame(painter, area);
    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing);
    for (size_t i = 0; i < series_.size(); ++i)
        DrawSeries(painter, area, i);
}
