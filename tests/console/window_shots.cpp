// Pictures of the program's windows for a person to look at: the main window (normal and with
// the advanced panel), the alignment view, the history view and the help window, connected to
// an emulated radio. Not a test: scripts/screenshots runs it under Xvfb at the usual font, at
// 144 dpi and on a dark palette, and someone looks.
//   window_shots FOLDER PREFIX [--dark]
// The alignment plot is given five minutes of a made-up antenna sweep before its own readings,
// so that the picture shows a full plot.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPalette>
#include <QStyleFactory>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "config/INIunit.h"
#include "console/Advanced.h"
#include "console/Main.h"
#include "emulator/RadioEmulator.h"
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_shots FOLDER PREFIX [--dark]\n");
        return 2;
    }
    const std::string folder = argv[1], prefix = argv[2];
    const bool dark = argc > 3 && std::string(argv[3]) == "--dark";
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
