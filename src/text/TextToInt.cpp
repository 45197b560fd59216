#include "text/TextToInt.h"

#include <algorithm>
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

// The leading integer's sign and digits, after the white space before it.
struct LeadingInteger {
    bool negative = false;
    std::string_view digits;
};

LeadingInteger ReadLeadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsAtoiSpace(text[i])) {
        ++i;
    }
    LeadingInteger integer;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        integer.negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
    }
    integer.digits = text.substr(start, i - start);
    return integer;
}

}  // namespace

std::int32_t TextToInt(GbkView gbk) {
    const std::string text = FoldFullWidth(gbk.Bytes());
    const LeadingInteger integer = ReadLeadingInteger(text);
    // Unsigned arithmetic gives the two's-complement wrap-around without overflow.
    std::uint32_t value = 0;
    for (const char digit : integer.digits) {
        value = value * 10u + static_cast<std::uint32_t>(digit - '0');
    }
    if (integer.negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

bool TextToIntFits(GbkView gbk) {
    const std::string text = FoldFullWidth(gbk.Bytes());
    const LeadingInteger integer = ReadLeadingInteger(text);
    std::string_view digits = integer.digits;
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.size() > 10) {
        return false;
    }
    std::uint64_t value = 0;
    for (const char digit : digits) {
        value = value * 10u + static_cast<std::uint64_t>(digit - '0');
    }
    return value <= (integer.negative ? 2147483648u : 2147483647u);
}

}  // namespace varo
