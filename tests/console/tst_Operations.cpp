// Every operation of the window that takes more than one command, with one character lost on
// the line at each of its writes in turn: the radio's working settings and its flash each stay
// on one grid inside their own limits, nothing reaches flash after a failed field write, the
// window shows what the radio holds, and the technician is told.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "LostCharacters.h"
#include "WindowFixture.h"
#include "config/FieldTable.h"
#include "config/RM7UXFlashConfigObj.h"
#include "widgets/PowerButton.h"

namespace {

std::string LabelOf(const std::string& code) {
    return std::string(FieldLabel(code));
}

QString MHz(double mhz) {
    return QString::number(mhz, 'f', 5);
}

// Hong Kong on a 6.25 kHz radio: on the 5 kHz grid its upper limit moves inward, and the TX
// frequency with it.
RadioPersonality HongKong() {
    return With({{"PA", 110},
                 {"P1", Channel(409.75)},
                 {"P2", Channel(409.9875)},
                 {"P3", Channel(409.75)},
                 {"P4", Channel(409.9875)},
                 {"PT", Channel(409.98125)},
                 {"PR", Channel(409.8)}});
}

}  // namespace

class tst_Operations : public QObject, protected WindowFixture {
    Q_OBJECT

  private:
    // The window on a radio it has read in full; events and boxes cleared.
    TMainForm& Known(const RadioPersonality& radio) {
        TMainForm& f = Attach(radio);
        Tick();
        radio_->ClearEvents();
        dialogs_->Shown.clear();
        return f;
    }

    void Lose(const LoseOnce& lose) { radio_->SetFaults({.Lose = lose}); }

    // What the radio sees of `run` on a window made by `setup` when nothing is lost.
    template <typename Setup, typename Run>
    Texts DryRun(Setup setup, Run run) {
        TMainForm& f = setup();
        radio_->SetFaults({});
        radio_->ClearEvents();
        run(f);
        dialogs_->Shown.clear();
        return radio_->EventTexts();
    }

    // The character was lost: the fault is spent.
    bool LossHappened() const { return !radio_->Faults().Lose.has_value(); }

    // `run` on a window made by `setup`, once for each of `writes` with one character of that
    // write lost (which one turns with `turn` + n): the loss happened and the radio is on one
    // grid inside its limits; then `check(f, n, trace, radio before)`.
    template <typename Setup, typename Run, typename Check>
    void WithEachWriteLost(const std::vector<std::string>& writes, size_t turn, Setup setup,
                           Run run, Check check) {
        const Texts dry = DryRun(setup, run);
        for (size_t n = 0; n < writes.size() && !QTest::currentTestFailed(); ++n) {
            const LoseOnce lose = LossAt(writes[n], n + turn, dry);
            const std::string trace = Describe(lose);
            TMainForm& f = setup();
            const RadioPersonality before = radio_->Radio();
            Lose(lose);
            run(f);
            QVERIFY2(LossHappened(), trace.c_str());
            QVERIFY2(RadioGridProblem(*radio_).empty(),
                     (trace + ": " + RadioGridProblem(*radio_)).c_str());
            check(f, n, trace, before);
        }
    }

    bool Told(const std::string& part) const {
        for (const std::string& text : dialogs_->Texts()) {
            if (text.find(part) != std::string::npos)
                return true;
        }
        return false;
    }

    // The frequencies, limits and step the window shows are the ones the radio holds.
    void ShowsTheRadio(TMainForm& f, const std::string& trace) {
        const RadioFields w = radio_->Radio().Fields;
        const std::pair<QLabel*, uint32_t> shown[] = {
            {f.Label_TxFreq, w.PT}, {f.Label_RxFreq, w.PR}, {f.Label_TXLow, w.P3},
            {f.Label_TxHigh, w.P4}, {f.Label_RxLow, w.P1},  {f.Label_RxHigh, w.P2}};
        for (const auto& [label, channel] : shown) {
            const QString want = MHz(ChannelMHz(w, channel));
            QVERIFY2(label->text() == want,
                     (trace + ": " + label->objectName().toStdString() + " shows " +
                      label->text().toStdString() + ", the radio holds " + want.toStdString())
                         .c_str());
        }
        QVERIFY2(f.RadioButton_FS5000->isChecked() == (w.PC == 1), trace.c_str());
    }

  private slots:
    void init() { SetUpWindow(); }
    void cleanup() { TearDownWindow(); }

