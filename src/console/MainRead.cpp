// Reading and showing the radio: the periodic refresh and the full read.

#include "console/Main.h"

// Filled by the reading issue.
void TMainForm::RM7UXLoadradioData() {}
bool TMainForm::LoadRadioData() {
    return false;
}
void TMainForm::RM7UX_UpdateStatus() {}
void TMainForm::SetRadioAlarms(const std::string&) {}
bool TMainForm::PollPowerWhileTransmitting() {
    return true;
}
