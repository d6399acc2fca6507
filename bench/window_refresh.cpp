// The window's refresh against a radio paced at 9600 baud, as a ratio of the time taken to the
// time its bytes need on the line (every byte both ways, 1.0417 ms each):
//   one refresh of a known radio (identification, serial number, status)   target <= 1.10
//   one full read of a new radio (all of the above and the configuration)  target <= 1.10
// Runs on Qt's offscreen platform unless told otherwise.
//   window_refresh [runs, default 5]

#include <QApplication>
#include <QComboBox>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "common/UserDialogs.h"
#include "config/INIunit.h"
#include "console/Main.h"
#include "emulator/RadioEmulator.h"

using namespace bench;

namespace {

// A box would block the measurement: every one is counted and answered with nothing.
struct CountedDialogs : UserDialogs {
    int shown = 0;
    MsgResult Show(MsgType, const std::string&, const std::string& text, MsgButtons) override {
        ++shown;
        std::printf("message: %s\n", text.c_str());
        return MsgResult::None;
    }
};

struct Figure {
    std::vector<double> ratios;
    double ms = 0, wireMs = 0;
    uint64_t bytes = 0;
};

template <typename F>
void Measure(RadioEmulator& radio, Figure& figure, F refresh) {
    radio.ResetCounters();
    const auto t0 = Clock::now();
    refresh();
    figure.ms = Ms(Clock::now() - t0);
    figure.bytes = radio.BytesReceived() + radio.BytesSent();
    figure.wireMs = static_cast<double>(figure.bytes) * kCharMs;
    figure.ratios.push_back(figure.ms / figure.wireMs);
}

void Print(const char* what, const Figure& f) {
    std::printf(
        "%-28s %7.1f ms for %7.1f ms of wire (%4llu bytes): ratio %.3f "
        "(median of %zu, worst %.3f; target <= 1.10)\n",
        what, f.ms, f.wireMs, static_cast<unsigned long long>(f.bytes), Percentile(f.ratios, 0.5),
        f.ratios.size(), Percentile(f.ratios, 1.0));
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string dir = PrivateConfigFolder();
    QApplication app(argc, argv);
    SetSettingsFolder(dir);
    CountedDialogs dialogs;
    SetDialogs(&dialogs);

    int failures = 0;
    {
        RadioEmulator radio({.Pace = true});
        radio.Start();
        TMainForm form;
        form.ComboBox_PortNumber->setCurrentIndex(static_cast<int>(radio.ComPort()) - 1);
        form.ApplyPortSelection();

        Figure known, full;
        for (int run = 0; run < runs; ++run) {
            form.ForgetRadio();
            Measure(radio, full, [&] { form.RM7UXLoadradioData(); });
            failures += form.SerialNumber() != 12345678;
            Measure(radio, known, [&] { form.RM7UXLoadradioData(); });
        }
        Print("refresh of a known radio", known);
        Print("full read of a new radio", full);
    }
    SetDialogs(nullptr);
    std::filesystem::remove_all(dir);
    if (failures > 0 || dialogs.shown > 0) {
        std::printf("%d full reads did not complete, %d messages\n", failures, dialogs.shown);
        return 1;
    }
    return 0;
}
