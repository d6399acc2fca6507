// The window's part in the history of changes (every field it sets and every flash save, told
// by the command layer), the History view of the connected radio and the antenna alignment view.

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "common/UserDialogs.h"
#include "config/SerialGuard.h"
#include "console/Main.h"
#include "history/ChangeHistory.h"
#include "history/HistoryEntries.h"
#include "link/RM7UXcomms.h"
#include "widgets/AlignmentView.h"
#include "widgets/HistoryView.h"

namespace {

// The box layout, at any depth under `top`, that holds `widget` itself.
QBoxLayout* LayoutHolding(QLayout* top, QWidget* widget) {
    if (top == nullptr)
        return nullptr;
    if (auto* box = qobject_cast<QBoxLayout*>(top); box != nullptr && box->indexOf(widget) >= 0)
        return box;
    for (int i = 0; i < top->count(); ++i) {
        if (QBoxLayout* found = LayoutHolding(top->itemAt(i)->layout(), widget))
            return found;
    }
    return nullptr;
}

}  // namespace

void TMainForm::SetupHistory() {
    History = std::make_unique<ChangeHistory>();
    SetupJournal();
    // Beside Advanced, and beside Program From File, in the layouts the window already has.
    Button_Alignment = new QPushButton("Align", Button_Advanced->parentWidget());
    Button_Alignment->setObjectName("Button_Alignment");
    Button_Alignment->setToolTip("Antenna alignment: RSSI as fast as the line allows");
    connect(Button_Alignment, &QPushButton::clicked, this, [this] { Button_AlignmentClick(); });
    Button_Alignment->setEnabled(ConsoleEnabled());
    if (QBoxLayout* corner = LayoutHolding(layout(), Button_Advanced)) {
        const int at = corner->indexOf(Button_Advanced);
        corner->removeWidget(Button_Advanced);
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(Button_Advanced);
        row->addWidget(Button_Alignment);
        row->addStretch();
        corner->insertLayout(at, row);
    }
    Button_Alignment->raise();
    Button_History = new QPushButton("History", Panel_Advanced);
    Button_History->setObjectName("Button_History");
    Button_History->setToolTip("The changes made to this radio");
    if (QBoxLayout* files = LayoutHolding(Panel_Advanced->layout(), BitBtn_WriteConfig))
        files->insertWidget(files->indexOf(BitBtn_WriteConfig) + 1, Button_History);
    // Tab goes on from each button's neighbour to it.
    setTabOrder(Button_Advanced, Button_Alignment);
    setTabOrder(BitBtn_WriteConfig, Button_History);
    connect(Button_History, &QPushButton::clicked, this, [this] { Button_HistoryClick(); });
}

std::unique_ptr<ChangeRecorder> TMainForm::Recorder(const std::string& action, int64_t serial) {
    const std::string version =
        RM7UXVersionText().empty() ? Label_VersionString->text().toStdString() : RM7UXVersionText();
    HistoryOrigin origin = OriginOf(serial, version, RadioModel(), "window", action);
    origin.Context = picture_.Context();
    origin.Port = JournalPort();
    return std::make_unique<ChangeRecorder>(History.get(), std::move(origin), Journal.get());
}

void TMainForm::SayHistoryWarning(ChangeRecorder& recorder) {
    // What waited for a busy history goes in as soon as it is free, without a wait.
    if (History)
        History->FlushPending(0);
    // An open history view follows what was just recorded.
    for (THistoryView* view : findChildren<THistoryView*>())
        view->Reload();
    const std::string warning = recorder.TakeWarning();
    // Said once, and after the exchange under way: a box now would let the refresh run inside it.
    if (!warning.empty())
        QTimer::singleShot(0, this, [warning] { ShowWarningBox(warning); });
}

void TMainForm::Button_HistoryClick() {
    std::vector<HistoryEntry> entries;
    std::string problem;
    HistoryFilter filter;
    filter.Serial = SerialNumber() >= 0 ? FormatSerialNumber(SerialNumber()) : "";
    if (SerialNumber() < 0 || !History || !History->Query(filter, entries, problem)) {
        ShowErrorBox(SerialNumber() < 0 ? "No radio is connected"
                                        : "The history cannot be read: " + problem);
        return;
    }
    // An operation left unfinished on it comes first.
    const int64_t serial = SerialNumber();
    std::vector<HistoryEntry> unfinished = UnfinishedEntries(serial);
    entries.insert(entries.begin(), unfinished.begin(), unfinished.end());
    auto load = [this, filter, serial](std::vector<HistoryEntry>& loaded, std::string& why) {
        if (!History || !History->Query(filter, loaded, why))
            return false;
        std::vector<HistoryEntry> first = UnfinishedEntries(serial);
        loaded.insert(loaded.begin(), first.begin(), first.end());
        return true;
    };
    auto* view = new THistoryView(this, "serial number " + QString::fromStdString(filter.Serial),
                                  std::move(entries), load);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->show();
}

void TMainForm::Button_AlignmentClick() {
    if (RefusedWhileTransmitting("antenna alignment"))
        return;
    if (SerialNumber() < 0) {
        ShowErrorBox("No radio is connected");
        return;
    }
    // The view holds the port: the full refresh waits until it closes.
    const bool refreshing = Timer_ReadRadio->isActive();
    Timer_ReadRadio->stop();
    auto* view =
        new TAlignmentView(this, SerialNumber(), Label_VersionString->text().toStdString());
    view->setAttribute(Qt::WA_DeleteOnClose);
    AlignmentView = view;
    connect(view, &TAlignmentView::RadioChanged, this, [this] { ForgetRadio(); });
    connect(view, &QDialog::finished, this, [this, refreshing] {
        if (refreshing)
            Timer_ReadRadio->start();
    });
    view->show();
}
