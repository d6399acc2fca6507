#pragma once
// Just enough JSON to read back the records rm7ux writes: objects, arrays, strings, numbers (kept
// as their text, so "440.00000" is read by the same locale-free rules as the command line),
// true, false, null.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
