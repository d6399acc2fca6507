// The window's ports: the list's marks and hot-plug, other programs holding the port, keeping a
// cable as its COM number, and finding the radio among the ports present.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include "common/UserDialogs.h"
#include "console/Controls.h"
#include "console/Main.h"
#include "console/PortList.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "platform/PortDiagnosis.h"
#include "platform/PortNames.h"
#include "platform/RadioSearch.h"

namespace {

// How often a window whose Connect box is hidden looks again at a port another program holds.
constexpr int kHeldPortRetryMs = 5000;

}  // namespace

void TMainForm::SetupPortList() {
    PortList = new TPortList(ComboBox_PortNumber);
    MenuItem_KeepCable = new QAction(this);
    MenuItem_KeepCable->setObjectName("MenuItem_KeepCable");
    MenuItem_FindRadio = new QAction("Find the radio", this);
    MenuItem_FindRadio->setObjectName("MenuItem_FindRadio");
    ComboBox_PortNumber->setContextMenuPolicy(Qt::ActionsContextMenu);
    ComboBox_PortNumber->addAction(MenuItem_KeepCable);
    ComboBox_PortNumber->addAction(MenuItem_FindRadio);
    auto update = [this] {
        const auto n = static_cast<uint32_t>(ComboBox_PortNumber->currentIndex() + 1);
        const SerialPortInfo* p = PortList->Present(n);
        MenuItem_KeepCable->setText(QString("Keep this cable as COM %1").arg(n));
        MenuItem_KeepCable->setEnabled(p != nullptr && p->Kind != SerialPortKind::Uart &&
                                       p->Kind != SerialPortKind::Network);
    };
    connect(ComboBox_PortNumber, &QComboBox::currentIndexChanged, this, update);
    connect(PortList, &TPortList::PortsChanged, this, update);
    connect(MenuItem_KeepCable, &QAction::triggered, this, [this] { MenuItem_KeepCableClick(); });
    connect(MenuItem_FindRadio, &QAction::triggered, this, [this] { MenuItem_FindRadioClick(); });
    PortList->Refresh();
}

bool TMainForm::RefuseHeldPort() {
    // A device server lets one client in at a time, itself.
    if (!ComPortAddress(RM7UXport.CommPort).empty())
        return false;
    const std::string path = ResolveComPort(RM7UXport.CommPort);
    const std::vector<PortHolder> holders = FindPortHolders(path);
    if (holders.empty())
        return false;
    // flock and TIOCEXCL keep out only programs that lock too: a terminal program with the
    // cable open would share the line, and each would read the other's replies.
    if (CheckBox_Connect->isHidden()) {
        // A hidden box (ConnectHide) cannot be ticked again by the operator: look again later.
        Timer_ReadRadio->stop();
        QTimer::singleShot(kHeldPortRetryMs, this, [this] {
            if (state_.Connect)
                CheckBox_ConnectClick();
        });
    } else if (state_.Connect) {
        state_.Connect = false;
        Timer_ReadRadio->stop();
    }
    RM7UXDisplayCommsError(csPortNotAvailable);
    state_.LampTip =
        QString::fromStdString(DescribePortHeld(ComPortName(RM7UXport.CommPort), path, holders));
    heldPortChecked_ = {RM7UXport.CommPort, csPortNotAvailable};
    Draw();
    return true;
}

