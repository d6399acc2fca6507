// The antenna alignment view against a radio paced at 9600 baud: RSSI readings per second, and
// the most the line allows for one "RR" exchange (every byte both ways, 1.0417 ms each). The
// view also identifies the radio every three seconds, which takes its share of the line.
//   alignment_rate [seconds, default 10]

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "BenchSupport.h"
#include "common/UserDialogs.h"
#include "config/INIunit.h"
#include "console/Main.h"
#include "emulator/RadioEmulator.h"
#include "link/RM7UXcomms.h"
#include "widgets/AlignmentView.h"

using namespace bench;

namespace {

struct NoDialogs : UserDialogs {
    MsgResult Show(MsgType, const std::string&, const std::string& text, MsgButtons) override {
        std::printf("message: %s\n", text.c_str());
        return MsgResult::None;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string dir = PrivateConfigFolder();
    QApplication app(argc, argv);
    SetSettingsFolder(dir);
    NoDialogs dialogs;
    SetDialogs(&dialogs);
    {
        RadioEmulator radio({.Pace = true});
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

        form.Button_AlignmentClick();
        TAlignmentView* view = form.AlignmentView;
        if (view == nullptr) {
            std::printf("the alignment view did not open\n");
            return 1;
        }
        const auto t0 = Clock::now();
        // A loop of our own: quitting the application would close its windows too.
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double elapsed = Ms(Clock::now() - t0) / 1000.0;
        const double rate = static_cast<double>(view->Readings()) / elapsed;
        std::printf(
            "alignment view, 9600 baud: %.1f RSSI readings/s over %.1f s; one RR exchange is "
            "%llu bytes = %.2f ms, a limit of %.1f/s: ratio %.3f (identification every 3 s "
            "included)\n",
            rate, elapsed, static_cast<unsigned long long>(rrBytes),
            static_cast<double>(rrBytes) * kCharMs, limit, rate / limit);
        view->close();
        radio.Stop();
    }
    std::filesystem::remove_all(dir);
    return 0;
}
