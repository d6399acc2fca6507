// The antenna alignment view against a radio paced at 9600 baud: RSSI readings per second, and
// the most the line allows for one "RR" exchange (every byte both ways, 1.0417 ms each). The
// view also identifies the radio every three seconds, which takes its share of the line.
//
// It runs twice: with the plot empty, as the view opens, and with the plot's five-minute buffer
// already full (points at the view's own pace), as after five minutes of aiming. Both print the
// readings a second and the processor time they took: the window's thread alone, and the whole
// process (the emulated radio runs on a thread of its own).
//   alignment_rate [seconds per run, default 10] [--unpaced]
// --unpaced serves the radio without 9600-baud timing, so the view itself sets the pace.
// Before the view, the same exchanges in a bare loop and on the sampler's thread alone, so a
// shortfall can be told apart: the line and the radio, the identification, or the window.
// Rates count from the first reading: opening the port is the view's start, printed apart.

#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "BenchSupport.h"
#include "common/UserDialogs.h"
#include "config/INIunit.h"
#include "console/Main.h"
#include "emulator/RadioEmulator.h"
#include "link/RM7UXcomms.h"
#include "operations/AlignmentSampler.h"
#include "widgets/AlignmentView.h"
#include "widgets/SignalPlot.h"

using namespace bench;

