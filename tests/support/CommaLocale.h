#pragma once
// The formats of a locale that writes decimals with a comma (de_DE, fr_FR, ...), for the cases
// where the locale decides how a number reads.

#include "common/FormatSettings.h"

inline FormatSettings CommaFormat() {
    FormatSettings fs;
    fs.DecimalSeparator = ',';
    return fs;
}
