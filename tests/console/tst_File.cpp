// Save to file and program from file against the emulated radio: the serial-number guard that
// keeps one board's calibration out of another, a radio exchanged behind the window's back,
// and every way the action can end short.

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "config/INIunit.h"
#include "config/RM7UXFlashConfigObj.h"
#include "console/Main.h"
#include "emulator/RadioEmulator.h"

namespace {

using Texts = std::vector<std::string>;

bool Has(const Texts& events, const std::string& text) {
    return std::find(events.begin(), events.end(), text) != events.end();
}

// What changes a radio: writes, flash saves and resets.
Texts Changes(const Texts& events) {
    Texts out;
    for (const std::string& e : events) {
        if (e.rfind("write", 0) == 0 || e == "ee" || e == "flash" || e == "reset")
            out.push_back(e);
    }
    return out;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

RadioPersonality WithSerial(int64_t serial) {
    RadioPersonality p = RadioPersonality::RM7UH();
    p.SetSerial(static_cast<uint32_t>(serial));
    return p;
}

std::string IntToHexText(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

const std::string kConnectionChanged = "The device connection has changed.\r\nAborting!";

}  // namespace

class tst_File : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    // Commands the radio of the test has answered while its file was made: a hang-up fault
    // counts from the radio's start.
    int commandsAnswered_ = 0;

    void Plug(TMainForm& f, const RadioEmulator& radio, int64_t serial) {
        f.ComboBox_PortNumber->setCurrentIndex(int(radio.ComPort()) - 1);
        f.ApplyPortSelection();
        // What the refresh would have found.
        f.RadioModel = 1;
        f.SerialNumber = serial;
    }
    // The dialog answers with `path` (and remembers what it was shown).
    void Choose(TMainForm& f, const std::string& path, TFileDialog* seen = nullptr) {
        f.FileDialogHook = [path, seen](TFileDialog& d) {
            if (seen != nullptr)
                *seen = d;
            d.FileName = path;
            return true;
        };
    }
    // A configuration file read from `radio`, carrying `serial`.
    std::string MakeFile(RadioEmulator& radio, int64_t serial, const std::string& name) {
        TRM7UXFlashRecordClass record;
        if (!record.ReadFromRadio())
            return {};
        record.Record().SerialNumber = serial;
        record.SetFileName(dir_->File(name));
        if (!record.SaveToFile())
            return {};
        const Texts events = radio.EventTexts();
        commandsAnswered_ += int(std::count_if(events.begin(), events.end(),
                                               [](const std::string& e) { return e != "cr"; }));
        radio.ClearEvents();
        return dir_->File(name);
    }
    Texts ShownTexts() const { return dialogs_->Texts(); }

  private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        dir_->PointConfigHere();
        SetSettingsFolder(dir_->Path());
        dialogs_ = std::make_unique<ScriptedDialogs>();
        commandsAnswered_ = 0;
    }
    void cleanup() {
        dialogs_.reset();
        dir_.reset();
    }

    // ---- Program from file: the decision by serial number ----

