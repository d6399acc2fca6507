#include "cli/TerminalText.h"

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when the byte there starts none (or starts
// a C1 control, unless c1 allows them).
size_t Utf8Length(std::string_view text, size_t i, bool c1 = false) {
    const auto b = static_cast<unsigned char>(text[i]);
    size_t n = 0;
    uint32_t cp = 0;
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    // C1 controls act as escape sequences on some terminals.
    if (cp >= 0x80 && cp < 0xA0 && !c1)
        return 0;
    return n;
}

constexpr char kHex[] = "0123456789abcdef";

std::string Hex2(unsigned char b) {
    return {kHex[b >> 4], kHex[b & 15]};
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t n = Utf8Length(text, i);
        if (n == 0 || b < 0x20 || b == 0x7F) {
            out += "\\x" + Hex2(b);
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

size_t TerminalColumns(std::string_view text) {
    size_t columns = 0;
    for (char c : text)
        columns += (c & 0xC0) != 0x80;
    return columns;
}

std::string TerminalSafeLines(std::string_view text) {
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out += TerminalSafe(line);
        if (end == std::string_view::npos)
            break;
        out += '\n';
        start = end + 1;
    }
    return out;
}

std::string JsonText(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (const size_t n = Utf8Length(text, i, true); n > 0) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            const auto b = static_cast<unsigned char>(text[i++]);
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}
