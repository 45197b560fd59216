#include "text/Printable.h"

#include <cstdint>

namespace varo {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendByte(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

void AppendCodePoint(std::string& out, char32_t c) {
    out += "\\u{";
    bool leading = true;
    for (int shift = 20; shift >= 0; shift -= 4) {
        const unsigned digit = (c >> shift) & 0xF;
        if (leading && digit == 0 && shift > 4) {
            continue;
        }
        leading = false;
        out += kHex[digit];
    }
    out += '}';
}

// The length of the well-formed UTF-8 sequence at the start of `text` and its
// code point; 0 when the first byte starts none.
std::size_t DecodeOne(std::string_view text, char32_t& c) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) {
        c = first;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        c = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        c = first & 0x0F;
        low = first == 0xE0 ? 0xA0 : 0x80;   // no overlong form
        high = first == 0xED ? 0x9F : 0xBF;  // no surrogate
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        c = first & 0x07;
        low = first == 0xF0 ? 0x90 : 0x80;
        high = first == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
            return 0;
        }
        c = (c << 6) | (next & 0x3F);
    }
    return length;
}

template <typename Escape>
std::string Escaped(std::string_view text, Escape escape) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t c = 0;
        const std::size_t length = DecodeOne(text, c);
        if (length == 0) {
            AppendByte(out, static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
            continue;
        }
        if (!escape(out, c)) {
            out.append(text.data(), length);
        }
        text.remove_prefix(length);
    }
    return out;
}

}  // namespace

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