    void serialNumberDecision_data() {
        QTest::addColumn<qint64>("fileSerial");
        QTest::addColumn<qint64>("windowSerial");  // as the refresh left it
        QTest::addColumn<qint64>("radioSerial");   // what the radio holds
        QTest::addColumn<QList<int>>("answers");   // MsgResult, in order
        QTest::addColumn<QString>("pnWritten");    // "" none
        QTest::addColumn<bool>("written");
        QTest::addColumn<QStringList>("boxes");  // start of each box's text
        const int ok = int(MsgResult::OK), abort = int(MsgResult::Abort),
                  cancel = int(MsgResult::Cancel);
        const QString saved = "Configuration Saved to Flash";
        const QString wrong = "Wrong device !!";
        const QString invalid = "Invalid serial number in connect device!!";
        const QString program = "Program Serial Number ?";
        QTest::newRow("its own file") << qint64(12345678) << qint64(12345678) << qint64(12345678)
                                      << QList<int>{} << "" << true << QStringList{saved};
        QTest::newRow("another module") << qint64(1234567) << qint64(7654321) << qint64(7654321)
                                        << QList<int>{} << "" << false << QStringList{wrong};
        QTest::newRow("lowest into 0, confirmed")
            << qint64(1000000) << qint64(0) << qint64(0) << QList<int>{ok, ok} << "000F4240" << true
            << QStringList{invalid, program, saved};
        QTest::newRow("highest into 0, confirmed")
            << qint64(12999999) << qint64(0) << qint64(0) << QList<int>{ok, ok} << "00C65D3F"
            << true << QStringList{invalid, program, saved};
        QTest::newRow("aborted") << qint64(1000000) << qint64(0) << qint64(0) << QList<int>{abort}
                                 << "" << false << QStringList{invalid};
        QTest::newRow("warning closed") << qint64(1000000) << qint64(0) << qint64(0) << QList<int>{}
                                        << "" << false << QStringList{invalid};
        QTest::newRow("cancelled")
            << qint64(1000000) << qint64(0) << qint64(0) << QList<int>{ok, cancel} << "" << false
            << QStringList{invalid, program};
        QTest::newRow("one above the range") << qint64(13000000) << qint64(0) << qint64(0)
                                             << QList<int>{} << "" << false << QStringList{wrong};
        QTest::newRow("one below the range") << qint64(999999) << qint64(0) << qint64(0)
                                             << QList<int>{} << "" << false << QStringList{wrong};
        QTest::newRow("file of a 0 radio into a 0 radio")
            << qint64(0) << qint64(0) << qint64(0) << QList<int>{} << "" << true
            << QStringList{saved};
        QTest::newRow("file of a 0 radio elsewhere")
            << qint64(0) << qint64(12345678) << qint64(12345678) << QList<int>{} << "" << false
            << QStringList{wrong};
        QTest::newRow("valid file, radio valid too")
            << qint64(12345678) << qint64(1000000) << qint64(1000000) << QList<int>{} << "" << false
            << QStringList{wrong};
        // The window never read this radio: it is asked before anything is written.
        QTest::newRow("radio not read, holds another number")
            << qint64(1000000) << qint64(-1) << qint64(7654321) << QList<int>{ok, ok} << "" << false
            << QStringList{invalid, program, QString::fromStdString(kConnectionChanged)};
    }
    void serialNumberDecision() {
        QFETCH(qint64, fileSerial);
        QFETCH(qint64, windowSerial);
        QFETCH(qint64, radioSerial);
        QFETCH(QList<int>, answers);
        QFETCH(QString, pnWritten);
        QFETCH(bool, written);
        QFETCH(QStringList, boxes);
        RadioEmulator radio(EmulatorOptions{.Radio = WithSerial(radioSerial)});
        radio.Start();
        TMainForm f;
        Plug(f, radio, windowSerial);
        const std::string path = MakeFile(radio, fileSerial, "config.RM7UX");
        QVERIFY(!path.empty());
        Choose(f, path);
        for (int a : answers)
            dialogs_->Answers.push_back(MsgResult(a));

        f.BitBtn_WriteConfigClick();

        const Texts events = radio.EventTexts();
        const Texts shown = ShownTexts();
        QCOMPARE(int(shown.size()), boxes.size());
        for (size_t i = 0; i < shown.size(); ++i)
            QVERIFY2(QString::fromStdString(shown[i]).startsWith(boxes[int(i)]), shown[i].c_str());
        QCOMPARE(Has(events, "flash"), written);
        QCOMPARE(Has(events, "reset"), written);
        if (!written)
            QVERIFY(Changes(events).empty());
        else
            QVERIFY(Has(events, "write PT 5780"));
        const bool pn = std::any_of(events.begin(), events.end(), [](const std::string& e) {
            return e.rfind("write PN", 0) == 0;
        });
        QCOMPARE(pn, !pnWritten.isEmpty());
        if (!pnWritten.isEmpty()) {
            QVERIFY(Has(events, "write PN " + pnWritten.toStdString()));
            QCOMPARE(int64_t(radio.FlashField("PN")), int64_t(fileSerial));
        } else {
            QCOMPARE(int64_t(radio.Field("PN")), int64_t(radioSerial));
        }
        // Both numbers are shown eight digits wide.
        if (boxes.first() == "Wrong device !!") {
            char expected[160];
            std::snprintf(expected, sizeof expected, "serial number '%08lld'", fileSerial);
            QVERIFY(shown[0].find(expected) != std::string::npos);
            std::snprintf(expected, sizeof expected, "has serial number '%08lld'", windowSerial);
            QVERIFY(shown[0].find(expected) != std::string::npos);
            QCOMPARE(dialogs_->Shown[0].Type, MsgType::Error);
        }
    }

