// Save to file and program from file against the emulated radio: the serial-number guard that
// keeps one board's calibration out of another, a radio exchanged behind the window's back,
// and every way the action can end short.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "WindowFixture.h"
#include "config/RM7UXFlashConfigObj.h"
#include "console/QtDialogs.h"

namespace {

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

class tst_File : public QObject, protected WindowFixture {
    Q_OBJECT

  private:
    // Commands the radio of the test has answered while the window read it and its file was
    // made (and for the file alone): a hang-up fault counts from the radio's start.
    int commandsAnswered_ = 0;
    int fileCommands_ = 0;

    int CountCommands() {
        const Texts events = radio_->EventTexts();
        radio_->ClearEvents();
        return int(std::count_if(events.begin(), events.end(),
                                 [](const std::string& e) { return e != "cr"; }));
    }

    // The window on a started radio that it has read in full, with `serial`; -1: a radio the
    // window has not read.
    TMainForm& Plugged(int64_t serial, RadioPersonality radio = RadioPersonality::RM7UH()) {
        if (serial >= 0)
            radio.SetSerial(static_cast<uint32_t>(serial));
        TMainForm& f = Attach(radio);
        if (serial >= 0) {
            f.RM7UXLoadradioData();
            commandsAnswered_ += CountCommands();
        }
        return f;
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
    // A configuration file read from the radio, carrying `serial`.
    std::string MakeFile(int64_t serial, const std::string& name) {
        TRM7UXFlashRecordClass record;
        if (!record.ReadFromRadio())
            return {};
        record.Record().SerialNumber = serial;
        record.SetFileName(dir_->File(name));
        if (!record.SaveToFile())
            return {};
        fileCommands_ = CountCommands();
        commandsAnswered_ += fileCommands_;
        return dir_->File(name);
    }
    Texts ShownTexts() const { return dialogs_->Texts(); }

  private slots:
    void init() {
        SetUpWindow();
        commandsAnswered_ = fileCommands_ = 0;
    }
    void cleanup() { TearDownWindow(); }

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
        const QString review = "Programming '";  // the review, answered Program
        QTest::newRow("its own file") << qint64(12345678) << qint64(12345678) << qint64(12345678)
                                      << QList<int>{ok} << "" << true << QStringList{review, saved};
        QTest::newRow("another module") << qint64(1234567) << qint64(7654321) << qint64(7654321)
                                        << QList<int>{} << "" << false << QStringList{wrong};
        QTest::newRow("lowest into 0, confirmed")
            << qint64(1000000) << qint64(0) << qint64(0) << QList<int>{ok, ok, ok} << "000F4240"
            << true << QStringList{invalid, program, review, saved};
        QTest::newRow("highest into 0, confirmed")
            << qint64(12999999) << qint64(0) << qint64(0) << QList<int>{ok, ok, ok} << "00C65D3F"
            << true << QStringList{invalid, program, review, saved};
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
            << qint64(0) << qint64(0) << qint64(0) << QList<int>{ok} << "" << true
            << QStringList{review, saved};
        QTest::newRow("file of a 0 radio elsewhere")
            << qint64(0) << qint64(12345678) << qint64(12345678) << QList<int>{} << "" << false
            << QStringList{wrong};
        QTest::newRow("valid file, radio valid too")
            << qint64(12345678) << qint64(1000000) << qint64(1000000) << QList<int>{} << "" << false
            << QStringList{wrong};
        // The window never read this radio: nothing is written to it.
        QTest::newRow("radio not read, holds another number")
            << qint64(1000000) << qint64(-1) << qint64(7654321) << QList<int>{ok, ok} << "" << false
            << QStringList{"No radio is connected"};
    }
    void serialNumberDecision() {
        QFETCH(qint64, fileSerial);
        QFETCH(qint64, windowSerial);
        QFETCH(qint64, radioSerial);
        QFETCH(QList<int>, answers);
        QFETCH(QString, pnWritten);
        QFETCH(bool, written);
        QFETCH(QStringList, boxes);
        TMainForm& f = Plugged(windowSerial, WithSerial(radioSerial));
        if (windowSerial < 0)
            MakeFile(0, "read.RM7UX");  // the radio as it is, to compare with
        const std::string path = MakeFile(fileSerial, "config.RM7UX");
        QVERIFY(!path.empty());
        Choose(f, path);
        for (int a : answers)
            dialogs_->Answers.push_back(MsgResult(a));

        f.BitBtn_WriteConfigClick();

        const Texts events = radio_->EventTexts();
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
            QCOMPARE(int64_t(radio_->FlashField("PN")), int64_t(fileSerial));
        } else {
            QCOMPARE(int64_t(radio_->Field("PN")), int64_t(radioSerial));
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
        TMainForm& f = Plugged(0, WithSerial(0));
        Choose(f, MakeFile(1000000, "c.RM7UX"));
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
        QCOMPARE(dialogs_->Shown[2].Type, MsgType::Question);
    }