    void stepChangeWithALostCharacterAtEachWrite() {
        const std::vector<std::string> writes = {"PC", "P3", "P4", "PT", "P1",
                                                 "P2", "PR", "EE", "EP", "OZ"};
        const auto setup = [this]() -> TMainForm& { return Known(HongKong()); };
        const auto run = [this](TMainForm& f) {
            dialogs_->Answers = {MsgResult::Yes};
            f.RadioButton_FS5000->click();
        };
        WithEachWriteLost(
            writes, 0, setup, run,
            [&](TMainForm& f, size_t n, const std::string& trace, const RadioPersonality& before) {
                const bool fieldWrite = n < 7;
                if (fieldWrite) {
                    // Put back as it was, flash untouched, and said.
                    QVERIFY2(SameSettings(radio_->Radio().Flash, before.Flash), trace.c_str());
                    QVERIFY2(SameSettings(radio_->Radio().Fields, before.Fields), trace.c_str());
                    QVERIFY2(Told("frequency step: the " + LabelOf(writes[n]) +
                                  " write was not confirmed; "),
                             trace.c_str());
                    QVERIFY2(!f.ChangesMade(), trace.c_str());
                } else if (writes[n] == "OZ") {
                    QVERIFY2(Told("Switch the radio off and on"), trace.c_str());
                    QCOMPARE(radio_->Radio().Flash.PC, 1u);
                } else {
                    // A save whose confirmation was lost is sent once more, and then confirmed.
                    QCOMPARE(radio_->Radio().Flash.PC, 1u);
                    QVERIFY2(dialogs_->Shown.size() == 1, trace.c_str());  // the question only
                    QVERIFY2(!f.ChangesMade(), trace.c_str());
                }
                ShowsTheRadio(f, trace);
            });
    }

    void planChoiceWithALostCharacterAtEachWrite() {
        const std::vector<std::string> writes = {"P1", "P2", "PR", "P3", "P4", "PT"};
        const auto setup = [this]() -> TMainForm& {
            return Known(With({{"PT", Channel(441.25)}, {"PR", Channel(445.5)}}));
        };
        const auto run = [this](TMainForm& f) {
            // Norway: 440 to 442 MHz, chosen and confirmed.
            dialogs_->Answers = {MsgResult::Yes};
            PickFromList(f.ComboBox_FreqBand, 3);
        };
        WithEachWriteLost(
            writes, 1, setup, run,
            [&](TMainForm& f, size_t n, const std::string& trace, const RadioPersonality& before) {
                QVERIFY2(SameSettings(radio_->Radio().Flash, before.Flash), trace.c_str());
                QVERIFY2(SameSettings(radio_->Radio().Fields, before.Fields), trace.c_str());
                QVERIFY2(Told("country/band plan: the " + LabelOf(writes[n]) + " write"),
                         trace.c_str());
                QCOMPARE(dialogs_->Shown.front().Type, MsgType::Question);
                // The list shows the plan the radio is on: still the whole band.
                QCOMPARE(f.ComboBox_FreqBand->currentIndex(), 0);
                ShowsTheRadio(f, trace);
            });
    }

    void transmitterTestWithALostCharacterAtEachWrite() {
        size_t n = 0;
        for (bool switchingOn : {true, false}) {
            const auto setup = [this, switchingOn]() -> TMainForm& {
                TMainForm& f = Known(With({{"PP", 45}}));
                if (!switchingOn)
                    f.PowerButton_TxOn->Toggle();
                return f;
            };
            const auto run = [](TMainForm& f) { f.PowerButton_TxOn->Toggle(); };
            const Texts dry = DryRun(setup, run);
            for (const char* write : {"PP", switchingOn ? "O3" : "O4"}) {
                for (bool in : {true, false}) {
                    LoseOnce lose = LossAt(write, n++, dry);
                    lose.OnTheWayIn = in;
                    const std::string trace =
                        (switchingOn ? "TX ON: " : "TX OFF: ") + Describe(lose);
                    TMainForm& f = setup();
                    Lose(lose);
                    run(f);
                    QVERIFY2(LossHappened(), trace.c_str());
                    // Whatever was lost, the radio is released with the technician's time-out.
                    QVERIFY2(!radio_->Transmitting(), trace.c_str());
                    QVERIFY2(radio_->Field("PP") == 45u, trace.c_str());
                    QVERIFY2(!f.PowerButton_TxOn->ButtonDown(), trace.c_str());
                    QCOMPARE(f.TransmitterOn(), 0);
                    QVERIFY2(SameSettings(radio_->Radio().Flash, radio_->Radio().Fields),
                             trace.c_str());
                    if (switchingOn)
                        QVERIFY2(Told("transmitter test: "), trace.c_str());
                }
            }
        }
    }

