#pragma once

#include <cstddef>
#include <string_view>

#include <vector>
#include "text/GbkText.h"

namespace varo {

// Byte search in GBK text that steps over each double-byte character as a
// whole, so a match never starts on the trail byte of a character.
std::size_t FindInGbk(GbkView text, GbkView needle, std::size_t from = 0);
bool GbkContains(GbkView text, GbkView needle);

// Splits GBK text at every separator. Every stretch before, between and after
// separators is a part, empty ones too, except an empty part after the last
// separator; an empty text gives no parts.
std::vector<GbkView> SplitGbk(GbkView text, GbkView separator);

// The lines of a text file as editors leave them: a line ends at LF, and a
// CR right before the LF belongs to the line end; a lone CR stays in the
// line. LF and CR are never part of a GBK or UTF-8 character.
std::vector<std::string_view> SplitLines(std::string_view text);

// The same split for UTF-8 text (or any text whose separators are ASCII and
// never occur inside a character), stepping byte by byte.
std::vector<std::string_view> SplitUtf8(std::string_view text, std::string_view separator);

}  // namespace varo
