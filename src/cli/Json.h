#pragma once
// JSON through nlohmann/json. Documents are written with the library, with two rules of ours on
// top: text that is not UTF-8 keeps every byte (as the character of the same number), and every
// control character is written as one \u00NN, so no document carries one raw to a terminal.
// Records are read back through the library's SAX interface into JsonValue, so that a member
// named twice is an error (a reader that took either one would be guessing) and numbers keep
// their text ("440.00000" is read by the same locale-free rules as the command line).

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Members in the order they were added: documents read top to bottom as the tables do.
using Json = nlohmann::ordered_json;

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object } Kind = Type::Null;
    std::string Text;  // a string's contents, a number's text, "true"/"false"
    std::vector<JsonValue> Items;
    // Not std::pair: a pair of the incomplete JsonValue fails clang 14 with libstdc++ 12.
    struct Member;
    std::vector<Member> Members;

    // The member of an object by name; nullptr when absent or not an object.
    const JsonValue* Find(std::string_view name) const;
    bool IsNull() const { return Kind == Type::Null; }
};

struct JsonValue::Member {
    std::string Name;
    JsonValue Value;
};

// Parses one document; nullopt with the place and the reason in `problem`.
std::optional<JsonValue> ParseJson(std::string_view text, std::string& problem);

// A JSON number's text as a plain decimal, which the command line's number rules read:
// "6e1" is "60", "-2.5E-1" is "-0.25"; a number without an exponent is returned as it is.
std::string JsonDecimal(std::string_view number);

// A string member from bytes of the radio or a file (TerminalText.h's JsonText).
Json JsonString(std::string_view bytes);
// A number member from its decimal text ("441.25000", "-40"); a string when it is no number.
Json JsonNumber(std::string_view decimal);

// The text of `value`: `indent` spaces a level, and `depth` levels more on every line after the
// first, for a part of a document written piece by piece. Never throws.
std::string JsonDump(const Json& value, int indent = 2, int depth = 0);
