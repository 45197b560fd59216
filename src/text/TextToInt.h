#pragma once

#include <cstdint>
#include <string_view>

namespace varo {

// The leading decimal integer of a GBK text, as C's atoi reads it after
// full-width forms are folded to ASCII; 0 when there is none. Digits beyond the
// 32-bit range wrap around.
std::int32_t TextToInt(std::string_view gbk);

}  // namespace varo
