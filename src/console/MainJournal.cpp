// What earlier runs (the window's or rm7ux's, killed or ended without putting the radio right)
// left unfinished: noticed when a radio is identified, the transmitter released at once, the
// rest said in a box that offers the repair; Save to Flash and the step change ask first.

#include <QTimer>
#include <algorithm>
#include <utility>

#include "common/UserDialogs.h"
#include "config/SerialGuard.h"
#include "console/Main.h"
#include "history/ChangeHistory.h"
#include "history/HistoryEntries.h"
#include "history/Journal.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"

namespace {

bool NeedsTheRadio(const JournalState& s) {
    return s.MayBeKeyed() || s.PTTToPutBack() || RepairOffered(s) != RepairKind::None;
}

std::string SerialText(int64_t serial) {
    return serial >= 0 ? FormatSerialNumber(serial) : "";
}

std::string Account(const JournalState& s) {
    const std::string what = s.InFlight();
    return std::string(s.NeedsRepair() ? "An operation on this radio did not finish:\r\n"
                                       : "An operation on this radio was cut off after its last "
                                         "step; nothing is left to do:\r\n") +
           s.Title() + (what.empty() ? "" : "\r\n" + what) + ".";
}

}  // namespace

void TMainForm::SetupJournal() {
    Journal = std::make_unique<OperationJournal>();
    KeyingWatch = std::make_unique<TransmitterKeyingWatch>(
        Journal.get(), [this] { return JournalPort(); }, "window");
}

std::string TMainForm::JournalPort() const {
    return RM7UXport.PortName();
}

std::vector<JournalState> TMainForm::UnfinishedOnRadio(int64_t serial) {
    if (!Journal)
        return {};
    return OperationsOf(UnfinishedOperations(*Journal, History.get()), SerialText(serial),
                        JournalPort());
}

void TMainForm::NoticeUnfinishedOperations(int64_t serial) {
    bool queued = false;
    for (const JournalState& s : UnfinishedOnRadio(serial)) {
        const bool waiting =
            std::any_of(UnfinishedToTell.begin(), UnfinishedToTell.end(),
                        [&](const auto& told) { return told.first.Path == s.Path; });
        if (UnfinishedTold.count(s.Path) != 0 || waiting)
            continue;
        std::string released;
        if (s.MayBeKeyed() || s.PTTToPutBack()) {
            RadioIdentity radio = picture_.Identity();
            radio.Serial = serial;
            auto recorder = Recorder("repair", serial);
            released = ReleaseLeftKeyed(s, *Journal, radio, recorder.get()).Message;
            SayHistoryWarning(*recorder);
        }
        UnfinishedToTell.emplace_back(s, released);
        queued = true;
    }
    if (queued && !AskingUnfinished)
        QTimer::singleShot(0, this, [this, serial] { AskAboutUnfinished(serial); });
}

void TMainForm::AskAboutUnfinished(int64_t serial) {
    if (AskingUnfinished)
        return;
    // Ticks go on while a box is open: what is asked is asked once.
    AskingUnfinished = true;
    struct Done {
        bool& asking;
        ~Done() { asking = false; }
    } done{AskingUnfinished};
    const auto told = std::exchange(UnfinishedToTell, {});
    for (const auto& [found, released] : told) {
        UnfinishedTold.insert(found.Path);
        // As it stands now: what was put right at once may have closed it.
        JournalState s = found;
        const bool open = Journal->Claim(found.Path, s) != nullptr && s.NeedsRepair();
        std::string text = Account(found);
        if (!released.empty())
            text += "\r\n\r\nPut right at once: " + released + ".";
        const RepairKind kind = open ? RepairOffered(s) : RepairKind::None;
        const bool modem = open && s.ModemMayBeInConfigMode();
        if (kind != RepairKind::None) {
            text += "\r\n\r\n" + RepairOfferText(s) + ".\r\n\r\n" +
                    (kind == RepairKind::Save ? "Save the working settings to flash now?"
                                              : "Reset the radio to its flash now?");
            if (ShowWarningBox(text, MsgButtons::YesNo) == MsgResult::Yes && OpenRadioPort()) {
                OperationResult r;
                {
                    PortClose close;
                    // The box was open while refreshes ran: the radio may be another now.
                    if (!EnsureRadioIdentified() || !SameRadioOnCable(serial))
                        continue;
                    RadioIdentity radio = picture_.Identity();
                    radio.Serial = serial;
                    auto recorder = Recorder("repair", serial);
                    r = RepairWorkingSettings(s, *Journal, radio, recorder.get());
                    SayHistoryWarning(*recorder);
                }
                if (r.Unsaved == UnsavedChanges::Saved)
                    SetChangesMadeState(false);
                // What the radio now runs on is read in full by the next refresh.
                if (kind == RepairKind::Reset)
                    ForgetRadio();
                if (!r.Done())
                    ShowErrorBox(r.Message);
            }
        } else if (!modem) {
            ShowWarningBox(text);
        }
        if (modem &&
            ShowWarningBox((kind == RepairKind::None ? text + "\r\n\r\n" : std::string()) +
                               "The M82KD modem may be in its radio configuration mode. Return "
                               "it to AT mode now?",
                           MsgButtons::YesNo) == MsgResult::Yes) {
            if (!ReturnModemToAtMode(s, *Journal))
                ShowErrorBox("The M82KD modem did not return to AT mode");
        }
        if (open)
            CloseUnlessUnfinished(s, *Journal);
    }
}

bool TMainForm::ConfirmOverUnfinished(const std::string& process) {
    for (const JournalState& s : UnfinishedOnRadio(SerialNumber())) {
        if (!NeedsTheRadio(s))
            continue;
        return ShowWarningBox(Account(s) + "\r\n\r\nA " + process +
                                  " now would keep in flash what it left. Go on all the same?",
                              MsgButtons::YesNo) == MsgResult::Yes;
    }
    return true;
}

std::vector<HistoryEntry> TMainForm::UnfinishedEntries(int64_t serial) {
    std::vector<HistoryEntry> entries;
    for (const JournalState& s : UnfinishedOnRadio(serial))
        entries.push_back(UnfinishedEntry(s));
    return entries;
}
