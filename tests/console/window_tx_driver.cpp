// The window as a separate process, for the tests that kill it (tests/cli/CliJournalTest.cpp):
// on the radio of COM N it reads the radio in full, switches the TX test on, prints KEYED, and
// with --off switches it off again and prints RELEASED; then it waits to be killed. Boxes are
// answered as if closed.

#include <QApplication>
#include <QComboBox>
#include <cstdio>
#include <string>

#include "ScriptedDialogs.h"
#include "config/INIunit.h"
#include "console/Main.h"
#include "widgets/PowerButton.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int port = 0;
    bool off = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc)
            port = std::stoi(argv[++i]);
        else if (arg == "--off")
            off = true;
    }
    if (port <= 0) {
        std::fprintf(stderr, "usage: window_tx_driver --port N [--off]\n");
        return 2;
    }
    ScriptedDialogs dialogs;
    TMainForm form;
    form.ComboBox_PortNumber->setCurrentIndex(port - 1);
    form.ApplyPortSelection();
    for (int i = 0; i < 10 && form.SerialNumber() < 0; ++i)
        form.RM7UXLoadradioData();
    if (form.SerialNumber() < 0)
        return 1;
    form.PowerButton_TxOn->Toggle();
    if (form.TransmitterOn() == 0)
        return 1;
    std::printf("KEYED\n");
    std::fflush(stdout);
    if (off) {
        form.PowerButton_TxOn->Toggle();
        std::printf(form.TransmitterOn() == 0 ? "RELEASED\n" : "STILL KEYED\n");
        std::fflush(stdout);
    }
    return QApplication::exec();
}
