// Reading the radio: the periodic refresh and the full read, into the window's picture of the
// radio; the window is drawn from the picture once the port is closed.

#include <QApplication>
#include <stdexcept>
#include <string>
#include <utility>

#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "config/FieldTable.h"
#include "config/INIunit.h"
#include "console/Main.h"
#include "link/RM7UXcomms.h"
#include "link/RadioTexts.h"
#include "link/Utilities.h"
#include "operations/RadioOperations.h"
#include "widgets/PowerButton.h"

namespace {

// What the operator reads in a report about a reply that is not a number.
std::string FieldName(const std::string& command) {
    return std::string(FieldLabel(command)) + " (" + command + ")";
}

}  // namespace

void TMainForm::RM7UXLoadradioData() {
    // Set for the exchange, cleared before any box: refreshes run while a box is open.
    state_.Updating = true;
    if (!OpenRadioPort()) {
        state_.Updating = false;
        ForgetRadio();
        Draw();
        return;
    }
    state_.ReadingField = nullptr;
    state_.RefreshSerial = -1;
    state_.InFullRead = false;
    try {
        RM7UXport.PurgeAll();
        std::string version;
        bool isRM7UX = false;
        if (!IdentifyRadio(version, isRM7UX)) {
            // The unsaved-changes mark stays: a radio that missed one identification still
            // holds its working settings.
            ForgetRadio();
            // Only the picture: a modem that is not answering is not told anything.
            state_.ModemDown = false;
        } else if (const int64_t serial = ReadSerialNumber(); serial == -1) {
            ForgetRadio();
        } else {
            state_.RefreshSerial = serial;
            // Another radio than the one pictured empties the picture: nothing of the last one
            // is shown for it.
            picture_.Identify(isRM7UX ? 1 : 0, version, serial);
            if (picture_.Transmitting && serial != picture_.TestSerial) {
                // The radio keyed for the TX test is gone; this one is not keyed by the window.
                picture_.Transmitting = false;
                picture_.OperatorPTT = -1;
            }
            const bool again =
                serial == state_.LastUnreadable.Serial && state_.LastUnreadable.InFullRead;
            if (PollPowerWhileTransmitting()) {
                RM7UX_UpdateStatus();
                // A radio not shown before: what an earlier run left unfinished on it first.
                if (!picture_.ReadInFull && !again)
                    NoticeUnfinishedOperations(serial);
                // The channel spacing, then the whole configuration, only for a radio not yet
                // read in full.
                std::string pb;
                if (!picture_.ReadInFull && !again && ReadField("PB", pb, 2, 2) &&
                    TryHexToInt64(pb)) {
                    picture_.Set("PB", UpperCase(pb));
                    state_.InFullRead = true;
                    picture_.ReadInFull = LoadRadioData();
                    // Every control shows the radio as read, whatever the operator moved.
                    RedrawAll();
                }
            }
        }
    } catch (const std::exception& e) {
        // Closed and released before the box: ticks keep coming while it is open.
        CloseRadioPort();
        state_.Updating = false;
        const std::string report = UnreadableReplyText(e);
        const bool again = state_.RefreshSerial != -1 &&
                           state_.LastUnreadable.Serial == state_.RefreshSerial &&
                           state_.LastUnreadable.Report == report;
        state_.LastUnreadable = {state_.RefreshSerial, report, state_.InFullRead};
        Draw();
        if (!again)
            ShowException(std::runtime_error(report));
        SayIfTransmitterMayBeOn();
        return;
    }
    CloseRadioPort();
    state_.Updating = false;
    Draw();
    if (!state_.OperationMessage.empty())
        ShowErrorBox(std::exchange(state_.OperationMessage, std::string()));
    SayIfTransmitterMayBeOn();
}

void TMainForm::SayIfTransmitterMayBeOn() {
    // While the TX test is on, the window itself shows the transmitter keyed.
    if (!TransmitterMayBeOn() || picture_.Transmitting) {
        state_.TransmitterDoubtSaid = false;
        return;
    }
    if (state_.TransmitterDoubtSaid)
        return;
    // Said before the box: ticks go on while it is open.
    state_.TransmitterDoubtSaid = true;
    ShowErrorBox("The radio did not confirm that its transmitter is off.\r\nSwitch the radio off.");
}