namespace {

struct NoDialogs : UserDialogs {
    MsgResult Show(MsgType, const std::string&, const std::string& text, MsgButtons) override {
        std::printf("message: %s\n", text.c_str());
        return MsgResult::None;
    }
};

// Processor time used so far, in seconds: `who` is RUSAGE_THREAD or RUSAGE_SELF.
double CpuSeconds(int who) {
    rusage use{};
    getrusage(who, &use);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(use.ru_utime) + seconds(use.ru_stime);
}

struct Run {
    double Rate = 0;        // readings a second
    double Elapsed = 0;     // s
    double WindowCpu = 0;   // % of one core, the window's thread
    double ProcessCpu = 0;  // % of one core, the whole process
    size_t Points = 0;      // RSSI points in the plot at the end
    int64_t Paints = 0;
    double StartMs = 0;  // from opening the view to its first reading
};

// The view open for `seconds`; with `full`, its plot holds five minutes of readings first.
Run Measure(TMainForm& form, int seconds, bool full, double paceHz) {
    form.Button_AlignmentClick();
    TAlignmentView* view = form.AlignmentView;
    if (view == nullptr) {
        std::printf("the alignment view did not open\n");
        std::exit(1);
    }
    if (full) {
        // The view's clock starts at zero; the points before it are the last five minutes.
        const double span = view->Plot->Span();
        const int rssi = 0, temperature = 1;
        for (double t = -span; t < 0; t += 1.0 / paceHz)
            view->Plot->AddPoint(rssi, t, 40 + 30 * ((static_cast<int>(t * 7) % 5) == 0));
        for (double t = -span; t < 0; t += 3.0)
            view->Plot->AddPoint(temperature, t, 31);
    }
    // From the first reading on: opening the port and the first identification are the
    // view's start, not its rate.
    const auto opened = Clock::now();
    while (view->Readings() == 0 && Clock::now() - opened < std::chrono::seconds(5))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double startMs = Ms(Clock::now() - opened);
    const int64_t paintsBefore = view->Plot->Paints();
    const int64_t readingsBefore = view->Readings();
    const double threadBefore = CpuSeconds(RUSAGE_THREAD);
    const double processBefore = CpuSeconds(RUSAGE_SELF);
    const auto t0 = Clock::now();
    // A loop of our own: quitting the application would close its windows too.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    Run run;
    run.StartMs = startMs;
    run.Elapsed = Ms(Clock::now() - t0) / 1000.0;
    run.Rate = static_cast<double>(view->Readings() - readingsBefore) / run.Elapsed;
    run.WindowCpu = 100 * (CpuSeconds(RUSAGE_THREAD) - threadBefore) / run.Elapsed;
    run.ProcessCpu = 100 * (CpuSeconds(RUSAGE_SELF) - processBefore) / run.Elapsed;
    run.Points = view->Plot->PointCount(0);
    run.Paints = view->Plot->Paints() - paintsBefore;
    view->close();
    QCoreApplication::processEvents();
    return run;
}

void Print(const char* buffer, const Run& run) {
    std::printf(
        "  plot %s (%zu RSSI points at the end): %.1f readings/s, window thread %.1f %% CPU, "
        "process %.1f %% CPU, %.1f repaints/s, first reading after %.0f ms\n",
        buffer, run.Points, run.Rate, run.WindowCpu, run.ProcessCpu,
        static_cast<double>(run.Paints) / run.Elapsed, run.StartMs);
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int seconds = 10;
    bool paced = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--unpaced") == 0)
            paced = false;
        else
            seconds = std::max(1, std::atoi(argv[i]));
    }
    const std::string dir = PrivateConfigFolder();
    QApplication app(argc, argv);
    SetSettingsFolder(dir);
    NoDialogs dialogs;
    SetDialogs(&dialogs);
    {
        RadioEmulator radio({.Pace = paced});
        radio.Start();
        TMainForm form;
        form.ComboBox_PortNumber->setCurrentIndex(static_cast<int>(radio.ComPort()) - 1);
        form.ApplyPortSelection();
        form.RM7UXLoadradioData();

        // One RR exchange alone: its bytes set the line's limit.
        std::string reply;
        OpenRadioPort();
        EnsureRadioIdentified();
        radio.ResetCounters();
        QueryField("RR", reply, 2, 2);
        const uint64_t rrBytes = radio.BytesReceived() + radio.BytesSent();
        CloseRadioPort();
        const double limit = 1000.0 / (static_cast<double>(rrBytes) * kCharMs);

        // The same exchanges without the view: a bare loop, then the sampler's thread alone.
        {
            OpenRadioPort();
            EnsureRadioIdentified();
            const auto t0 = Clock::now();
            int n = 0;
            while (Clock::now() - t0 < std::chrono::seconds(seconds) &&
                   QueryField("RR", reply, 2, 2))
                ++n;
            const double elapsed = Ms(Clock::now() - t0) / 1000.0;
            CloseRadioPort();
            std::printf("  bare RR loop: %.1f readings/s, %.2f ms each, ratio %.3f\n", n / elapsed,
                        1000 * elapsed / n, n / elapsed / limit);
        }
        {
            int64_t n = 0;
            auto t0 = Clock::now();
            {
                AlignmentThread sampler(form.SerialNumber(), RM7UXVersionText(),
                                        std::chrono::milliseconds(500));
                // From its first reading on, as the view is measured.
                while (n == 0 && Clock::now() - t0 < std::chrono::seconds(5)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    for (const auto& r : sampler.Take())
                        n += r.Kind == AlignmentSampler::State::Reading;
                }
                t0 = Clock::now();
                n = 0;
                while (Clock::now() - t0 < std::chrono::seconds(seconds)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(16));
                    for (const auto& r : sampler.Take())
                        n += r.Kind == AlignmentSampler::State::Reading;
                }
                sampler.Stop();
                for (const auto& r : sampler.Take())
                    n += r.Kind == AlignmentSampler::State::Reading;
            }
            const double elapsed = Ms(Clock::now() - t0) / 1000.0;
            std::printf("  sampler thread alone: %.1f readings/s, ratio %.3f\n", n / elapsed,
                        n / elapsed / limit);
        }
        const Run empty = Measure(form, seconds, false, 80);
        std::printf(
            "alignment view, %s: %.1f RSSI readings/s over %.1f s; one RR exchange is "
            "%llu bytes = %.2f ms, a limit of %.1f/s: ratio %.3f (identification every 3 s "
            "included)\n",
            paced ? "9600 baud" : "unpaced", empty.Rate, empty.Elapsed,
            static_cast<unsigned long long>(rrBytes), static_cast<double>(rrBytes) * kCharMs, limit,
            empty.Rate / limit);
        Print("empty", empty);
        // The full buffer at the pace the empty run measured, as five minutes of it would leave.
        const Run full = Measure(form, seconds, true, std::max(1.0, empty.Rate));
        Print("full, 5 min", full);
        radio.Stop();
    }
    std::filesystem::remove_all(dir);
    return 0;
}
