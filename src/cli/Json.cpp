#include "cli/Json.h"

#include <cctype>
#include <cstdint>

namespace {

// Deep enough for any record; a hostile file cannot exhaust the stack.
constexpr int kMaxDepth = 32;

class Parser {
  public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::optional<JsonValue> Document(std::string& problem) {
        JsonValue v;
        if (Value(v, 0)) {
            Blanks();
            if (i_ == s_.size())
                return v;
            Fail("text after the end of the document");
        }
        problem = "line " + std::to_string(Line()) + ": " + why_;
        return std::nullopt;
    }

  private:
    bool Fail(std::string why) {
        if (why_.empty())
            why_ = std::move(why);
        return false;
    }
    size_t Line() const {
        size_t line = 1;
        for (size_t k = 0; k < i_ && k < s_.size(); ++k)
            line += s_[k] == '\n';
        return line;
    }
    void Blanks() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
            ++i_;
    }
    bool Literal(std::string_view word) {
        if (s_.substr(i_, word.size()) != word)
            return Fail("unexpected text");
        i_ += word.size();
        return true;
    }

    bool Value(JsonValue& v, int depth) {
        if (depth > kMaxDepth)
            return Fail("nested too deeply");
        Blanks();
        if (i_ >= s_.size())
            return Fail("unexpected end");
        const char c = s_[i_];
        if (c == '{')
            return Object(v, depth);
        if (c == '[')
            return Array(v, depth);
        if (c == '"') {
            v.Kind = JsonValue::Type::String;
            return String(v.Text);
        }
        if (c == 't' || c == 'f') {
            v.Kind = JsonValue::Type::Bool;
            v.Text = c == 't' ? "true" : "false";
            return Literal(v.Text);
        }
        if (c == 'n')
            return Literal("null");
        return Number(v);
    }

    bool Number(JsonValue& v) {
        const size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-')
            ++i_;
        const size_t digits = i_;
        while (i_ < s_.size() &&
               (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.' ||
                s_[i_] == 'e' || s_[i_] == 'E' || s_[i_] == '+' || s_[i_] == '-'))
            ++i_;
        if (i_ == digits || !std::isdigit(static_cast<unsigned char>(s_[digits])))
            return Fail("unexpected text");
        v.Kind = JsonValue::Type::Number;
        v.Text = std::string(s_.substr(start, i_ - start));
        return true;
    }

    bool Hex4(uint32_t& cp) {
        if (i_ + 4 > s_.size())
            return Fail("bad \\u escape");
        cp = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = s_[i_++];
            cp <<= 4;
            if (h >= '0' && h <= '9')
                cp |= static_cast<uint32_t>(h - '0');
            else if (h >= 'a' && h <= 'f')
                cp |= static_cast<uint32_t>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                cp |= static_cast<uint32_t>(h - 'A' + 10);
            else
                return Fail("bad \\u escape");
        }
        return true;
    }

    static void Utf8(std::string& out, uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool String(std::string& out) {
        ++i_;  // the opening quote
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return Fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size())
                break;
            const char e = s_[i_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    uint32_t cp = 0;
                    if (!Hex4(cp))
                        return false;
                    if (cp >= 0xD800 && cp < 0xDC00 && s_.substr(i_, 2) == "\\u") {
                        i_ += 2;
                        uint32_t low = 0;
                        if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF)
                            return Fail("bad surrogate pair");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    Utf8(out, cp);
                    break;
                }
                default:
                    return Fail("bad escape in a string");
            }
        }
        return Fail("unterminated string");
    }

    bool Array(JsonValue& v, int depth) {
        v.Kind = JsonValue::Type::Array;
        ++i_;
        Blanks();
        if (i_ < s_.size() && s_[i_] == ']') {
            ++i_;
            return true;
        }
        for (;;) {
            v.Items.emplace_back();
            if (!Value(v.Items.back(), depth + 1))
                return false;
            Blanks();
            if (i_ < s_.size() && s_[i_] == ',') {
                ++i_;
                continue;
            }
            if (i_ < s_.size() && s_[i_] == ']') {
                ++i_;
                return true;
            }
            return Fail("',' or ']' expected");
        }
    }

    bool Object(JsonValue& v, int depth) {
        v.Kind = JsonValue::Type::Object;
        ++i_;
        Blanks();
        if (i_ < s_.size() && s_[i_] == '}') {
            ++i_;
            return true;
        }
        for (;;) {
            Blanks();
            std::string name;
            if (i_ >= s_.size() || s_[i_] != '"' || !String(name))
                return Fail("a member name in quotes expected");
            Blanks();
            if (i_ >= s_.size() || s_[i_] != ':')
                return Fail("':' expected");
            ++i_;
            v.Members.push_back({std::move(name), JsonValue{}});
            if (!Value(v.Members.back().Value, depth + 1))
                return false;
            Blanks();
            if (i_ < s_.size() && s_[i_] == ',') {
                ++i_;
                continue;
            }
            if (i_ < s_.size() && s_[i_] == '}') {
                ++i_;
                return true;
            }
            return Fail("',' or '}' expected");
        }
    }

    std::string_view s_;
    size_t i_ = 0;
    std::string why_;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view name) const {
    for (const auto& [key, value] : Members) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

std::optional<JsonValue> ParseJson(std::string_view text, std::string& problem) {
    return Parser(text).Document(problem);
}
