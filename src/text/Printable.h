#pragma once

#include <string>
#include <string_view>

namespace varo {

// Text taken from files, databases and file names, made safe to print on a
// terminal: bytes below 0x20 and 0x7F, and bytes that are no part of valid
// UTF-8, are written as \xHH; the C1 controls (U+0080–U+009F, among them the
// one-character CSI U+009B) and the bidirectional overrides and isolates
// (U+202A–U+202E, U+2066–U+2069) as \u{HHHH}. A name or a version can then
// neither move the cursor, change colours, clear the screen nor reorder what
// a line shows.
std::string EscapeControlBytes(std::string_view text);

// Only the bytes that are no part of valid UTF-8, as \xHH: a name the file
// system holds in another encoding, shown with its own bytes.
std::string EscapeInvalidUtf8(std::string_view text);

// Two hexadecimal digits of `byte`, upper case unless `lower`.
void AppendHexByte(std::string& out, unsigned char byte, bool lower = false);

// A character as the escapes write it: "\u{9B}", "\u{202E}", "\u{1F600}".
std::string CodePointEscape(char32_t c);

// True for the characters EscapeControlBytes writes as \u{…}: C1 controls and
// bidirectional overrides and isolates.
bool IsHiddenControl(char32_t c);

}  // namespace varo
