#pragma once
// A small time plot of our own: a few series over the last minutes, each on its own scale (the
// first on the left axis, the second on the right), newest at the right edge.

#include <QColor>
#include <QString>
#include <QWidget>
#include <deque>
#include <vector>

class TSignalPlot : public QWidget {
    Q_OBJECT
  public:
    struct Series {
        QString Name;
        QColor Colour;
        double Low = 0, High = 1;  // the axis range
    };

    explicit TSignalPlot(QWidget* parent = nullptr);

    // Returns the series' index.
    int AddSeries(const Series& series);
    // A value at `seconds` since the plot began; points older than the span are dropped.
    void AddPoint(int series, double seconds, double value);
    void SetSpan(double seconds) { span_ = seconds; }
    size_t PointCount(int series) const;

    QSize sizeHint() const override { return {420, 180}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Point {
        double T, V;
    };
    QRectF PlotArea() const;
    QPointF Map(const Series& s, const QRectF& area, const Point& p) const;
    void DrawFrame(class QPainter& painter, const QRectF& area) const;
    void DrawSeries(class QPainter& painter, const QRectF& area, size_t index) const;

    std::vector<Series> series_;
    std::vector<std::deque<Point>> points_;
    double span_ = 300;
    double now_ = 0;
};
