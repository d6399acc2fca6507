// CFG_RM7UX_Radio: the configuration tool's window.
//
// The tool takes no arguments for normal use. For scripts and demonstrations:
//   --port N    select COM N (1..256) at start and connect, as if chosen in the list; an address
//               (tcp://HOST:PORT, rfc2217://HOST:PORT) selects the COM number that the ports
//               folder gives it, or gives it the first free one from 100
//   --connect   tick Connect at start
//   --report    print "STATE <text>" on standard output whenever the comms-state text is set

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/FormatSettings.h"
#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "config/INIunit.h"
#include "config/Version.h"
#include "console/Advanced.h"
#include "console/Main.h"
#include "console/QtDialogs.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"
#include "platform/Interruption.h"
#include "platform/PortArgument.h"
#include "platform/PortNames.h"
#include "platform/SerialPorts.h"
#include "platform/UserFolders.h"
#include "widgets/AppIcon.h"
#include "widgets/FormBubbleHint.h"
#include "widgets/HtmlHelp.h"

namespace {

struct Options {
    int Port = 0;
    std::string Address;
    bool Connect = false;
    bool Report = false;
};

constexpr const char* kUsage = "Usage: CFG_RM7UX_Radio [--port N|ADDRESS] [--connect] [--report]\n";

int Usage(const QString& problem) {
    std::cerr << "CFG_RM7UX_Radio: " << problem.toStdString() << "\n" << kUsage;
    return 2;
}

// --help and --version are answered before the window system is touched, so they work without
// a display (a packager's man-page generator, a script over ssh).
bool AnsweredWithoutWindow(int argc, char** argv, int& status) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout
                << kUsage
                << "Configures an RM7UX or RM7VX data radio on a serial port, in a window.\n\n"
                   "  --port N    select COM N (1..256, written 7, COM7 or COM 7) at start and\n"
                   "              connect, as choosing it in the list does\n"
                   "  --port tcp://HOST:PORT, --port rfc2217://HOST:PORT\n"
                   "              a serial device server's port: the COM number the ports folder\n"
                   "              gives that address, or the first free one from 100\n"
                   "  --connect   tick Connect at start\n"
                   "  --report    print STATE <text> on standard output whenever the "
                   "comms-state\n"
                   "              text is set, and SHOWN once the window is up\n"
                   "  --help      this text\n"
                   "  --version   the program's version\n";
            status = 0;
            return true;
        }
        if (arg == "--version") {
            std::cout << "CFG_RM7UX_Radio " << GetPackageVersion() << "\n";
            status = 0;
            return true;
        }
    }
    return false;
}

// The end of the window on SIGINT, SIGTERM or SIGHUP, from the event loop once no exchange
// holds the signal: the operator's transmitter test is ended as TX OFF ends it, then the window
// goes without a question.
// The COM number the ports folder gives a device server's address: the one that has it, or the
// first free one from 100 (as the emulated radio takes), made for it.
uint32_t NetworkComPort(const std::string& address) {
    for (const SerialPortInfo& p : ListSerialPorts()) {
        if (p.Kind == SerialPortKind::Network && p.Device == address)
            return p.Com;
    }
    const uint32_t n = AttachFreeAddress(100, address);
    if (n != 0)
        std::cerr << "CFG_RM7UX_Radio: " << address << " is COM" << n << " (ports folder)\n";
    return n;
}

void EndOnSignal(TMainForm& form, int signal) {
    form.ReleaseOnSignal();
    RunInterruptionCleanups();
    std::cerr << "CFG_RM7UX_Radio: interrupted by " << SignalName(signal) << "\n";
    for (const std::string& line : InterruptionOutcome())
        std::cerr << "CFG_RM7UX_Radio: " << line << "\n";
    if (form.TransmitterOn() != 0 || TransmitterMayBeOn())
        std::cerr << "CFG_RM7UX_Radio: the radio did not confirm that its transmitter is off: "
                     "switch the radio off\n";
    std::fflush(nullptr);
    // Inside a message box or another nested loop the handler below would go on when it returns:
    // nothing may run after this.
    if (QApplication::activeModalWidget() != nullptr || QThread::currentThread()->loopLevel() > 1)
        std::_Exit(128 + signal);
    QCoreApplication::exit(128 + signal);
}

}  // namespace

