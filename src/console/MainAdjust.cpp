// Live adjustments: the transmitter switch, power level, calibration, PTT time-out, cut-out
// temperature, CTCSS, the save to flash and the balloon hints that go with them.

#include "console/Main.h"

// Filled by the adjustments issue.
void TMainForm::PowerButton_TxOnClick(TPowerButton*) {}
void TMainForm::PowerButton_TxOnBeforeClick(TPowerButton*, bool&) {}
void TMainForm::PowerButton_TxOnEnter(TPowerButton*) {}
void TMainForm::ComboBox_RFLevelChange() {}
void TMainForm::ScrollBar_RfPwmChange() {}
void TMainForm::ScrollBar_DeviationChange() {}
void TMainForm::ScrollBar_ModBalanceChange() {}
void TMainForm::ScrollBar_RfOffsetChange() {}
void TMainForm::ScrollBar_DeviationEnter() {}
void TMainForm::ScrollBar_ModBalanceEnter() {}
void TMainForm::ScrollBar_RfOffsetEnter() {}
void TMainForm::Edit_PTTTimeoutKeyPress(QObject*, char&) {}
void TMainForm::Edit_PTTTimeoutExit() {}
void TMainForm::Edit_CutoutTempKeyPress(QObject*, char&) {}
void TMainForm::Edit_CutoutTempExit() {}
void TMainForm::SpinEdit_CTCSSChange() {}
void TMainForm::Button_WriteRadioSettingsClick() {}
void TMainForm::SetPTT() {}
void TMainForm::SetCutOutTemp() {}
void TMainForm::SetValidPTTTimeOut() {}
void TMainForm::SetValidTemp() {}
void TMainForm::ShowModemHint() {}
void TMainForm::HintBeforeTransmit(QWidget*) {}
void TMainForm::HintIfModem() {}
