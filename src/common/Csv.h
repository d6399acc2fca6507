#pragma once
// Comma-separated values as a spreadsheet reads them (RFC 4180, CR LF after every line), and
// safe to open there: a cell that starts as a formula does (=, +, -, @, a tab or a carriage
// return) is written with a "'" in front, so it is shown as the text it is and never run. A
// whole number such as -40 is left as it is: a spreadsheet takes it as a number.

#include <string>
#include <string_view>
#include <vector>

std::string CsvCell(std::string_view text);
// The cells joined by commas, with CR LF at the end.
std::string CsvLine(const std::vector<std::string_view>& cells);