int main(int argc, char** argv) {
    if (int status = 0; AnsweredWithoutWindow(argc, argv, status))
        return status;
    // A file-size limit fails a save with its message ("Unable to write"), as a full disk does,
    // instead of killing the window with a half-written temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    // Frequencies, limits and log lines follow the user's locale; files and the wire never do.
    std::setlocale(LC_ALL, "");
    SetDefaultFormatSettings(FormatSettings::FromLocale());

    Options options;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--port") {
            // The one port rule of every program; "auto" is the command line's, the window
            // has "Find the radio".
            PortArgument port;
            std::string problem;
            if (i + 1 >= args.size())
                return Usage("--port needs a COM number from 1 to 256 or an address");
            if (!ParsePortArgument(args[++i].toStdString(), port, problem))
                return Usage(QString::fromStdString(problem));
            if (!port.Auto.empty())
                return Usage("--port " + QString::fromStdString(port.Auto) +
                             ": the window finds the radio with \"Find the radio\" (right-click "
                             "the port list)");
            options.Port = port.Number ? static_cast<int>(*port.Number) : 0;
            options.Address = port.Address;
        } else if (args[i] == "--connect") {
            options.Connect = true;
        } else if (args[i] == "--report") {
            options.Report = true;
        } else {
            // The program needs no arguments; one a launcher adds (a file, say) must not keep
            // the window from opening.
            std::cerr << "CFG_RM7UX_Radio: ignoring argument " << args[i].toStdString() << "\n";
        }
    }

    // Each module's own start: settings beside the executable, the help viewer. The plan tables
    // are constant data.
    SetSettingsFolder(ExecutableFolder());
    LoadHtmlHelp();
    QApplication::setApplicationName("RM7UX Radio Config");
    // The desktop entry's name: Wayland compositors match the window to its launcher by it, and
    // X11 ones by the entry's StartupWMClass, the program's name.
    QGuiApplication::setDesktopFileName("cfg-rm7ux-radio");
    QApplication::setWindowIcon(AppIcon());
    SetApplicationHelpFile(kRelativeHelpFile);
    TQtDialogs dialogs;
    SetDialogs(&dialogs);

    TMainForm mainForm;
    TForm_Password formPassword(&mainForm);
    TForm_BubbleHint formBubbleHint;
    mainForm.Form_Password = &formPassword;
    mainForm.Form_BubbleHint = &formBubbleHint;

    if (options.Report) {
        mainForm.OnCommsStateText = [](const QString& text) {
            std::printf("STATE %s\n", text.toUtf8().constData());
            std::fflush(stdout);
        };
    }
    if (!options.Address.empty()) {
        options.Port = static_cast<int>(NetworkComPort(options.Address));
        if (options.Port == 0) {
            std::cerr << "CFG_RM7UX_Radio: no free COM number for " << options.Address
                      << " in the ports folder\n";
            return 1;
        }
    }
    // A port given is chosen, as in the list, and so connected to; --connect ticks Connect on
    // the port the window remembers.
    if (options.Port > 0)
        mainForm.ChoosePort(options.Port);
    if (options.Connect)
        mainForm.SetConnect(true);

    // Signals reach the window through its event loop; one that arrives during an exchange waits
    // for its end, which queues the delivery again.
    InstallInterruptionHandlers(false);
    QSocketNotifier signalNotifier(InterruptionWakeFd(), QSocketNotifier::Read);
    auto deliver = [&mainForm] {
        ClearInterruptionWake();
        const int signal = PendingInterruption();
        if (signal != 0 && !InterruptionHeld())
            EndOnSignal(mainForm, signal);
    };
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &mainForm, deliver);
    SetInterruptionDelivery(
        [&mainForm, deliver](int) { QTimer::singleShot(0, &mainForm, deliver); });

    mainForm.show();
    if (options.Report) {
        // Once the events of the showing have been handled.
        QTimer::singleShot(0, &mainForm, [] {
            std::printf("SHOWN\n");
            std::fflush(stdout);
        });
    }
    const int rc = QApplication::exec();
    SetInterruptionDelivery(nullptr);
    SetDialogs(nullptr);
    UnloadHtmlHelp();
    return rc;
}
