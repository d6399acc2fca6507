#pragma once
// A small time plot of our own: a few series over the last minutes, each on its own scale (the
// first on the left axis, the second on the right), newest at the right edge, with a legend, the
// units of both axes and a time axis.
//
// Readings may come far faster than a screen shows them (the alignment view's RSSI, about 80 a
// second) and five minutes of them are kept: each series is also kept decimated to one column
// per pixel of the plot's width (first, lowest, highest and last value), and the plot is
// repainted from the columns at most once per frame of the screen. A peak one reading long
// still shows.

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class QTimer;

class TSignalPlot : public QWidget {
    Q_OBJECT
  public:
    struct Series {
        QString Name;  // in the legend: "Raw RSSI"
        QString Unit;  // after its values: "°C"; "" for a raw count
        QString Axis;  // over its axis: "RSSI", "°C"
        QColor Colour;
        double Low = 0, High = 1;  // the axis range
    };

    explicit TSignalPlot(QWidget* parent = nullptr);

    // Returns the series' index. The first two series have an axis each.
    int AddSeries(const Series& series);
    // A value at `seconds` since the plot began; points older than the span are dropped.
    void AddPoint(int series, double seconds, double value);
    void SetSpan(double seconds);
    double Span() const { return span_; }
    size_t PointCount(int series) const;
    // The columns kept for drawing: at most one per pixel of the plot's width, and one more.
    size_t ColumnCount(int series) const;

    // The series' last value, and its highest since it began or since ResetPeak.
    std::optional<double> Current(int series) const;
    std::optional<double> Peak(int series) const;
    void ResetPeak(int series);
    // What a screen reader reads as the plot's description: each series' current and peak.
    QString ReadingsText() const;

    // Paint events so far.
    int64_t Paints() const { return paints_; }
    // The least time between two repaints: one frame of the screen, and no less than 16 ms.
    int FrameInterval() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(class QPaintEvent* event) override;
    void resizeEvent(class QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct Point {
        double T, V;
    };
    // The points of one pixel's time, in the order they came.
    struct Column {
        int64_t Index;  // floor(T / columnSeconds_)
        double First, Low, High, Last;
    };
    struct SeriesData {
        Series Look;
        std::deque<Point> Points;
        std::deque<Column> Columns;
        std::optional<double> Current, Peak;
    };

    QRectF PlotArea() const;
    double ValueY(const Series& s, const QRectF& area, double value) const;
    double TimeX(const QRectF& area, double seconds) const;
    void AddToColumns(SeriesData& data, const Point& p) const;
    void DropOld(SeriesData& data) const;
    // Columns again from the points, after the width or the span changed.
    void Rebuild();
    void ScheduleRepaint();
    void TellReadings();
    void DrawFrame(class QPainter& painter, const QRectF& area) const;
    void DrawLegend(class QPainter& painter, const QRectF& area) const;
    void DrawSeries(class QPainter& painter, const QRectF& area, const SeriesData& data) const;

    std::vector<SeriesData> series_;
    double span_ = 300;
    double now_ = 0;
    double columnSeconds_ = 1;
    QTimer* frame_;
    int64_t paints_ = 0;
    QString toldReadings_;
    int64_t toldAt_ = -1;
};
