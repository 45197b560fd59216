#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace varo {

// Byte search in GBK text that steps over each double-byte character as a
// whole, so a match never starts on the trail byte of a character.
std::size_t FindInGbk(std::string_view text, std::string_view needle, std::size_t from = 0);
bool GbkContains(std::string_view text, std::string_view needle);

// Splits GBK text at every separator. Every stretch before, between and after
// separators is a part, empty ones too, except an empty part after the last
// separator; an empty text gives no parts.
std::vector<std::string_view> SplitGbk(std::string_view text, std::string_view separator);

// The same split for UTF-8 text (or any text whose separators are ASCII and
// never occur inside a character), stepping byte by byte.
std::vector<std::string_view> SplitUtf8(std::string_view text, std::string_view separator);

}  // namespace varo