    // Only a radio the window has read in full is programmed.
    void noRadioReadNoProgram() {
        TMainForm& f = Plugged(-1);
        Choose(f, MakeFile(12345678, "c.RM7UX"));
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts(), Texts{"No radio is connected"});
        QVERIFY(Changes(*radio_).empty());
    }

    // ---- The radio exchanged ----

    // While the open dialog is up the refresh finds another radio.
    void radioSwappedWhileChoosing() {
        TMainForm& f = Plugged(12345678);
        const std::string path = MakeFile(12345678, "c.RM7UX");
        f.FileDialogHook = [&](TFileDialog& d) {
            radio_->SwapRadio(WithSerial(7654321));
            f.Timer_ReadRadioTimer();  // a tick while the dialog is up
            d.FileName = path;
            return true;
        };
        f.CheckBox_Connect->setChecked(true);
        f.Timer_ReadRadio->stop();
        f.RM7UXLoadradioData();
        QCOMPARE(f.SerialNumber(), int64_t{12345678});
        radio_->ClearEvents();
        f.BitBtn_WriteConfigClick();
        QCOMPARE(f.SerialNumber(), int64_t{7654321});
        QCOMPARE(ShownTexts(), Texts{kConnectionChanged});
        QCOMPARE(dialogs_->Shown[0].Type, MsgType::Error);
        QVERIFY(Changes(*radio_).empty());
    }