QString TMainForm::PortTooltip(uint8_t code) {
    if (code == csPortNotAvailable) {
        // The lamp keeps its short text; why the port cannot be had is one hover away. The
        // reason looks through other processes' files, so it is worked out again only when the
        // failure differs from the last one, not on every tick.
        const PortFailure failure{RM7UXport.CommPort, RM7UXport.LastOpenPath(),
                                  RM7UXport.LastOpenError(), RM7UXport.LastOpenErrno(),
                                  RM7UXport.LastOpenProblem()};
        if (!(failure == lastPortFailure_) || portFailureText_.isEmpty()) {
            lastPortFailure_ = failure;
            // A device server says what kept it: the name, the connect, the server.
            portFailureText_ = QString::fromStdString(
                !failure.Problem.empty()
                    ? ComPortName(failure.Port) + ": " + failure.Problem
                    : DescribePortOpenFailure(ComPortName(failure.Port), failure.Path,
                                              failure.Error, failure.Errno));
        }
        return portFailureText_;
    }
    QString text = PortList != nullptr ? PortList->DeviceText(RM7UXport.CommPort) : QString();
    if (RM7UXport.IsRemote()) {
        // Every turnaround costs a network round trip; and while the connection is held the
        // server lets nobody else (another tool, a SCADA poller) reach the radio.
        text += QString("\nRound trip %1 ms").arg(RM7UXport.RoundTripMs());
        if (RM7UXport.ConnectionHeld())
            text +=
                "; connection held: nobody else can reach the radio through the server "
                "until Connect is unticked";
        if (const std::string lost = RM7UXport.LineLost(); !lost.empty())
            text += "\n" + QString::fromStdString(lost);
    }
    if (code >= csNoConnection && code <= csInvalidDevice && !RM7UXport.IsRemote()) {
        // Another program on the line garbles replies; looked for once per failure, not on
        // every tick of a refresh that keeps failing.
        const std::pair<uint32_t, uint8_t> failure{RM7UXport.CommPort, code};
        if (failure != heldPortChecked_) {
            heldPortChecked_ = failure;
            const std::string path = ResolveComPort(RM7UXport.CommPort);
            const std::vector<PortHolder> holders = FindPortHolders(path);
            heldPortText_ = holders.empty() ? QString()
                                            : QString::fromStdString(DescribePortHeld(
                                                  ComPortName(RM7UXport.CommPort), path, holders));
        }
        if (!heldPortText_.isEmpty())
            text += "\n" + heldPortText_;
        // An adapter left at its 16 ms latency can make echoes late enough to fail.
        if (RM7UXport.Latency().Result == LowLatency::Refused)
            text += "\n" + QString::fromStdString(DescribeLatency(RM7UXport.Latency()));
    } else if (code == csConnected) {
        heldPortChecked_ = {};
        heldPortText_.clear();
    }
    return text;
}

void TMainForm::MenuItem_KeepCableClick() {
    const auto n = static_cast<uint32_t>(ComboBox_PortNumber->currentIndex() + 1);
    const SerialPortInfo* p = PortList->Present(n);
    if (p == nullptr)
        return;
    std::string note;
    const std::string error = PinComPort(n, p->Device, note);
    PortList->Refresh();
    if (!error.empty()) {
        ShowErrorBox("COM" + std::to_string(n) + " could not be kept: " + error + ".");
    } else if (!note.empty()) {
        ShowInformationBox(note);
    }
}

void TMainForm::MenuItem_FindRadioClick() {
    const bool refreshing = Timer_ReadRadio->isActive();
    Timer_ReadRadio->stop();
    const uint32_t before = RM7UXport.CommPort;
    std::vector<SerialPortInfo> candidates;
    for (const auto& p : RadioSearchCandidates(PortList->Ports(), false)) {
        // The list has numbers only; a device no number reaches can be pinned first.
        if (p.Com != 0)
            candidates.push_back(p);
    }
    const auto steps =
        SearchForRadio(candidates, [this](const SerialPortInfo& port, std::string& outcome) {
            RM7UXport.CommPort = port.Com;
            const bool found = OpenRadioPort() && EnsureRadioIdentified();
            outcome = found ? RM7UXVersionText() : CommsStateText(state_.CommsState);
            CloseRadioPort();
            return found;
        });
    std::string tried;
    for (const auto& step : steps)
        tried += "\r\n" + step.Text();
    if (!steps.empty() && steps.back().Found) {
        RM7UXport.CommPort = before;
        // The search only identified it: the radio is read in full, as Connect reads it, before
        // anything can be written to it.
        ForgetRadio();
        ChoosePort(static_cast<int>(steps.back().Port.Com));
        ShowInformationBox("The radio answers on COM" + std::to_string(steps.back().Port.Com) +
                           ".\r\n" + tried);
    } else {
        RM7UXport.CommPort = before;
        ShowWarningBox(steps.empty() ? std::string("No USB serial port or port link is present.")
                                     : "No radio answered.\r\n" + tried);
    }
    if (state_.Connect && (refreshing || !Timer_ReadRadio->isActive()))
        Timer_ReadRadio->start();
}
