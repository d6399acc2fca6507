#include "widgets/AlignmentView.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "common/StrUtils.h"
#include "operations/AlignmentSampler.h"
#include "platform/Interruption.h"
#include "widgets/SignalPlot.h"

namespace {

// Readings are taken back to back for this long before the window has its turn: the line sets
// the pace, not the event loop.
constexpr qint64 kBatchMs = 15;
// After a failed exchange, the next try waits this long rather than hammering a silent line.
constexpr int kRetryMs = 500;
const QColor kRssiColour(0x40, 0xE0, 0x60);
const QColor kTemperatureColour(0xF0, 0xA0, 0x30);

QLabel* Named(QLabel* label, const char* name) {
    label->setObjectName(name);
    return label;
}

}  // namespace

TAlignmentView::TAlignmentView(QWidget* parent, int64_t serial, std::string versionText)
    : QDialog(parent),
      sampler_(std::make_unique<AlignmentSampler>(serial, std::move(versionText))) {
    setObjectName("AlignmentView");
    setWindowTitle("Antenna Alignment");
    setWindowModality(Qt::ApplicationModal);
    auto* grid = new QGridLayout(this);
    Label_Rssi = Named(new QLabel("--", this), "Label_Rssi");
    QFont big = Label_Rssi->font();
    big.setPointSize(big.pointSize() * 4);
    big.setBold(true);
    Label_Rssi->setFont(big);
    Label_Rssi->setAlignment(Qt::AlignCenter);
    Label_Peak = Named(new QLabel("Peak --", this), "Label_Peak");
    Label_Rate = Named(new QLabel("0 readings/s", this), "Label_Rate");
    Label_Temperature = Named(new QLabel("-- °C", this), "Label_Temperature");
    Label_Status = Named(new QLabel(this), "Label_Status");
    Button_ResetPeak = new QPushButton("Reset Peak", this);
    Button_ResetPeak->setObjectName("Button_ResetPeak");
    Plot = new TSignalPlot(this);
    Plot->setObjectName("Plot");
    rssiSeries_ = Plot->AddSeries({"RSSI", kRssiColour, 0, 255});
    temperatureSeries_ = Plot->AddSeries({"°C", kTemperatureColour, -40, 100});
    grid->addWidget(new QLabel("Raw RSSI", this), 0, 0);
    grid->addWidget(Label_Rssi, 1, 0, 1, 3);
    grid->addWidget(Label_Peak, 2, 0);
    grid->addWidget(Label_Temperature, 2, 1);
    grid->addWidget(Label_Rate, 2, 2);
    grid->addWidget(Plot, 3, 0, 1, 3);
    grid->addWidget(Label_Status, 4, 0, 1, 2);
    grid->addWidget(Button_ResetPeak, 4, 2);
    connect(Button_ResetPeak, &QPushButton::clicked, this, [this] {
        peak_ = -1;
        Label_Peak->setText("Peak --");
    });

    clock_.start();
    timer_ = new QTimer(this);
    // Zero: the next reading as soon as the event loop is free, so the line sets the pace.
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, &TAlignmentView::Tick);
    timer_->start();
}

TAlignmentView::~TAlignmentView() = default;

void TAlignmentView::done(int result) {
    timer_->stop();
    sampler_->Release();
    QDialog::done(result);
}

void TAlignmentView::Stop(const QString& why) {
    timer_->stop();
    sampler_->Release();
    Label_Status->setText(why);
}

void TAlignmentView::Tick() {
    // The view holds the port, and with it any signal: one that came ends the view between two
    // readings, so the window can go.
    const qint64 until = clock_.elapsed() + kBatchMs;
    bool read = false;
    do {
        if (PendingInterruption() != 0) {
            reject();
            return;
        }
        const AlignmentSampler::Reading r = sampler_->Next();
        if (r.Kind == AlignmentSampler::State::AnotherRadio) {
            Stop("Another radio is connected: the view has stopped");
            emit RadioChanged();
            return;
        }
        if (r.NewTemperature && r.TemperatureC) {
            Label_Temperature->setText(QString::number(*r.TemperatureC) + " °C");
            Plot->AddPoint(temperatureSeries_, r.Seconds, *r.TemperatureC);
        }
        if (r.Kind != AlignmentSampler::State::Reading) {
            Label_Status->setText("No reading from the radio");
            timer_->setInterval(kRetryMs);
            return;
        }
        read = true;
        const qint64 now = clock_.elapsed();
        ++readings_;
        recent_.push_back(now);
        peak_ = std::max(peak_, *r.Rssi);
        Label_Rssi->setText(QString::number(*r.Rssi));
        Plot->AddPoint(rssiSeries_, r.Seconds, *r.Rssi);
    } while (clock_.elapsed() < until);
    if (!read)
        return;
    timer_->setInterval(0);
    Label_Status->clear();
    const qint64 now = clock_.elapsed();
    while (!recent_.empty() && recent_.front() <= now - 1000)
        recent_.pop_front();
    Label_Peak->setText(QString("Peak %1").arg(peak_));
    Label_Rate->setText(QString("%1 readings/s").arg(recent_.size()));
}