    // ...and while the confirmations are up.
    void radioSwappedWhileConfirming() {
        for (int at : {0, 1}) {
            TMainForm& f = Plugged(0, WithSerial(0));
            Choose(f, MakeFile(1000000, "c.RM7UX"));
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
                radio_->SwapRadio(WithSerial(5));
                f.RM7UXLoadradioData();  // a refresh while the box is open
            };
            swapping->Answers = {MsgResult::OK, MsgResult::OK};
            f.BitBtn_WriteConfigClick();
            QCOMPARE(swapping->Texts().size(), size_t(at + 2));
            QCOMPARE(swapping->Texts().back(), kConnectionChanged);
            QVERIFY(Changes(*radio_).empty());
            swapping.reset();
            dialogs_ = std::make_unique<ScriptedDialogs>();
        }
    }

    // Exchanged after the last refresh: the window still holds the old number, the radio on the
    // cable is asked before it is written.
    void radioSwappedSinceTheLastRefresh() {
        TMainForm& f = Plugged(12345678);
        Choose(f, MakeFile(12345678, "c.RM7UX"));
        radio_->SwapRadio(WithSerial(7654321));
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts(), Texts{kConnectionChanged});
        QVERIFY(Changes(*radio_).empty());
        QCOMPARE(radio_->Field("PN"), 7654321u);
    }

    // ---- Program from file: ending short ----

    void missingOrBadFile() {
        TMainForm& f = Plugged(12345678);
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
        QVERIFY(radio_->EventTexts().empty());
    }

    void cancelledDialogsDoNothing() {
        TMainForm& f = Plugged(12345678);
        int shown = 0;
        f.FileDialogHook = [&](TFileDialog&) {
            ++shown;
            return false;
        };
        f.BitBtn_WriteConfigClick();
        f.BitBtn_SaveConfigClick();
        QCOMPARE(shown, 2);
        QVERIFY(dialogs_->Shown.empty());
        QVERIFY(radio_->EventTexts().empty());
    }

    // The radio hangs up part-way through the write: no flash save of half a configuration.
    void radioStopsAnsweringWhileWritten() {
        TMainForm& f = Plugged(12345678);
        Choose(f, MakeFile(12345678, "c.RM7UX"));
        // The window's read, the file's and the review's, RV and PN, then PF, PD, PM, PS, PW.
        radio_->SetFaults({.HangUpAfterCommands = commandsAnswered_ + fileCommands_ + 7});
        dialogs_->Answers.push_back(MsgResult::OK);
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts().size(), 2u);
        // What reached the radio is said: which fields, and how to get back.
        QVERIFY(ShownTexts()[1].rfind("Failed to write the configuration to flash\r\n", 0) == 0);
        QVERIFY(ShownTexts()[1].find("may hold mixed settings") != std::string::npos);
        QVERIFY(ShownTexts()[1].find("Fields written: RF Offset") != std::string::npos);
        QVERIFY(!Has(radio_->EventTexts(), "ee"));
        QVERIFY(!Has(radio_->EventTexts(), "flash"));
        QVERIFY(!f.RM7UXport.IsOpen());
    }

    // Everything written and saved, but the radio does not come back from the reset.
    void resetFails() {
        int beforeReset = 0;
        {
            TMainForm& f = Plugged(12345678);
            Choose(f, MakeFile(12345678, "c.RM7UX"));
            dialogs_->Answers.push_back(MsgResult::OK);
            f.BitBtn_WriteConfigClick();
            QCOMPARE(ShownTexts().size(), 2u);
            QCOMPARE(ShownTexts()[1], "Configuration Saved to Flash");
            QCOMPARE(dialogs_->Shown[1].Type, MsgType::Information);
            const Texts events = radio_->EventTexts();
            auto reset = std::find(events.begin(), events.end(), "reset");
            QVERIFY(reset != events.end());
            beforeReset = int(std::count_if(events.begin(), reset,
                                            [](const std::string& e) { return e != "cr"; }));
        }
        dialogs_->Shown.clear();
        commandsAnswered_ = fileCommands_ = 0;
        TMainForm& f = Plugged(12345678);
        Choose(f, MakeFile(12345678, "c.RM7UX"));
        radio_->SetFaults({.HangUpAfterCommands = commandsAnswered_ + beforeReset});
        dialogs_->Answers.push_back(MsgResult::OK);
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts().size(), 2u);
        QCOMPARE(ShownTexts()[1], "Configuration Saved to Flash\r\nPlease reset the device");
        QVERIFY(Has(radio_->EventTexts(), "flash"));
    }

    // ---- Save to file ----

    void dialogsFollowTheModel() {
        for (int model : {0, 1}) {
            TMainForm& f =
                Plugged(model == 1 ? 12345678 : 11223344,
                        model == 1 ? RadioPersonality::RM7UH() : RadioPersonality::RM7VX());
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
        TMainForm& f = Plugged(12345678);
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
        QCOMPARE(radio_->EventTexts().empty(), !replaced);
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
        // A foreign file too large to load back as a backup: replacing it is refused.
        QTest::newRow("too large to load back") << "large"
                                                << "";
    }
    void saveFailures() {
        QFETCH(QString, how);
        QFETCH(QString, message);
        TMainForm& f = Plugged(12345678);
        const std::string path = dir_->File("keep.RM7UX");
        const std::string old = how == "large" ? std::string(2 << 20, 'x') : "keep";
        std::ofstream(path) << old;
        if (how == "port") {
            f.ComboBox_PortNumber->setCurrentIndex(199);
            f.ApplyPortSelection();
        } else if (how == "silent") {
            radio_->SetFaults({.Silent = true});
        } else if (how == "hangup") {
            radio_->SetFaults({.HangUpAfterCommands = 10});
        } else if (how == "garbage") {
            radio_->SetFaults({.GarbageField = "PL"});
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
        QVERIFY(ReadAll(path) == old);
        QVERIFY(!f.RM7UXport.IsOpen());
    }

    void saveIntoAFolderThatDoesNotExist() {
        TMainForm& f = Plugged(12345678);
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
        TMainForm& f = Plugged(12345678);
        const std::string path = dir_->File("radio_->RM7UX");
        TFileDialog seen;
        Choose(f, path, &seen);
        f.BitBtn_SaveConfigClick();
        QVERIFY(dialogs_->Shown.empty());
        QVERIFY(std::filesystem::exists(path));
        QCOMPARE(f.OpenDialog.FileName, path);

        // Calibration drifts in the working settings; the file puts it back.
        const uint32_t deviation = radio_->Field("PD"), power3 = radio_->Field("PL3");
        radio_->SetField("PD", 0x77);
        radio_->SetField("PL3", 0x11);
        radio_->ClearEvents();
        dialogs_->Answers.push_back(MsgResult::OK);
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts().size(), 2u);
        // The review names exactly the two fields that drifted, as the window labels them, and
        // asks.
        QVERIFY2(ShownTexts()[0].find("changes 2 fields:\r\n\r\nDeviation: 119 \u2192 ") !=
                     std::string::npos,
                 ShownTexts()[0].c_str());
        QVERIFY(ShownTexts()[0].find("RF Power Calibration 5W: 17 \u2192 ") != std::string::npos);
        QVERIFY(ShownTexts()[0].find("20 fields unchanged") != std::string::npos);
        QCOMPARE(dialogs_->Shown[0].Buttons, MsgButtons::ProgramCancel);
        QCOMPARE(dialogs_->Shown[0].Type, MsgType::Question);
        QCOMPARE(ShownTexts()[1], "Configuration Saved to Flash");
        const Texts events = radio_->EventTexts();
        QVERIFY(Has(events, "write PD " + IntToHexText(deviation)));
        QVERIFY(Has(events, "flash"));
        QVERIFY(Has(events, "reset"));
        QCOMPARE(radio_->FlashField("PD"), deviation);
        QCOMPARE(radio_->Field("PL3"), power3);
        QCOMPARE(radio_->Field("PN"), 12345678u);
        QVERIFY(std::none_of(events.begin(), events.end(),
                             [](const std::string& e) { return e.rfind("write PN", 0) == 0; }));
        QVERIFY(!f.ChangesMade());

        radio_->SwapRadio(WithSerial(11223344));
        f.RM7UXLoadradioData();
        radio_->ClearEvents();
        dialogs_->Shown.clear();
        f.BitBtn_WriteConfigClick();
        QCOMPARE(ShownTexts().size(), size_t{1});
        QVERIFY(ShownTexts()[0].rfind("Wrong device !!", 0) == 0);
        // (The carriage return that ended the reset may reach the radio late.)
        QVERIFY(Changes(*radio_).empty());
        QCOMPARE(radio_->Field("PN"), 11223344u);
    }

    // The review is a question in the real window, whose default is Cancel: Enter pressed in
    // haste leaves the radio as it was.
    void enterAtTheReviewWritesNothing() {
        TMainForm& f = Plugged(12345678);
        const std::string path = dir_->File("own.RM7UX");
        Choose(f, path);
        f.BitBtn_SaveConfigClick();
        QVERIFY(std::filesystem::exists(path));
        radio_->SetField("PD", 0x77);
        TQtDialogs real;
        SetDialogs(&real);
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString defaultButton, text;
        QTimer::singleShot(0, &f, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            icon = box->icon();
            text = box->text();
            defaultButton = box->defaultButton() != nullptr ? box->defaultButton()->text() : "";
            QTest::keyClick(box, Qt::Key_Return);
        });
        radio_->ClearEvents();
        f.BitBtn_WriteConfigClick();
        SetDialogs(dialogs_.get());
        QVERIFY(text.startsWith("Programming '"));
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(defaultButton, QString("Cancel"));
        QVERIFY(Changes(*radio_).empty());
        QCOMPARE(radio_->Field("PD"), 0x77u);
    }
};

QTEST_MAIN(tst_File)
#include "tst_File.moc"
