// Pictures of the program's windows for a person to look at: the main window (normal and with
// the advanced panel), the alignment view, the history view and the help window, connected to
// an emulated radio. Not a test: scripts/screenshots runs it under Xvfb at the usual font, at
// 144 dpi and on a dark palette, and someone looks.
//   window_shots FOLDER PREFIX [--dark] [--scenes]
// With --scenes it pictures instead the window and its real message boxes through three
// operations: Find the radio, a country/band choice and Program From File.
// The alignment plot is given five minutes of a made-up antenna sweep before its own readings,
// so that the picture shows a full plot.

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>

#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "config/INIunit.h"
#include "config/RM7UXFlashConfigObj.h"
#include "console/Advanced.h"
#include "console/Main.h"
#include "console/QtDialogs.h"
#include "emulator/RadioEmulator.h"
#include "link/RM7UXcomms.h"
#include "platform/HelpViewer.h"
#include "platform/UserFolders.h"
#include "widgets/AlignmentView.h"
#include "widgets/HelpWindow.h"
#include "widgets/HistoryView.h"
#include "widgets/HtmlHelp.h"
#include "widgets/SignalPlot.h"

namespace {

QPalette DarkPalette() {
    QPalette p;
    const QColor window(0x2B, 0x2B, 0x2B), base(0x1E, 0x1E, 0x1E), text(0xE6, 0xE6, 0xE6);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3A));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Light, QColor(0x55, 0x55, 0x55));
    p.setColor(QPalette::Midlight, QColor(0x48, 0x48, 0x48));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    p.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Shadow, QColor(0x10, 0x10, 0x10));
    p.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    return p;
}

// Runs the event loop until `done` or `ms` have passed.
template <typename F>
bool Until(F done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QTest::qWait(20);
    return done();
}

bool Save(QWidget* w, const std::string& path) {
    QTest::qWait(100);
    const QImage image = w->grab().toImage();
    const bool ok = image.save(QString::fromStdString(path));
    std::printf("%s %s (%dx%d pixels)\n", ok ? "wrote" : "could not write", path.c_str(),
                image.width(), image.height());
    return ok;
}

// The window's own message boxes, each pictured once it is up and then answered with the
// button named next in `Script`.
class PicturedDialogs : public TQtDialogs {
  public:
    PicturedDialogs(std::string folder) : folder_(std::move(folder)) { SetDialogs(this); }
    ~PicturedDialogs() override { SetDialogs(nullptr); }

    MsgResult Show(MsgType type, const std::string& title, const std::string& text,
                   MsgButtons buttons) override {
        std::string name = "box", answer = "OK";
        if (!Script.empty()) {
            name = Script.front().first, answer = Script.front().second;
            Script.pop_front();
        }
        QTimer::singleShot(300, [this, name, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            Ok = Save(box, folder_ + "-" + name + ".png") && Ok;
            for (QAbstractButton* b : box->buttons())
                if (b->text().remove('&') == QString::fromStdString(answer))
                    return b->click();
            box->reject();
        });
        return TQtDialogs::Show(type, title, text, buttons);
    }

    std::deque<std::pair<std::string, std::string>> Script;
    bool Ok = true;

  private:
    std::string folder_;
};

