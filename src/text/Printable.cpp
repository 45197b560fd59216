#include "text/Printable.h"

#include <cstdint>

#include "text/CodePage.h"

namespace varo {
namespace {

void AppendByte(std::string& out, unsigned char byte) {
    out += "\\x";
    AppendHexByte(out, byte);
}

void AppendCodePoint(std::string& out, char32_t c) {
    out += CodePointEscape(c);
}

template <typename Escape>
std::string Escaped(std::string_view text, Escape escape) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        const char32_t c = NextUtf8(text, at);
        const std::string_view sequence = text.substr(start, at - start);
        if (c == 0xFFFD && sequence != "\xEF\xBF\xBD") {
            // No UTF-8: each byte by its value.
            for (const char byte : sequence) {
                AppendByte(out, static_cast<unsigned char>(byte));
            }
        } else if (!escape(out, c)) {
            out += sequence;
        }
    }
    return out;
}

}  // namespace

void AppendHexByte(std::string& out, unsigned char byte, bool lower) {
    const char* const digits = lower ? "0123456789abcdef" : "0123456789ABCDEF";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

std::string CodePointEscape(char32_t c) {
    std::string out = "\\u{";
    bool leading = true;
    for (int shift = 20; shift >= 0; shift -= 4) {
        const unsigned digit = (c >> shift) & 0xF;
        if (leading && digit == 0 && shift > 4) {
            continue;  // at least two digits
        }
        leading = false;
        out += "0123456789ABCDEF"[digit];
    }
    return out + '}';
}

bool IsHiddenControl(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string EscapeControlBytes(std::string_view text) {
    return Escaped(text, [](std::string& out, char32_t c) {
        if (c < 0x20 || c == 0x7F) {
            AppendByte(out, static_cast<unsigned char>(c));
            return true;
        }
        if (IsHiddenControl(c)) {
            AppendCodePoint(out, c);
            return true;
        }
        return false;
    });
}

std::string EscapeInvalidUtf8(std::string_view text) {
    return Escaped(text, [](std::string&, char32_t) { return false; });
}

}  // namespace varo
