#pragma once

namespace varo {

// The interface font: a CJK font whose Chinese characters are 12 pixels wide
// and its Latin ones 6, the metrics the window's fixed layout is made for.
void ApplyInterfaceFont();

}  // namespace varo
