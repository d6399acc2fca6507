// Save To File and Program From File of the real window (Qt offscreen) against the emulated
// radio at 9600-baud pace, as a ratio to the time their bytes need on the wire
// ((received + sent) x 1.0417 ms). Target: at most 1.10.
// The parts are timed too, so the waits that the protocol itself holds (silence before each
// power calibration write, the reset banner) can be told from the program's own time.
//   window_file [runs, default 3]

#include <QApplication>
#include <QComboBox>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "config/INIunit.h"
#include "config/RM7UXFlashConfigObj.h"
#include "console/Main.h"
#include "emulator/RadioEmulator.h"
#include "link/RM7UXcomms.h"
#include "operations/Transaction.h"

namespace {

using bench::Clock;

// Answers OK and keeps the texts, so a run that went wrong is seen.
class QuietDialogs : public UserDialogs {
  public:
    MsgResult Show(MsgType, const std::string&, const std::string& text, MsgButtons) override {
        Texts.push_back(text);
        return MsgResult::OK;
    }
    std::vector<std::string> Texts;
};

struct Figure {
    double Ms = 0;
    double WireMs = 0;
    double Ratio() const { return WireMs > 0 ? Ms / WireMs : 0; }
};

// The radio answers the carriage return that ends a reset after the port has closed; a port
// opened within those few milliseconds would take that late prompt for its own.
void Settle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// Times `action`; the wire time is what the radio received and sent meanwhile.
Figure Measure(RadioEmulator& radio, const std::function<void()>& action) {
    radio.ResetCounters();
    const auto start = Clock::now();
    action();
    Figure f;
    f.Ms = bench::Ms(Clock::now() - start);
    f.WireMs = static_cast<double>(radio.BytesReceived() + radio.BytesSent()) * bench::kCharMs;
    return f;
}

void Row(const char* name, const std::vector<Figure>& runs, double target) {
    std::vector<double> ms, wire, ratio;
    for (const Figure& f : runs) {
        ms.push_back(f.Ms);
        wire.push_back(f.WireMs);
        ratio.push_back(f.Ratio());
    }
    const double r = bench::Percentile(ratio, 0.5);
    std::printf("%-40s %8.0f ms  wire %7.0f ms  ratio %5.2f", name, bench::Percentile(ms, 0.5),
                bench::Percentile(wire, 0.5), r);
    if (target > 0)
        std::printf("  (target <= %.2f) %s", target, r <= target ? "ok" : "OVER");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string dir = bench::PrivateConfigFolder();
    SetSettingsFolder(dir);
    QApplication app(argc, argv);
    QuietDialogs dialogs;
    SetDialogs(&dialogs);

    EmulatorOptions options;
    options.Pace = true;
    RadioEmulator radio(options);
    radio.Start();

    int failures = 0;
    {
        TMainForm f;
        f.ComboBox_PortNumber->setCurrentIndex(static_cast<int>(radio.ComPort()) - 1);
        f.ApplyPortSelection();
        // The radio read in full, as the refresh reads it.
        f.RM7UXLoadradioData();

        std::vector<Figure> save, program, read, write, reset, check, flush;
        for (int i = 0; i < runs; ++i) {
            const std::string path = dir + "/radio" + std::to_string(i) + ".RM7UX";
            f.FileDialogHook = [&path](TFileDialog& d) {
                d.FileName = path;
                return true;
            };
            dialogs.Texts.clear();
            save.push_back(Measure(radio, [&] { f.BitBtn_SaveConfigClick(); }));
            failures += !dialogs.Texts.empty() || !std::filesystem::exists(path);
            program.push_back(Measure(radio, [&] { f.BitBtn_WriteConfigClick(); }));
            // The review of what will change is confirmed, then the program is done.
            failures +=
                dialogs.Texts.size() != 2 || dialogs.Texts.back() != "Configuration Saved to Flash";
            Settle();

            // The parts of the two actions.
            read.push_back(Measure(radio, [&] { failures += !f.FlashRecord->ReadFromRadio(); }));

            f.FlashRecord->Record().SerialNumber = -1;
            const TRM7UXFlashRecord held = f.FlashRecord->Record();
            write.push_back(Measure(radio, [&] {
                // The program's fields and flash save, without its reset (measured apart).
                failures += !OpenRadioPort() || !EnsureRadioIdentified();
                const RadioIdentity id{1, RM7UXVersionText(), 12345678};
                FieldTransaction t("program", id.Context(), nullptr);
                for (const RadioFieldInfo& field : FlashFieldTable()) {
                    const int64_t value = field.Value(held);
                    if (field.Kind != FlashFieldKind::Status && value >= 0)
                        failures +=
                            !t.Write(std::string(field.Code), IntToHex(value, field.Digits));
                }
                failures += !t.SaveToFlash();
                CloseRadioPort();
            }));
            reset.push_back(Measure(radio, [&] { failures += !ResetRadio(); }));
            Settle();
            flush.push_back(Measure(radio, [&] {
                OpenRadioPort();
                FlushRadioLink();
                CloseRadioPort();
            }));
            check.push_back(Measure(radio, [&] {
                OpenRadioPort();
                failures += !EnsureRadioIdentified() || ReadSerialNumber() != 12345678;
                CloseRadioPort();
            }));
        }
        std::printf("Save To File and Program From File, RM7UH at 9600 baud, median of %d\n", runs);
        Row("Save To File", save, 1.10);
        Row("Program From File", program, 1.10);
        std::printf("parts:\n");
        Row("  ReadFromRadio", read, 0);
        Row("  serial number asked before writing", check, 0);
        Row("  the fields and the flash save (4 x PL after 200 ms quiet)", write, 0);
        Row("  ResetRadio (waits for the banner)", reset, 0);
        Row("  FlushRadioLink on a quiet line", flush, 0);
        // What is left of Program From File without the waits the protocol holds by design:
        // the silence before each of the four PL writes and the radio's restart.
        std::vector<Figure> rest;
        for (size_t i = 0; i < program.size(); ++i) {
            Figure r = program[i];
            r.Ms -= 4 * flush[i].Ms + (reset[i].Ms - reset[i].WireMs);
            rest.push_back(r);
        }
        Row("Program From File less those waits", rest, 1.10);
    }
    radio.Stop();
    SetDialogs(nullptr);
    std::filesystem::remove_all(dir);
    if (failures != 0)
        std::printf("%d runs went wrong\n", failures);
    return failures == 0 ? 0 : 1;
}
