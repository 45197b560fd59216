#pragma once

#include <string>
#include <string_view>

// ASCII rules on bytes, the same in every locale: a byte of a multi-byte
// character (UTF-8 or GBK lead bytes) is never a letter here.
namespace varo {

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = AsciiLower(c);
    }
    return lower;
}

// True when `text` ends with `suffix`, ASCII letters compared without case.
inline bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    const std::string_view end = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (AsciiLower(end[i]) != AsciiLower(suffix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace varo
