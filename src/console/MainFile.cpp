// Save to file and program from file: a radio's whole flash configuration to and from a
// configuration file that belongs to one circuit board.

#include "console/Main.h"

// Filled by the file issue.
void TMainForm::BitBtn_SaveConfigClick() {}
void TMainForm::BitBtn_WriteConfigClick() {}
bool TMainForm::ConnectionUnchanged(int64_t) {
    return true;
}
