// The window's frequency operations: entry and validation of the TX and RX frequencies, the
// frequency step, the band limits and the country/band plans.

#include "console/Main.h"

// Filled by the frequency issue.
void TMainForm::RM7UXSetChannelSpacing() {}
void TMainForm::RM7UXDisplayRxFrequency() {}
void TMainForm::RM7UXDisplayTxFrequency() {}
void TMainForm::EnableFiveKHzStep() {}
double TMainForm::SetToNearestValidFrequency(QLineEdit*, bool& Changed) {
    Changed = false;
    return 0;
}
void TMainForm::TxFrequencyLoad(double& Frequency) {
    Frequency = 0;
}
void TMainForm::RXFrequencyLoad(double& Frequency) {
    Frequency = 0;
}
void TMainForm::SetTXFreq() {}
void TMainForm::SetRXFreq() {}
double TMainForm::FrequencyUserInit(QLineEdit*, QLabel*, double, double, bool& Changed) {
    Changed = false;
    return 0;
}
double TMainForm::TxFrequencyUserInit() {
    return 0;
}
double TMainForm::RxFrequencyUserInit() {
    return 0;
}
void TMainForm::TXFrequenciesWrite(double) {}
void TMainForm::RXFrequenciesWrite(double) {}
bool TMainForm::WriteValue(const std::string&, const std::string&) {
    return false;
}
void TMainForm::CopyCurrentFrequency(QLabel*, QLineEdit*) {}
void TMainForm::GetFreqBands() {}
void TMainForm::SetFrequencyBands() {}
void TMainForm::Edit_TXFreqKeyPress(QObject*, char&) {}
void TMainForm::Edit_RXFreqKeyPress(QObject*, char&) {}
void TMainForm::Edit_TXFreqExit() {}
void TMainForm::Edit_RXFreqExit() {}
void TMainForm::MenuItem_TxFreqCopyClick() {}
void TMainForm::MenuItem_RxFreqCopyClick() {}
void TMainForm::BitBtn_XxFreqCopyClick(QObject*) {}
void TMainForm::RadioGroup_FreqStepClick() {}
void TMainForm::RadioButton_FSxxxxClick(QObject*) {}
void TMainForm::RadioButton_FSxxxxKeyDown(QObject*, int) {}
void TMainForm::GroupBox_FrequencyStepClick() {}
void TMainForm::pm_SendClick() {}
void TMainForm::ComboBox_FreqBandChange() {}
