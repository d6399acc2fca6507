#pragma once
// Text from the radio or a file on its way to a terminal or a JSON document: a version text can
// carry escape sequences that retitle or clear a terminal, and bytes that are not UTF-8.

#include <string>
#include <string_view>

// Control characters (C0, DEL, C1) and bytes that are not UTF-8 written as \xNN; valid UTF-8
// (such as "°C") passes.
std::string TerminalSafe(std::string_view text);
// The same for text of several lines: CR LF and LF end lines (a terminal wants LF), everything
// else is escaped.
std::string TerminalSafeLines(std::string_view text);
// A JSON string literal, quotes included: always valid UTF-8, invalid bytes as \u00NN.
std::string JsonString(std::string_view text);
