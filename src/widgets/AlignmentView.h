#pragma once
// The antenna alignment view: the radio's RSSI read as fast as the line allows while the
// technician turns the antenna, in large figures with its peak, and a plot of RSSI and
// temperature over the last minutes. It holds the port while open; every few seconds it asks
// the radio who it is (RV, PN) and its temperature (RT), so a swapped radio stops the view.

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

class AlignmentThread;
class QLabel;
class QPushButton;
class QTimer;
class TSignalPlot;

class TAlignmentView : public QDialog {
    Q_OBJECT
  public:
    // `serial` and `versionText`: the radio the window shows, the one the view must find.
    TAlignmentView(QWidget* parent, int64_t serial, std::string versionText);
    ~TAlignmentView() override;

    QLabel* Label_Rssi;
    QLabel* Label_Peak;
    QLabel* Label_Rate;
    QLabel* Label_Temperature;
    QLabel* Label_Status;
    QPushButton* Button_ResetPeak;
    TSignalPlot* Plot;

    int64_t Readings() const { return readings_; }
    // Readings in the last second.
    int Rate() const { return static_cast<int>(recent_.size()); }

  signals:
    // Another radio answered on the port: the view has stopped reading.
    void RadioChanged();

  protected:
    void done(int result) override;

  private:
    void Tick();
    void Stop(const QString& why);

    QTimer* timer_;
    std::deque<double> recent_;  // when the readings of the last second were taken, in s
    std::unique_ptr<AlignmentThread> sampling_;
    int peak_ = -1;
    int64_t readings_ = 0;
    int rssiSeries_ = 0, temperatureSeries_ = 0;
};
