#pragma once

#include <cstdint>

namespace varo {

// Where the last double-click on the light-pillar list landed: the pointer
// position, the hit flags, the row and the column. One per process.
struct ListHitTestRecord {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t flags = 0;
    std::int32_t item = 0;
    std::int32_t subItem = 0;
};

}  // namespace varo
