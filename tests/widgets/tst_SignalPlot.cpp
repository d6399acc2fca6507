// The alignment view's plot: five minutes of readings at the line's pace kept decimated to the
// plot's width, repainted once per frame however many readings come, a one-reading peak still
// drawn, and its readings told to screen readers.

#include <QAccessible>
#include <QElapsedTimer>
#include <QTest>

#include "widgets/SignalPlot.h"

namespace {

const QColor kRssi(0x40, 0xE0, 0x60);
const QColor kTemperature(0xF0, 0xA0, 0x30);

struct Plot {
    TSignalPlot plot;
    int rssi, temperature;
    Plot() {
        rssi = plot.AddSeries({"Raw RSSI", "", "RSSI", kRssi, 0, 255});
        temperature = plot.AddSeries({"Temperature", "°C", "°C", kTemperature, -40, 100});
        plot.resize(500, 240);
        plot.show();
    }
    // Five minutes at 80 readings a second, one of them 255 when `spike`, and the temperature
    // every three seconds.
    void Fill(double until, bool spike = false) {
        for (int i = 0; i < 300 * 80; ++i)
            plot.AddPoint(rssi, until - 300 + i / 80.0, spike && i == 150 * 80 ? 255 : 40);
        for (int i = 0; i < 100; ++i)
            plot.AddPoint(temperature, until - 300 + i * 3.0, 30);
    }
};

// The topmost row of the middle of the plot where the RSSI's green is drawn, even blended at
// the edge of a line; -1 when it is nowhere.
int TopRowOfRssi(TSignalPlot& plot) {
    const QImage image = plot.grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = image.width() / 4; x < image.width() * 3 / 4; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.green() - std::max(c.red(), c.blue()) > 30)
                return y;
        }
    }
    return -1;
}

}  // namespace

class TestSignalPlot : public QObject {
    Q_OBJECT
  private slots:
    // A full buffer is kept whole but drawn from one column per pixel; a single reading at the
    // top of the scale, among thousands at 40, is still drawn at the top.
    void fullBufferIsDrawnFromColumnsOfItsWidth() {
        Plot p;
        QVERIFY(QTest::qWaitForWindowExposed(&p.plot));
        p.Fill(300, true);
        QCOMPARE(p.plot.PointCount(p.rssi), size_t(300 * 80));
        const size_t columns = p.plot.ColumnCount(p.rssi);
        QVERIFY2(columns <= 500 && columns > 300, qPrintable(QString::number(columns)));
        QCOMPARE(p.plot.Peak(p.rssi).value_or(-1), 255.0);
        QCOMPARE(p.plot.Current(p.rssi).value_or(-1), 40.0);

        // The spike reaches far above the readings around it.
        const int top = TopRowOfRssi(p.plot);
        p.plot.ResetPeak(p.rssi);
        QVERIFY(top >= 0);
        Plot flat;
        QVERIFY(QTest::qWaitForWindowExposed(&flat.plot));
        flat.Fill(300);
        QVERIFY2(TopRowOfRssi(flat.plot) > top + 50,
                 qPrintable(QString("%1 vs %2").arg(TopRowOfRssi(flat.plot)).arg(top)));

        // Older than the span, readings go, points and columns alike.
        p.plot.AddPoint(p.rssi, 600, 40);
        QCOMPARE(p.plot.PointCount(p.rssi), size_t(1));
        QVERIFY(p.plot.ColumnCount(p.rssi) <= 2);
    }

    // A wider window gives the plot more room, and it keeps one column per pixel of it.
    void growsWithItsWindow() {
        Plot p;
        p.Fill(300);
        const size_t narrow = p.plot.ColumnCount(p.rssi);
        p.plot.resize(1000, 400);
        QTest::qWait(0);
        const size_t wide = p.plot.ColumnCount(p.rssi);
        QVERIFY2(wide > narrow * 3 / 2 && wide <= 1000,
                 qPrintable(QString("%1 -> %2").arg(narrow).arg(wide)));
        QCOMPARE(p.plot.PointCount(p.rssi), size_t(300 * 80));
    }

    // Readings that come each in a turn of the event loop are painted once per frame, not once
    // each: at most one paint for every frame interval that passed, and one more.
    void repaintsOncePerFrame() {
        Plot p;
        QVERIFY(QTest::qWaitForWindowExposed(&p.plot));
        QVERIFY(p.plot.FrameInterval() >= 16);
        QTest::qWait(0);
        const int64_t before = p.plot.Paints();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 400; ++i) {
            p.plot.AddPoint(p.rssi, i / 80.0, i % 256);
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY(p.plot.Paints() > before);
        const int64_t paints = p.plot.Paints() - before;
        const int64_t frames = clock.elapsed() / p.plot.FrameInterval() + 1;
        QVERIFY2(paints <= frames + 1, qPrintable(QString("%1 paints in %2 frames of %3 ms")
                                                      .arg(paints)
                                                      .arg(frames)
                                                      .arg(p.plot.FrameInterval())));
        QVERIFY(paints < 400);
    }

    // A chart to a screen reader, its description the current reading and peak of each series.
    void tellsItsReadings() {
        Plot p;
        p.plot.setAccessibleName("Raw RSSI and temperature");
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&p.plot);
        QCOMPARE(a->role(), QAccessible::Chart);
        QCOMPARE(a->text(QAccessible::Name), QString("Raw RSSI and temperature"));
        QCOMPARE(a->text(QAccessible::Description), QString("No readings yet"));
        p.plot.AddPoint(p.rssi, 1, 90);
        p.plot.AddPoint(p.rssi, 2, 70);
        p.plot.AddPoint(p.temperature, 2, 31);
        QCOMPARE(a->text(QAccessible::Description),
                 QString("Raw RSSI 70, peak 90; Temperature 31 °C, peak 31 °C"));
        p.plot.ResetPeak(p.rssi);
        QCOMPARE(a->text(QAccessible::Description),
                 QString("Raw RSSI 70, peak 70; Temperature 31 °C, peak 31 °C"));
    }
};

QTEST_MAIN(TestSignalPlot)
#include "tst_SignalPlot.moc"
