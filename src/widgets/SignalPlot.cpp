#include "widgets/SignalPlot.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDateTime>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

const QColor kBackground(0x10, 0x18, 0x20);
const QColor kGrid(0x40, 0x50, 0x60);
const QColor kText(0xC0, 0xC8, 0xD0);
constexpr int kGridLines = 4;
// gqrx caps its plotter at the same: a faster screen gains nothing a technician sees.
constexpr int kShortestFrameMs = 16;
// A screen reader is told of new readings this often at most.
constexpr int64_t kTellEveryMs = 1000;

QString Number(double value) {
    return QString::number(value, 'f', 0);
}

// A time before now on an axis ticked every `step` seconds: "−4 min" for whole minutes,
// "−4:30" when the ticks fall between them; "now" for now.
QString TimeLabel(double secondsAgo, double step) {
    if (secondsAgo < 0.5)
        return "now";
    const int seconds = static_cast<int>(std::lround(secondsAgo));
    if (std::fmod(step, 60) < 0.5)
        return QString::fromUtf8("\u2212%1 min").arg(seconds / 60);
    return QString::fromUtf8("\u2212%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

// A chart to a screen reader, named as the view names it and described by its readings.
class TSignalPlotAccessible : public QAccessibleWidget {
  public:
    explicit TSignalPlotAccessible(TSignalPlot* plot)
        : QAccessibleWidget(plot, QAccessible::Chart) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Description) {
            const QString readings = static_cast<TSignalPlot*>(widget())->ReadingsText();
            const QString own = QAccessibleWidget::text(t);
            return own.isEmpty() ? readings : own + ". " + readings;
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* SignalPlotAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TSignalPlot") && object != nullptr && object->isWidgetType())
        return new TSignalPlotAccessible(static_cast<TSignalPlot*>(object));
    return nullptr;
}

}  // namespace

TSignalPlot::TSignalPlot(QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(SignalPlotAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    frame_ = new QTimer(this);
    frame_->setSingleShot(true);
    connect(frame_, &QTimer::timeout, this, [this] {
        update();
        TellReadings();
    });
    Rebuild();
}

int TSignalPlot::AddSeries(const Series& series) {
    series_.push_back({series, {}, {}, {}, {}});
    // Its axis takes room from the plot.
    Rebuild();
    update();
    return static_cast<int>(series_.size()) - 1;
}

void TSignalPlot::AddPoint(int series, double seconds, double value) {
    if (series < 0 || static_cast<size_t>(series) >= series_.size())
        return;
    SeriesData& data = series_[static_cast<size_t>(series)];
    now_ = std::max(now_, seconds);
    const Point p{seconds, value};
    data.Points.push_back(p);
    AddToColumns(data, p);
    data.Current = value;
    data.Peak = data.Peak ? std::max(*data.Peak, value) : value;
    for (SeriesData& d : series_)
        DropOld(d);
    ScheduleRepaint();
}

void TSignalPlot::SetSpan(double seconds) {
    span_ = std::max(1.0, seconds);
    Rebuild();
    update();
}

size_t TSignalPlot::PointCount(int series) const {
    return series >= 0 && static_cast<size_t>(series) < series_.size()
               ? series_[static_cast<size_t>(series)].Points.size()
               : 0;
}

size_t TSignalPlot::ColumnCount(int series) const {
    return series >= 0 && static_cast<size_t>(series) < series_.size()
               ? series_[static_cast<size_t>(series)].Columns.size()
               : 0;
}

std::optional<double> TSignalPlot::Current(int series) const {
    if (series < 0 || static_cast<size_t>(series) >= series_.size())
        return std::nullopt;
    return series_[static_cast<size_t>(series)].Current;
}

std::optional<double> TSignalPlot::Peak(int series) const {
    if (series < 0 || static_cast<size_t>(series) >= series_.size())
        return std::nullopt;
    return series_[static_cast<size_t>(series)].Peak;
}

void TSignalPlot::ResetPeak(int series) {
    if (series < 0 || static_cast<size_t>(series) >= series_.size())
        return;
    SeriesData& data = series_[static_cast<size_t>(series)];
    data.Peak = data.Current;
}

QString TSignalPlot::ReadingsText() const {
    QStringList parts;
    for (const SeriesData& d : series_) {
        if (!d.Current)
            continue;
        const QString unit = d.Look.Unit.isEmpty() ? QString() : " " + d.Look.Unit;
        parts << QString("%1 %2%3, peak %4%3")
                     .arg(d.Look.Name, Number(*d.Current), unit,
                          Number(d.Peak.value_or(*d.Current)));
    }
    return parts.isEmpty() ? QString("No readings yet") : parts.join("; ");
}

int TSignalPlot::FrameInterval() const {
    const QScreen* s = screen();
    const double rate = s != nullptr ? s->refreshRate() : 60.0;
    const int frame = rate > 0 ? static_cast<int>(std::ceil(1000.0 / rate)) : kShortestFrameMs;
    return std::max(kShortestFrameMs, frame);
}

QSize TSignalPlot::sizeHint() const {
    const int line = fontMetrics().height();
    return {line * 32, line * 14};
}

QSize TSignalPlot::minimumSizeHint() const {
    const int line = fontMetrics().height();
    return {line * 20, line * 9};
}

QRectF TSignalPlot::PlotArea() const {
    const QFontMetrics fm = fontMetrics();
    const int line = fm.height();
    // Each axis column is as wide as its widest label or title.
    auto axisWidth = [&](size_t i) {
        if (i >= series_.size())
            return line;
        const Series& s = series_[i].Look;
        int widest = fm.horizontalAdvance(s.Axis);
        for (double v : {s.Low, s.High})
            widest = std::max(widest, fm.horizontalAdvance(Number(v)));
        return widest + line / 2 + 4;
    };
    const int left = axisWidth(0), right = axisWidth(1);
    const int top = line * 3 + 6;  // the legend, then the axes' titles above their top labels
    const int bottom = line + 6;   // the time axis
    return QRectF(left, top, std::max(1, width() - left - right),
                  std::max(1, height() - top - bottom));
}

double TSignalPlot::ValueY(const Series& s, const QRectF& area, double value) const {
    const double fraction = std::clamp((value - s.Low) / (s.High - s.Low), 0.0, 1.0);
    return area.bottom() - fraction * area.height();
}

double TSignalPlot::TimeX(const QRectF& area, double seconds) const {
    return area.right() - (now_ - seconds) / span_ * area.width();
}

void TSignalPlot::AddToColumns(SeriesData& data, const Point& p) const {
    const auto index = static_cast<int64_t>(std::floor(p.T / columnSeconds_));
    // A point older than the last column (a clock that went back) joins the last column.
    if (!data.Columns.empty() && index <= data.Columns.back().Index) {
        Column& c = data.Columns.back();
        c.Low = std::min(c.Low, p.V);
        c.High = std::max(c.High, p.V);
        c.Last = p.V;
        return;
    }
    data.Columns.push_back({index, p.V, p.V, p.V, p.V});
}

void TSignalPlot::DropOld(SeriesData& data) const {
    const double oldest = now_ - span_;
    while (!data.Points.empty() && data.Points.front().T < oldest)
        data.Points.pop_front();
    while (!data.Columns.empty() &&
           static_cast<double>(data.Columns.front().Index + 1) * columnSeconds_ < oldest)
        data.Columns.pop_front();
}

void TSignalPlot::Rebuild() {
    columnSeconds_ = span_ / std::max(1.0, std::floor(PlotArea().width()));
    for (SeriesData& d : series_) {
        d.Columns.clear();
        for (const Point& p : d.Points)
            AddToColumns(d, p);
    }
}

void TSignalPlot::ScheduleRepaint() {
    // One repaint per frame, however many readings came in it.
    if (!frame_->isActive())
        frame_->start(FrameInterval());
}

void TSignalPlot::TellReadings() {
    if (!QAccessible::isActive())
        return;
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    if (toldAt_ >= 0 && now - toldAt_ < kTellEveryMs)
        return;
    const QString readings = ReadingsText();
    if (readings == toldReadings_)
        return;
    toldReadings_ = readings;
    toldAt_ = now;
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

void TSignalPlot::resizeEvent(QResizeEvent* event) {
    Rebuild();
    QWidget::resizeEvent(event);
}

void TSignalPlot::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        Rebuild();
    QWidget::changeEvent(event);
}

void TSignalPlot::DrawFrame(QPainter& painter, const QRectF& area) const {
    const QFontMetrics fm = fontMetrics();
    const int line = fm.height();
    painter.setPen(kGrid);
    for (int i = 0; i <= kGridLines; ++i) {
        const double y = area.top() + area.height() * i / kGridLines;
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
    // The time axis: a tick each minute, or more often when the span is short, as long as the
    // labels fit.
    const double labelWidth = fm.horizontalAdvance(TimeLabel(span_ - 30, 30)) + line;
    double step = span_;
    for (double s : {10.0, 15.0, 30.0, 60.0, 120.0, 300.0}) {
        if (s <= span_ && area.width() * s / span_ >= labelWidth) {
            step = s;
            break;
        }
    }
    for (double ago = 0; ago <= span_ + 0.001; ago += step) {
        const double x = area.right() - ago / span_ * area.width();
        painter.setPen(kGrid);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom() + 3));
        painter.setPen(kText);
        const QString label = TimeLabel(ago, step);
        const double w = fm.horizontalAdvance(label);
        const double left = std::clamp(x - w / 2, 0.0, width() - w);
        painter.drawText(QRectF(left, area.bottom() + 3, w + 1, line), Qt::AlignCenter, label);
    }
    painter.setPen(kGrid);
    painter.drawRect(area);
    // Each axis is labelled in its series' colour and scale, its title above it.
    for (size_t i = 0; i < series_.size() && i < 2; ++i) {
        const Series& s = series_[i].Look;
        painter.setPen(s.Colour);
        const QRectF column =
            i == 0 ? QRectF(0, 0, area.left() - 4, height())
                   : QRectF(area.right() + 4, 0, width() - area.right() - 4, height());
        const Qt::Alignment side = i == 0 ? Qt::AlignRight : Qt::AlignLeft;
        painter.drawText(QRectF(column.left(), area.top() - 2 * line, column.width(), line),
                         side | Qt::AlignVCenter, s.Axis);
        for (int g = 0; g <= kGridLines; ++g) {
            const double y = area.top() + area.height() * g / kGridLines;
            const double value = s.High - (s.High - s.Low) * g / kGridLines;
            painter.drawText(QRectF(column.left(), y - line / 2.0, column.width(), line),
                             side | Qt::AlignVCenter, Number(value));
        }
    }
}

void TSignalPlot::DrawLegend(QPainter& painter, const QRectF& area) const {
    const QFontMetrics fm = fontMetrics();
    const int line = fm.height();
    double x = area.left();
    for (const SeriesData& d : series_) {
        const QString text = d.Look.Unit.isEmpty() ? d.Look.Name : d.Look.Name + ", " + d.Look.Unit;
        painter.setPen(QPen(d.Look.Colour, 3));
        painter.drawLine(QPointF(x, line / 2.0 + 2), QPointF(x + line, line / 2.0 + 2));
        painter.setPen(kText);
        x += line + 4;
        const double w = fm.horizontalAdvance(text);
        painter.drawText(QRectF(x, 2, w + 1, line), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += w + line;
    }
}

void TSignalPlot::DrawSeries(QPainter& painter, const QRectF& area, const SeriesData& data) const {
    if (data.Columns.empty())
        return;
    QPolygonF line;
    line.reserve(static_cast<qsizetype>(data.Columns.size() * 4));
    for (const Column& c : data.Columns) {
        const double x = std::max(
            area.left(), TimeX(area, (static_cast<double>(c.Index) + 0.5) * columnSeconds_));
        const Series& s = data.Look;
        line << QPointF(x, ValueY(s, area, c.First));
        // Low then high, or high then low: whichever way the column's readings went last.
        if (c.Last >= c.First) {
            line << QPointF(x, ValueY(s, area, c.Low)) << QPointF(x, ValueY(s, area, c.High));
        } else {
            line << QPointF(x, ValueY(s, area, c.High)) << QPointF(x, ValueY(s, area, c.Low));
        }
        line << QPointF(x, ValueY(s, area, c.Last));
    }
    // A cosmetic pen: the raster engine's fast line path, where a wider pen would be stroked
    // as a path on every frame.
    QPen pen(data.Look.Colour, 0);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.drawPolyline(line);
}

void TSignalPlot::paintEvent(QPaintEvent*) {
    ++paints_;
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const QRectF area = PlotArea();
    DrawFrame(painter, area);
    DrawLegend(painter, area);
    painter.setClipRect(area.adjusted(-1, -1, 1, 1));
    painter.setRenderHint(QPainter::Antialiasing);
    for (const SeriesData& d : series_)
        DrawSeries(painter, area, d);
}
