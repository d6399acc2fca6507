#pragma once
// Text from the radio or a file on its way to a terminal or a JSON document: a version text can
// carry escape sequences that retitle or clear a terminal, and bytes that are not UTF-8.

#include <string>
#include <string_view>

// Control characters (C0, DEL, C1) and bytes that are not UTF-8 written as \xNN; valid UTF-8
// (such as "°C") passes.
std::string TerminalSafe(std::string_view text);
// Columns the text takes on a terminal: "°C" is three bytes but two columns.
size_t TerminalColumns(std::string_view text);
// The same for text of several lines: CR LF and LF end lines (a terminal wants LF), everything
// else is escaped.
std::string TerminalSafeLines(std::string_view text);
// The contents of a JSON string (Json.h): valid UTF-8, C1 characters included, is kept; a byte
// that is not UTF-8 becomes the character of the same number (0xFF is U+00FF), so every byte can
// still be told. The controls are the writer's to escape.
std::string JsonText(std::string_view text);