    void cutoutCorrectionWithALostCharacterAtEachWrite() {
        const std::vector<std::string> writes = {"PS", "EE", "EP"};
        const auto setup = [this]() -> TMainForm& {
            TMainForm& f = Attach(With({{"PS", 30 + 40}}));
            dialogs_->Shown.clear();
            return f;
        };
        const Texts dry = DryRun(setup, [this](TMainForm&) { Tick(); });
        for (size_t n = 0; n < writes.size(); ++n) {
            const LoseOnce lose = LossAt(writes[n], n + 2, dry);
            const std::string trace = Describe(lose);
            TMainForm& f = setup();
            Lose(lose);
            radio_->ClearEvents();
            f.RM7UXLoadradioData();
            QVERIFY2(LossHappened(), trace.c_str());
            const uint32_t held = radio_->Field("PS");
            // The box shows what the radio holds: put back and said, or raised and in flash.
            QCOMPARE(f.Edit_CutoutTemp->text(), QString::number(int(held) - 40));
            if (writes[n] == "PS") {
                QCOMPARE(held, 70u);
                QVERIFY2(Told("cut-out temperature: the Cutout Temp write"), trace.c_str());
            } else {
                QCOMPARE(held, 0xFFu);
                QCOMPARE(radio_->FlashField("PS"), 0xFFu);
                QVERIFY2(!f.ChangesMade(), trace.c_str());
            }
        }
    }

    void programFromFileWithALostCharacterAtEachWrite() {
        const std::vector<std::string> writes = {
            "PF", "PD", "PM", "PS", "PW", "PL0", "PL1", "PL2", "PL3", "PP", "PO", "SC", "PB",
            "PC", "PA", "P1", "P2", "P3", "P4",  "PR",  "PT",  "PV",  "EE", "EP", "OZ"};
        const auto setup = [this]() -> TMainForm& {
            TMainForm& f = Known(RadioPersonality::RM7UH());
            // The radio's own file, with every field changed that can be.
            TRM7UXFlashRecordClass file;
            file.ReadFromRadio();
            TRM7UXFlashRecord& r = file.Record();
            r.FreqOffset = 0x81, r.Deviation = 0x33, r.ModBalance = 0x44, r.ShutdownTemp = 0x6E;
            r.PowerLevel = 1, r.TxPowerCal = {0x11, 0x22, 0x33, 0x44}, r.PttTimeout = 30;
            r.RssiOffset = 7, r.Ctcss = 5, r.BandWidth = 1, r.ChannelSpacing = 1;
            // On the 5 kHz grid: 435 to 445 MHz, TX 441.25 and RX 436.005.
            r.FreqRange = {27000, 29000, 27000, 29000};
            r.TxFreq = 28250, r.RxFreq = 27201, r.RevPowerThreshold = 0x21;
            file.SetFileName(dir_->File("edited.RM7UX"));
            file.SaveToFile();
            f.FileDialogHook = [this](TFileDialog& d) {
                d.FileName = dir_->File("edited.RM7UX");
                return true;
            };
            radio_->ClearEvents();
            return f;
        };
        const auto run = [this](TMainForm& f) {
            dialogs_->Answers = {MsgResult::OK};  // the review: program
            f.BitBtn_WriteConfigClick();
        };
        WithEachWriteLost(
            writes, 0, setup, run,
            [&](TMainForm& f, size_t n, const std::string& trace, const RadioPersonality& before) {
                if (n < 22) {
                    QVERIFY2(SameSettings(radio_->Radio().Flash, before.Flash), trace.c_str());
                    QVERIFY2(SameSettings(radio_->Radio().Fields, before.Fields), trace.c_str());
                    QVERIFY2(Told("Failed to write the configuration to flash\r\nprogram: the " +
                                  LabelOf(writes[n]) + " write was not confirmed; "),
                             trace.c_str());
                } else {
                    QCOMPARE(radio_->FlashField("PT"), 28250u);
                    QVERIFY2(Told(writes[n] == "OZ" ? "Please reset the device"
                                                    : "Configuration Saved to Flash"),
                             trace.c_str());
                }
                Tick();
                ShowsTheRadio(f, trace);
            });
    }
};

QTEST_MAIN(tst_Operations)
#include "tst_Operations.moc"
