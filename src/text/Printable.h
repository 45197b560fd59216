#pragma once

#include <string>
#include <string_view>

namespace varo {

// Text taken from files and databases, made safe to print on a terminal:
// every byte below 0x20 and the byte 0x7F written as \xHH, so that a name or
// a version cannot move the cursor, change colours or clear the screen.
std::string EscapeControlBytes(std::string_view text);

}  // namespace varo
