#include "text/TextToInt.h"

#include <string>

namespace varo {
namespace {

// Folds GBK full-width forms to ASCII: A3A1..A3FE to 21..7E, the ideographic
// space to a space, A1AB to '~', A1EE and A1EF to '*'.
std::string FoldFullWidth(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80 || i + 1 >= text.size()) {
            folded.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        const unsigned char trail = static_cast<unsigned char>(text[i + 1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            folded.push_back(static_cast<char>(trail - 0x80));
        } else if (lead == 0xA1 && trail == 0xA1) {
            folded.push_back(' ');
        } else if (lead == 0xA1 && trail == 0xAB) {
            folded.push_back('~');
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            folded.push_back('*');
        } else {
            folded.push_back(static_cast<char>(lead));
            folded.push_back(static_cast<char>(trail));
        }
        i += 2;
    }
    return folded;
}

bool IsAtoiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::int32_t TextToInt(std::string_view gbk) {
    const std::string text = FoldFullWidth(gbk);
    std::size_t i = 0;
    while (i < text.size() && IsAtoiSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned arithmetic gives the two's-complement wrap-around without overflow.
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace varo
