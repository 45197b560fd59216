#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text/GbkText.h"

namespace varo {

// Lenient conversions with the results of Windows code page 936 through UTF-16:
// the text ends at its first zero byte, characters GBK lacks and invalid input
// become '?', 0x80 is the euro sign. Never fails; empty input gives empty text.
std::string GbkToUtf8(GbkView gbk);
GbkText Utf8ToGbk(std::string_view utf8);
// Utf8ToGbk appending to `out`, for bulk conversion without a string per call.
// False when a character became '?' (GBK lacks it, or the bytes are no UTF-8).
bool AppendUtf8AsGbk(GbkText& out, std::string_view utf8);

// Strict whole-text conversions with the same code page: the whole converted
// text (zero bytes included), or nothing when any byte cannot be converted.
std::optional<std::string> StrictGbkToUtf8(GbkView gbk);
std::optional<GbkText> StrictUtf8ToGbk(std::string_view utf8);

// Where a strict conversion stops: the first character (or ill-formed
// sequence) it cannot convert, as a byte offset and length in the input.
struct ConversionFailure {
    std::size_t offset = 0;
    std::size_t length = 0;
};
std::optional<ConversionFailure> FindGbkToUtf8Failure(GbkView gbk);
std::optional<ConversionFailure> FindUtf8ToGbkFailure(std::string_view utf8);

// The text with every ill-formed UTF-8 sequence replaced by U+FFFD.
std::string ToValidUtf8(std::string_view text);

// True when the text is well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view text);

// Decodes one UTF-8 character at `pos` and advances past it. An ill-formed
// sequence gives U+FFFD and advances past its maximal valid prefix (at least
// one byte).
char32_t NextUtf8(std::string_view text, std::size_t& pos);

// UTF-16 bytes (without a byte-order mark) as UTF-8; a lone surrogate or an
// odd last byte becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

}  // namespace varo