    void messageTexts() {
        RadioEmulator radio(EmulatorOptions{.Radio = WithSerial(0)});
        radio.Start();
        TMainForm f;
        Plug(f, radio, 0);
        Choose(f, MakeFile(radio, 1000000, "c.RM7UX"));
        dialogs_->Answers = {MsgResult::OK, MsgResult::OK};
        f.BitBtn_WriteConfigClick();
        QCOMPARE(dialogs_->Shown.size(), size_t{3});
        const ShownBox& warning = dialogs_->Shown[0];
        QCOMPARE(warning.Type, MsgType::Warning);
        QCOMPARE(warning.Buttons, MsgButtons::OKAbort);
        QVERIFY(warning.Text.find("\r\nThe PCB Serial Number should be '01000000'\r\nIf it is not "
                                  "abort now !!!") != std::string::npos);
        QVERIFY(warning.Text.find("could damage the connected device") != std::string::npos);
        QCOMPARE(dialogs_->Shown[1].Buttons, MsgButtons::OKCancel);
        QCOMPARE(dialogs_->Shown[1].Text,
                 std::string("Program Serial Number ?\r\n\r\nThe serial number for the connect "
                             "device will be programmed with '01000000'\r\nMake sure this is the "
                             "correct Serial number and press OK to proceed."));
        QCOMPARE(dialogs_->Shown[2].Type, MsgType::Information);
    }

