#include "cli/Json.h"

#include <charconv>
#include <cmath>
#include <unordered_set>

#include "cli/TerminalText.h"

namespace {

// Deep enough for any record; a hostile file cannot make the value's own recursion (its
// destructor) exhaust the stack.
constexpr size_t kMaxDepth = 32;

// Builds a JsonValue from the library's events.
class Reader : public nlohmann::json_sax<nlohmann::json> {
  public:
    bool null() override { return Put({}); }
    bool boolean(bool value) override {
        JsonValue v;
        v.Kind = JsonValue::Type::Bool;
        v.Text = value ? "true" : "false";
        return Put(std::move(v));
    }
    // An integer's text is its value written out again: JSON allows no other form of it.
    bool number_integer(number_integer_t value) override { return Number(std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Number(std::to_string(value)); }
    bool number_float(number_float_t, const string_t& text) override { return Number(text); }
    bool string(string_t& text) override {
        JsonValue v;
        v.Kind = JsonValue::Type::String;
        v.Text = std::move(text);
        return Put(std::move(v));
    }
    bool binary(binary_t&) override { return Fail("binary data"); }
    bool start_object(std::size_t) override { return Open(JsonValue::Type::Object); }
    bool key(string_t& name) override {
        Level& level = open_.back();
        if (!level.Names.insert(name).second)
            return Fail("the member \"" + TerminalSafe(name) + "\"" + Where() + " is given twice");
        level.Value.Members.push_back({std::move(name), JsonValue{}});
        return true;
    }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(JsonValue::Type::Array); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& e) override {
        // "[json.exception.parse_error.101] parse error at line 1, column 5: syntax error ..."
        std::string text = e.what();
        for (std::string_view prefix : {"] ", "parse error at ", "parse error: "}) {
            if (const size_t at = text.find(prefix); at != std::string::npos && at < 40)
                text.erase(0, at + prefix.size());
        }
        return Fail(TerminalSafe(text));
    }

    std::optional<JsonValue> Document() { return std::move(document_); }
    const std::string& Problem() const { return problem_; }

  private:
    struct Level {
        JsonValue Value;
        std::unordered_set<std::string> Names;
    };

    bool Fail(std::string why) {
        if (problem_.empty())
            problem_ = std::move(why);
        return false;
    }
    // " in \"settings\".\"tx-frequency\"": the place of the object being read.
    std::string Where() const {
        std::string path;
        for (size_t i = 0; i + 1 < open_.size(); ++i) {
            const JsonValue& v = open_[i].Value;
            if (v.Kind == JsonValue::Type::Object && !v.Members.empty())
                path +=
                    (path.empty() ? "" : ".") + ("\"" + TerminalSafe(v.Members.back().Name) + "\"");
        }
        return path.empty() ? "" : " in " + path;
    }
    bool Number(const std::string& text) {
        JsonValue v;
        v.Kind = JsonValue::Type::Number;
        v.Text = text;
        return Put(std::move(v));
    }
    bool Put(JsonValue v) {
        if (open_.empty()) {
            document_ = std::move(v);
            return true;
        }
        JsonValue& into = open_.back().Value;
        if (into.Kind == JsonValue::Type::Array)
            into.Items.push_back(std::move(v));
        else
            into.Members.back().Value = std::move(v);
        return true;
    }
    bool Open(JsonValue::Type type) {
        if (open_.size() >= kMaxDepth)
            return Fail("nested too deeply");
        open_.emplace_back();
        open_.back().Value.Kind = type;
        return true;
    }
    bool Close() {
        JsonValue v = std::move(open_.back().Value);
        open_.pop_back();
        return Put(std::move(v));
    }

    std::vector<Level> open_;
    std::optional<JsonValue> document_;
    std::string problem_;
};

// The library's text with our escapes: \n, \t and the like as \u00NN too, and DEL and the C1
// controls (which the library passes raw) escaped as well.
std::string EscapeControls(const std::string& text) {
    static constexpr char kHex[] = "0123456789abcdef";
    auto escape = [](std::string& out, unsigned char c) {
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == '\\') {
            // Each escape is taken whole, so the second of "\\\\" never starts one.
            const std::string_view shortForms = "b\bf\fn\nr\rt\t";
            const size_t at = shortForms.find(static_cast<char>(next));
            if (at != std::string_view::npos && at % 2 == 0)
                escape(out, static_cast<unsigned char>(shortForms[at + 1]));
            else
                out.append(text, i, 2);
            ++i;
        } else if (c == 0x7F) {
            escape(out, c);
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            escape(out, next);
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

const JsonValue* JsonValue::Find(std::string_view name) const {
    for (const auto& [key, value] : Members) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

std::optional<JsonValue> ParseJson(std::string_view text, std::string& problem) {
    Reader reader;
    if (nlohmann::json::sax_parse(text, &reader)) {
        if (std::optional<JsonValue> doc = reader.Document())
            return doc;
    }
    problem = reader.Problem().empty() ? "not a JSON document" : reader.Problem();
    return std::nullopt;
}

std::string JsonDecimal(std::string_view number) {
    const size_t e = number.find_first_of("eE");
    if (e == std::string_view::npos)
        return std::string(number);
    int exponent = 0;
    std::string_view expText = number.substr(e + 1);
    if (!expText.empty() && expText[0] == '+')
        expText.remove_prefix(1);
    const auto [end, ec] =
        std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    // Beyond any value a setting takes: left for the setting to refuse.
    if (ec != std::errc() || end != expText.data() + expText.size() || exponent > 400 ||
        exponent < -400)
        return std::string(number);
    std::string_view mantissa = number.substr(0, e);
    const bool negative = !mantissa.empty() && mantissa[0] == '-';
    if (negative)
        mantissa.remove_prefix(1);
    const size_t dot = mantissa.find('.');
    std::string digits(mantissa.substr(0, dot));
    long point = static_cast<long>(digits.size()) + exponent;
    if (dot != std::string_view::npos)
        digits += mantissa.substr(dot + 1);
    std::string out;
    if (point <= 0) {
        out = "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    } else if (static_cast<size_t>(point) >= digits.size()) {
        out = digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    } else {
        out = digits.substr(0, static_cast<size_t>(point)) + "." +
              digits.substr(static_cast<size_t>(point));
    }
    const size_t firstDigit = out.find_first_not_of('0');
    if (firstDigit == std::string::npos)
        out = "0";
    else if (firstDigit > 0)
        out.erase(0, out[firstDigit] == '.' ? firstDigit - 1 : firstDigit);
    return (negative ? "-" : "") + out;
}

Json JsonString(std::string_view bytes) {
    return JsonText(bytes);
}

Json JsonNumber(std::string_view decimal) {
    const char* first = decimal.data();
    const char* last = first + decimal.size();
    if (decimal.find_first_of(".eE") == std::string_view::npos) {
        int64_t whole = 0;
        if (auto [end, ec] = std::from_chars(first, last, whole); ec == std::errc() && end == last)
            return whole;
    }
    double value = 0;
    if (auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
        ec == std::errc() && end == last && std::isfinite(value))
        return value;
    return JsonString(decimal);
}

std::string JsonDump(const Json& value, int indent, int depth) {
    // Text that is not UTF-8 was made so by JsonText; should any slip through, the library
    // replaces it rather than throw.
    std::string text = value.dump(indent, ' ', false, Json::error_handler_t::replace);
    if (depth > 0) {
        const std::string margin(static_cast<size_t>(indent * depth), ' ');
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
            text.insert(at + 1, margin);
    }
    return EscapeControls(text);
}
