#include "widgets/AlignmentView.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "common/StrUtils.h"
#include "operations/AlignmentSampler.h"
#include "platform/Interruption.h"
#include "widgets/HelpWindow.h"
#include "widgets/HtmlHelp.h"
#include "widgets/SignalPlot.h"

namespace {

// The readings are taken on a thread of their own, back to back, so the line sets the pace; the
// view shows what came once a frame.
constexpr int kFrameMs = 16;
// After a failed exchange, the next try waits this long rather than hammering a silent line.
constexpr std::chrono::milliseconds kRetry{500};
const QColor kRssiColour(0x40, 0xE0, 0x60);
const QColor kTemperatureColour(0xF0, 0xA0, 0x30);

QLabel* Named(QLabel* label, const char* name) {
    label->setObjectName(name);
    return label;
}

}  // namespace

TAlignmentView::TAlignmentView(QWidget* parent, int64_t serial, std::string versionText)
    : QDialog(parent),
      sampling_(std::make_unique<AlignmentThread>(serial, std::move(versionText), kRetry)) {
    setObjectName("AlignmentView");
    setWindowTitle("Antenna Alignment");
    setWindowModality(Qt::ApplicationModal);
    SetHelpContext(this, HelpContexts::Alignment);
    Label_Rssi = Named(new QLabel("--", this), "Label_Rssi");
    QFont big = Label_Rssi->font();
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * 4);
    else
        big.setPixelSize(big.pixelSize() * 4);
    big.setBold(true);
    Label_Rssi->setFont(big);
    Label_Rssi->setAlignment(Qt::AlignCenter);
    Label_Rssi->setAccessibleDescription("Raw RSSI, the latest reading");
    Label_Peak = Named(new QLabel("Peak --", this), "Label_Peak");
    Label_Rate = Named(new QLabel("0 readings/s", this), "Label_Rate");
    Label_Temperature = Named(new QLabel("-- °C", this), "Label_Temperature");
    Label_Temperature->setAccessibleDescription("Temperature");
    Label_Status = Named(new QLabel(this), "Label_Status");
    Label_Status->setWordWrap(true);
    Button_ResetPeak = new QPushButton("Reset Peak", this);
    Button_ResetPeak->setObjectName("Button_ResetPeak");
    // Enter in the view is no Reset Peak: the peak is what the technician is looking for.
    Button_ResetPeak->setAutoDefault(false);
    Plot = new TSignalPlot(this);
    Plot->setObjectName("Plot");
    Plot->setAccessibleName("Raw RSSI and temperature, last 5 minutes");
    rssiSeries_ = Plot->AddSeries({"Raw RSSI", "", "RSSI", kRssiColour, 0, 255});
    temperatureSeries_ = Plot->AddSeries({"Temperature", "°C", "°C", kTemperatureColour, -40, 100});
    auto* caption = new QLabel("Raw RSSI", this);
    caption->setBuddy(Label_Rssi);

    auto* readings = new QHBoxLayout;
    readings->addWidget(Label_Peak);
    readings->addStretch();
    readings->addWidget(Label_Temperature);
    readings->addStretch();
    readings->addWidget(Label_Rate);
    auto* foot = new QHBoxLayout;
    foot->addWidget(Label_Status, 1);
    foot->addWidget(Button_ResetPeak, 0, Qt::AlignRight | Qt::AlignTop);
    auto* column = new QVBoxLayout(this);
    column->addWidget(caption);
    column->addWidget(Label_Rssi);
    column->addLayout(readings);
    // The plot takes the room a larger window gives.
    column->addWidget(Plot, 1);
    column->addLayout(foot);
    connect(Button_ResetPeak, &QPushButton::clicked, this, [this] {
        peak_ = -1;
        Label_Peak->setText("Peak --");
        Plot->ResetPeak(rssiSeries_);
    });
    setSizeGripEnabled(true);

    timer_ = new QTimer(this);
    timer_->setInterval(kFrameMs);
    connect(timer_, &QTimer::timeout, this, &TAlignmentView::Tick);
    timer_->start();
}

TAlignmentView::~TAlignmentView() = default;

void TAlignmentView::done(int result) {
    timer_->stop();
    sampling_->Stop();
    QDialog::done(result);
}

void TAlignmentView::Stop(const QString& why) {
    timer_->stop();
    sampling_->Stop();
    Label_Status->setText(why);
}

void TAlignmentView::Tick() {
    // A signal ends the view, and the sampling with it, so the window can go.
    if (PendingInterruption() != 0) {
        reject();
        return;
    }
    bool read = false, silent = false;
    for (const AlignmentSampler::Reading& r : sampling_->Take()) {
        if (r.Kind == AlignmentSampler::State::AnotherRadio) {
            Stop("Another radio is connected: the view has stopped");
            emit RadioChanged();
            return;
        }
        if (r.NewTemperature && r.TemperatureC) {
            Label_Temperature->setText(QString::number(*r.TemperatureC) + " °C");
            Plot->AddPoint(temperatureSeries_, r.Seconds, *r.TemperatureC);
        }
        silent = r.Kind != AlignmentSampler::State::Reading;
        if (silent)
            continue;
        read = true;
        ++readings_;
        recent_.push_back(r.Seconds);
        peak_ = std::max(peak_, *r.Rssi);
        Plot->AddPoint(rssiSeries_, r.Seconds, *r.Rssi);
        Label_Rssi->setText(QString::number(*r.Rssi));
    }
    if (silent)
        Label_Status->setText("No reading from the radio");
    else if (read)
        Label_Status->clear();
    if (!read)
        return;
    const double now = recent_.back();
    while (!recent_.empty() && recent_.front() <= now - 1.0)
        recent_.pop_front();
    Label_Peak->setText(QString("Peak %1").arg(peak_));
    Label_Rate->setText(QString("%1 readings/s").arg(recent_.size()));
}