    // A record that never had a number (not from a file) is written without one; a negative
    // number is shown as it is, not padded into another number.
    void negativeRadioSerialIsShownUnpadded() {
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, -1);
        Choose(f, MakeFile(radio, 999999, "c.RM7UX"));
        f.BitBtn_WriteConfigClick();
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QVERIFY(dialogs_->Shown[0].Text.find("has serial number '-1'") != std::string::npos);
        QVERIFY(Changes(radio.EventTexts()).empty());
    }

    // ---- The radio exchanged ----

    // While the open dialog is up the refresh finds another radio.
    void radioSwappedWhileChoosing() {
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        const std::string path = MakeFile(radio, 12345678, "c.RM7UX");
        f.FileDialogHook = [&](TFileDialog& d) {
            radio.SwapRadio(WithSerial(7654321));
            f.Timer_ReadRadioTimer();  // a tick while the dialog is up
            d.FileName = path;
            return true;
        };
        f.CheckBox_Connect->setChecked(true);
        f.Timer_ReadRadio->stop();
        f.RM7UXLoadradioData();
        QCOMPARE(f.SerialNumber, int64_t{12345678});
        radio.ClearEvents();
        f.BitBtn_WriteConfigClick();
        QCOMPARE(f.SerialNumber, int64_t{7654321});
        QCOMPARE(ShownTexts(), Texts{kConnectionChanged});
        QCOMPARE(dialogs_->Shown[0].Type, MsgType::Error);
        QVERIFY(Changes(radio.EventTexts()).empty());
    }

    // ...and while the confirmations are up.
    void radioSwappedWhileConfirming() {
        for (int at : {0, 1}) {
            RadioEmulator radio(EmulatorOptions{.Radio = WithSerial(0)});
            radio.Start();
            TMainForm f;
            Plug(f, radio, 0);
            Choose(f, MakeFile(radio, 1000000, "c.RM7UX"));
            struct Swapping : ScriptedDialogs {
                std::function<void()> OnShow;
                MsgResult Show(MsgType t, const std::string& title, const std::string& text,
                               MsgButtons b) override {
                    if (OnShow && Shown.size() == size_t(At))
                        OnShow();
                    return ScriptedDialogs::Show(t, title, text, b);
                }
                int At = 0;
            };
            dialogs_.reset();
            auto swapping = std::make_unique<Swapping>();
            swapping->At = at;
            swapping->OnShow = [&] {
                radio.SwapRadio(WithSerial(5));
                f.SerialNumber = 5;
            };
            swapping->Answers = {MsgResult::OK, MsgResult::OK};
            f.BitBtn_WriteConfigClick();
            QCOMPARE(swapping->Texts().size(), size_t(at + 2));
            QCOMPARE(swapping->Texts().back(), kConnectionChanged);
            QVERIFY(Changes(radio.EventTexts()).empty());
            swapping.reset();
            dialogs_ = std::make_unique<ScriptedDialogs>();
        }
    }

    // Exchanged after the last refresh: the window still holds the old number, the radio on the
    // cable is asked before it is written.
    void radioSwappedSinceTheLastRefresh() {
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        Choose(f, MakeFile(radio, 12345678, "c.RM7UX"));
        radio.SwapRadio(WithSerial(7654321));
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts(), Texts{kConnectionChanged});
        QVERIFY(Changes(radio.EventTexts()).empty());
        QCOMPARE(radio.Field("PN"), 7654321u);
    }

    // ---- Program from file: ending short ----

    void missingOrBadFile() {
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        TRM7UXFlashRecord before = f.FlashRecord->Record();
        before.PttTimeout = 33;
        f.FlashRecord->Record() = before;

        const std::string missing = dir_->File("none.RM7UX");
        Choose(f, missing);
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts(), Texts{"The file '" + missing + "' does not exist"});

        const std::string bad = dir_->File("bad.RM7UX");
        std::ofstream(bad) << "[Configuration]\r\nPT=$XYZ\r\n";
        Choose(f, bad);
        dialogs_->Shown.clear();
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts(),
                 Texts{"Failed to load from the configuration from the file '" + bad + "'"});
        QCOMPARE(dialogs_->Shown[0].Type, MsgType::Error);
        QVERIFY(f.FlashRecord->Record() == before);
        QCOMPARE(f.SaveDialog.FileName, bad);
        QVERIFY(radio.EventTexts().empty());
    }

    void cancelledDialogsDoNothing() {
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        int shown = 0;
        f.FileDialogHook = [&](TFileDialog&) {
            ++shown;
            return false;
        };
        f.BitBtn_WriteConfigClick();
        f.BitBtn_SaveConfigClick();
        QCOMPARE(shown, 2);
        QVERIFY(dialogs_->Shown.empty());
        QVERIFY(radio.EventTexts().empty());
    }

    // The radio hangs up part-way through the write: no flash save of half a configuration.
    void radioStopsAnsweringWhileWritten() {
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        Choose(f, MakeFile(radio, 12345678, "c.RM7UX"));
        radio.SetFaults({.HangUpAfterCommands = commandsAnswered_ + 8});
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts(), Texts{"Failed to write the configuration to flash"});
        QVERIFY(!Has(radio.EventTexts(), "ee"));
        QVERIFY(!Has(radio.EventTexts(), "flash"));
        QVERIFY(!f.RM7UXport.IsOpen());
    }

    // Everything written and saved, but the radio does not come back from the reset.
    void resetFails() {
        int beforeReset = 0;
        {
            RadioEmulator radio;
            radio.Start();
            TMainForm f;
            Plug(f, radio, 12345678);
            Choose(f, MakeFile(radio, 12345678, "c.RM7UX"));
            f.BitBtn_WriteConfigClick();
            QCOMPARE(ShownTexts(), Texts{"Configuration Saved to Flash"});
            QCOMPARE(dialogs_->Shown[0].Type, MsgType::Information);
            const Texts events = radio.EventTexts();
            auto reset = std::find(events.begin(), events.end(), "reset");
            QVERIFY(reset != events.end());
            beforeReset = int(std::count_if(events.begin(), reset,
                                            [](const std::string& e) { return e != "cr"; }));
        }
        dialogs_->Shown.clear();
        commandsAnswered_ = 0;
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        Choose(f, MakeFile(radio, 12345678, "c.RM7UX"));
        radio.SetFaults({.HangUpAfterCommands = commandsAnswered_ + beforeReset});
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts(), Texts{"Configuration Saved to Flash\r\nPlease reset the device"});
        QVERIFY(Has(radio.EventTexts(), "flash"));
    }

    // ---- Save to file ----

    void dialogsFollowTheModel() {
        for (int model : {0, 1}) {
            TMainForm f;
            f.RadioModel = uint8_t(model);
            std::vector<TFileDialog> seen;
            f.FileDialogHook = [&](TFileDialog& d) {
                seen.push_back(d);
                return false;
            };
            f.BitBtn_SaveConfigClick();
            f.BitBtn_WriteConfigClick();
            QCOMPARE(seen.size(), size_t{2});
            const std::string ext = model == 1 ? "RM7UX" : "RM7VX";
            for (const TFileDialog& d : seen) {
                QCOMPARE(d.DefaultExt, ext);
                QCOMPARE(d.Filter, ext + "|*." + ext);
            }
            QVERIFY(seen[0].Save);
            QVERIFY(!seen[1].Save);
        }
    }

    void saveOverAnExistingFile_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("closed") << int(MsgResult::None) << false;
        QTest::newRow("OK") << int(MsgResult::OK) << true;
    }
    void saveOverAnExistingFile() {
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        const std::string path = dir_->File("old.RM7UX");
        std::ofstream(path) << "old";
        Choose(f, path);
        dialogs_->Answers = {MsgResult(answer)};
        f.BitBtn_SaveConfigClick();
        QCOMPARE(dialogs_->Shown.size(), size_t{1});
        QCOMPARE(dialogs_->Shown[0].Type, MsgType::Warning);
        QCOMPARE(dialogs_->Shown[0].Buttons, MsgButtons::OK);
        QCOMPARE(dialogs_->Shown[0].Text, "Replace existing file '" + path + "' ?");
        QCOMPARE(f.OpenDialog.FileName, path);
        QCOMPARE(radio.EventTexts().empty(), !replaced);
        QCOMPARE(ReadAll(path) == "old", !replaced);
        if (replaced)
            QVERIFY(ReadAll(path).find("00BC614E") != std::string::npos);
    }

    // No radio, a radio that stops answering, an answer that is not a number, a file that cannot
    // be written: each ends with its message and leaves an existing file as it was.
    void saveFailures_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("no radio") << "port"
                                  << "Failed to read the configuration from flash";
        QTest::newRow("silent") << "silent"
                                << "Failed to read the configuration from flash";
        QTest::newRow("hang-up") << "hangup"
                                 << "Failed to read the configuration from flash";
        QTest::newRow("garbage PL") << "garbage"
                                    << "";  // the conversion error's own text
    }
    void saveFailures() {
        QFETCH(QString, how);
        QFETCH(QString, message);
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        const std::string path = dir_->File("keep.RM7UX");
        std::ofstream(path) << "keep";
        if (how == "port") {
            f.ComboBox_PortNumber->setCurrentIndex(199);
            f.ApplyPortSelection();
        } else if (how == "silent") {
            radio.SetFaults({.Silent = true});
        } else if (how == "hangup") {
            radio.SetFaults({.HangUpAfterCommands = 10});
        } else {
            radio.SetFaults({.GarbageField = "PL"});
        }
        Choose(f, path);
        dialogs_->Answers = {MsgResult::OK};
        f.BitBtn_SaveConfigClick();
        QCOMPARE(dialogs_->Shown.size(), size_t{2});
        QCOMPARE(dialogs_->Shown[1].Type, MsgType::Error);
        if (!message.isEmpty())
            QCOMPARE(QString::fromStdString(dialogs_->Shown[1].Text), message);
        else
            QVERIFY(!dialogs_->Shown[1].Text.empty());
        QCOMPARE(ReadAll(path), std::string("keep"));
        QVERIFY(!f.RM7UXport.IsOpen());
    }

    void saveIntoAFolderThatDoesNotExist() {
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        const std::string path = dir_->File("no/such/folder/c.RM7UX");
        Choose(f, path);
        f.BitBtn_SaveConfigClick();
        QVERIFY(!dialogs_->Shown.empty());
        QCOMPARE(dialogs_->Shown.back().Type, MsgType::Error);
        QVERIFY(!std::filesystem::exists(path));
    }

    // ---- Both ways ----

    // A configuration saved from one radio goes back into it, and into no other.
    void saveThenProgram() {
        RadioEmulator radio;
        radio.Start();
        TMainForm f;
        Plug(f, radio, 12345678);
        const std::string path = dir_->File("radio.RM7UX");
        TFileDialog seen;
        Choose(f, path, &seen);
        f.BitBtn_SaveConfigClick();
        QVERIFY(dialogs_->Shown.empty());
        QVERIFY(std::filesystem::exists(path));
        QCOMPARE(f.OpenDialog.FileName, path);

        // Calibration drifts in the working settings; the file puts it back.
        const uint32_t deviation = radio.Field("PD"), power3 = radio.Field("PL3");
        radio.SetField("PD", 0x77);
        radio.SetField("PL3", 0x11);
        radio.ClearEvents();
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts(), Texts{"Configuration Saved to Flash"});
        const Texts events = radio.EventTexts();
        QVERIFY(Has(events, "write PD " + IntToHexText(deviation)));
        QVERIFY(Has(events, "flash"));
        QVERIFY(Has(events, "reset"));
        QCOMPARE(radio.FlashField("PD"), deviation);
        QCOMPARE(radio.Field("PL3"), power3);
        QCOMPARE(radio.Field("PN"), 12345678u);
        QVERIFY(std::none_of(events.begin(), events.end(),
                             [](const std::string& e) { return e.rfind("write PN", 0) == 0; }));
        QVERIFY(!f.ChangesMade);

        radio.SwapRadio(WithSerial(11223344));
        f.SerialNumber = 11223344;
        radio.ClearEvents();
        dialogs_->Shown.clear();
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts().size(), size_t{1});
        QVERIFY(ShownTexts()[0].rfind("Wrong device !!", 0) == 0);
        // (The carriage return that ended the reset may reach the radio late.)
        QVERIFY(Changes(radio.EventTexts()).empty());
        QCOMPARE(radio.Field("PN"), 11223344u);
    }
};

QTEST_MAIN(tst_File)
#include "tst_File.moc"
