#pragma once

#include <cstdint>

namespace varo {

// One character of Windows code page 936 as the operating system converts it,
// the private-use characters of its user-defined areas included.
// The UTF-16 unit of a lead byte (0x81-0xFE) and a trail byte (0x40-0xFE
// but 0x7F), or 0 when the code page has none.
std::uint16_t SystemCp936Decode(unsigned lead, unsigned trail);
// The one- or two-byte code (lead byte high) of a UTF-16 unit, or 0 when
// the code page has none.
std::uint16_t SystemCp936Encode(char16_t unit);

}  // namespace varo