std::string TMainForm::UnreadableReplyText(const std::exception& e) const {
    if (state_.ReadingField == nullptr)
        return e.what();
    return "The radio's " + FieldName(state_.ReadingField) + " could not be read:\r\n" + e.what();
}

bool TMainForm::LoadRadioData() {
    // What a read writes corrects the radio: the TX test's time-out, the plan, the cut-out.
    RadioPicture& p = picture_;
    std::string reply;

    if (!PulseTransmitter())
        return false;
    // "O4" has ended any TX test: the radio is no longer keyed, and the time-out the operator
    // had goes back in place of the FF the test set.
    if (p.OperatorPTT >= 0) {
        auto recorder = Recorder("read correction", state_.RefreshSerial);
        const OperationResult r = TransmitterTestEnded(p.OperatorPTT, p.Identity(), recorder.get());
        SayHistoryWarning(*recorder);
        p.Take(r);
        if (!r.Done())
            return false;
        p.OperatorPTT = -1;
    }
    p.Transmitting = false;

    // Each field into the picture as it comes; a reply that is not a number ends the read with
    // a report naming it, and what was not read stays empty.
    auto read = [&](const char* command, int width) {
        state_.ReadingField = command;
        if (!ReadField(command, reply, 2, width))
            return false;
        HexToInt(reply);
        p.Set(command, UpperCase(reply));
        return true;
    };

    if (!read("PC", 2))
        return false;
    state_.ReadingField = nullptr;
    if (!QueryField("RH", reply, 2, 2))
        return false;
    p.Set("RH", reply);
    if (!read("PD", 2) || !read("PM", 2) || !read("PP", 2) || !read("PW", 2))
        return false;
    const std::string level = "PL" + std::to_string(*p.Number("PW") & 3);
    state_.ReadingField = level.c_str();
    if (!QueryFieldWithArgument("PL", level.substr(2), reply, 2, 2))
        return false;
    HexToInt(reply);
    p.Set(level, UpperCase(reply));
    if (!read("PF", 2) || !read("PR", 4) || !read("PT", 4))
        return false;
    GetFreqBands();
    // A limit or band code that did not arrive leaves the read unfinished, to be done again.
    if (!p.Field("PA"))
        return false;
    if (!read("SC", 2) || !read("PS", 2))
        return false;
    state_.ReadingField = nullptr;
    if (TemperatureCelsius(*p.Field("PS")) < state_.CutoutTempMinimum) {
        // A radio that would shut down within its working range is set to the top; stored in
        // flash at once only when nothing else is unsaved, since a save stores everything.
        RadioIdentity radio = p.Identity();
        auto recorder = Recorder("read correction", state_.RefreshSerial);
        const OperationResult r =
            CorrectCutout(state_.CutoutTempMinimum, p.Unsaved, radio, recorder.get());
        SayHistoryWarning(*recorder);
        p.Take(r);
        if (!r.Done())
            state_.OperationMessage = r.Message;
    }
    return true;
}

void TMainForm::RM7UX_UpdateStatus() {
    std::string reply;
    for (const char* code : {"RT", "RR"}) {
        state_.ReadingField = code;
        if (QueryField(code, reply, 2, 2) && !reply.empty()) {
            HexToInt(reply);
            picture_.Set(code, UpperCase(reply));
        }
    }
    state_.ReadingField = nullptr;
    if (QueryField("RC", reply, 2, 2))
        SetRadioAlarms(reply);
}

void TMainForm::SetRadioAlarms(const std::string& Reply) {
    // An unreadable reply is kept as it came: it is shown as one.
    picture_.Set("RC", Reply);
}

bool TMainForm::PollPowerWhileTransmitting() {
    if (!picture_.Transmitting) {
        state_.PowerPollCount = 0;
        return true;
    }
    if (state_.PowerPollCount < ProgramSettings.AdjustPowerIntervals - 1) {
        ++state_.PowerPollCount;
        return true;
    }
    std::string reply;
    const bool ok = ReadField("PW", reply, 2, 2);
    state_.PowerPollCount = 0;
    return ok;
}