int Scenes(const std::string& prefix, TempDir& dir) {
    PicturedDialogs dialogs(prefix);
    RadioEmulator radio({.Pace = true});
    radio.Start();
    TMainForm form;
    TForm_Password password(&form);
    form.Form_Password = &password;
    form.ComboBox_PortNumber->setCurrentIndex(199);  // COM200, where nothing answers
    form.ApplyPortSelection();
    form.show();
    bool ok = QTest::qWaitForWindowExposed(&form);
    auto path = [&](const char* name) { return prefix + "-" + name + ".png"; };

    dialogs.Script = {{"find-result", "OK"}};
    form.MenuItem_FindRadio->trigger();
    ok = Until([&] { return form.SerialNumber() >= 0; }, 20000) && ok;
    ok = Save(&form, path("found")) && ok;

    form.SetAdvancedMode(true, true);
    form.DisplayAdvancedModeState();
    ok = Until([&] { return form.ComboBox_FreqBand->isEnabled(); }, 5000) && ok;
    dialogs.Script = {{"plan-question", "Yes"}};
    form.ComboBox_FreqBand->showPopup();
    QAbstractItemView* view = form.ComboBox_FreqBand->view();
    view->setCurrentIndex(form.ComboBox_FreqBand->model()->index(3, 0));
    QTest::keyClick(view, Qt::Key_Return);
    ok = Save(&form, path("plan")) && ok;

    // A backup of the radio with a few values changed, programmed back.
    TRM7UXFlashRecordClass file;
    ok = OpenRadioPort() && file.ReadFromRadio() && ok;
    CloseRadioPort();
    TRM7UXFlashRecord& r = file.Record();
    r.PttTimeout = 30, r.Ctcss = 7, r.PowerLevel = 1;
    file.SetFileName(dir.File("backup.RM7UX"));
    ok = file.SaveToFile() && ok;
    form.FileDialogHook = [&](TFileDialog& d) {
        d.FileName = dir.File("backup.RM7UX");
        return true;
    };
    dialogs.Script = {{"program-review", "Program"}, {"programmed", "OK"}};
    form.BitBtn_WriteConfigClick();
    ok = Save(&form, path("program")) && ok;
    form.CheckBox_Connect->setChecked(false);
    radio.Stop();
    return ok && dialogs.Ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_shots FOLDER PREFIX [--dark] [--scenes]\n");
        return 2;
    }
    const std::string folder = argv[1], prefix = argv[2];
    bool dark = false, scenes = false;
    for (int i = 3; i < argc; ++i)
        (std::string(argv[i]) == "--dark" ? dark : scenes) = true;
    TempDir dir;
    dir.PointConfigHere();
    QApplication app(argc, argv);
    if (dark) {
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QApplication::setPalette(DarkPalette());
    }
    SetSettingsFolder(dir.Path());
    ScriptedDialogs dialogs;
    SetHtmlHelpFunction(DefaultHtmlHelpFunction(THelpViewer{}));
    std::filesystem::create_directories(folder);
    auto path = [&](const char* name) { return folder + "/" + prefix + "-" + name + ".png"; };
    if (scenes)
        return Scenes(folder + "/" + prefix, dir);
    bool ok = true;

    RadioEmulator radio({.Pace = true});
    radio.Start();
    TMainForm form;
    TForm_Password password(&form);
    form.Form_Password = &password;
    form.ComboBox_PortNumber->setCurrentIndex(static_cast<int>(radio.ComPort()) - 1);
    form.ApplyPortSelection();
    form.show();
    form.CheckBox_Connect->setChecked(true);
    if (!Until([&] { return form.SerialNumber() >= 0; }, 20000)) {
        std::fprintf(stderr, "the window did not read the radio\n");
        return 1;
    }
    // Something for the history to show, and a change not yet saved.
    form.Edit_PTTTimeout->setText("45");
    form.SetPTT();
    form.Button_WriteRadioSettingsClick();
    form.ComboBox_RFLevel->setCurrentIndex(2);
    form.ComboBox_RFLevelChange();
    form.Edit_PTTTimeout->setFocus();
    ok = Save(&form, path("main")) && ok;

    form.SetAdvancedMode(true, true);
    form.DisplayAdvancedModeState();
    ok = Until([&] { return form.Panel_Advanced->isVisible(); }, 2000) && ok;
    ok = Save(&form, path("main-advanced")) && ok;

    form.Button_HistoryClick();
    if (auto* history = form.findChild<THistoryView*>()) {
        ok = QTest::qWaitForWindowExposed(history) && Save(history, path("history")) && ok;
        history->close();
    } else {
        ok = false;
    }

    Button_HelpClick();
    if (THelpWindow* help = CurrentHelpWindow()) {
        ok = QTest::qWaitForWindowExposed(help) && ok;
        ShowManual(&form, ExecutableFolder() + kRelativeHelpFile, HelpContexts::Alignment);
        ok = Save(help, path("help")) && ok;
        help->close();
    }

    form.Button_AlignmentClick();
    TAlignmentView* view = form.AlignmentView;
    if (view == nullptr)
        return 1;
    // Five minutes of an antenna turned slowly through the beam and back.
    for (double t = -300; t < 0; t += 1 / 70.0) {
        const double beam = std::exp(-std::pow(std::fmod(t + 300, 120) - 80, 2) / 200);
        view->Plot->AddPoint(0, t, 35 + 120 * beam + 4 * std::sin(t * 13));
    }
    for (double t = -300; t < 0; t += 3)
        view->Plot->AddPoint(1, t, 33 + t / 150);
    ok = Until([&] { return view->Readings() > 300; }, 20000) && ok;
    ok = Save(view, path("align")) && ok;
    view->resize(view->width() * 3 / 2, view->height() * 3 / 2);
    ok = Save(view, path("align-large")) && ok;
    view->close();
    form.CheckBox_Connect->setChecked(false);
    radio.Stop();
    return ok ? 0 : 1;
}
