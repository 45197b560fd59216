#pragma once

#include <cstdint>
#include <string_view>

#include "text/GbkText.h"

namespace varo {

// The leading decimal integer of a GBK text, as C's atoi reads it after
// full-width forms are folded to ASCII; 0 when there is none. Digits beyond the
// 32-bit range wrap around.
std::int32_t TextToInt(GbkView gbk);

// False when the leading integer TextToInt reads lies outside
// -2,147,483,648 … 2,147,483,647, so that TextToInt gives a wrapped value.
bool TextToIntFits(GbkView gbk);

}  // namespace varo
