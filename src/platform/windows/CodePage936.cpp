#include "platform/CodePage936.h"

#include <windows.h>

namespace varo {

std::uint16_t SystemCp936Decode(unsigned lead, unsigned trail) {
    const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t out[2] = {};
    const int length = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, in, 2, out, 2);
    return length == 1 ? static_cast<std::uint16_t>(out[0]) : 0;
}

std::uint16_t SystemCp936Encode(char16_t unit) {
    const wchar_t in[1] = {static_cast<wchar_t>(unit)};
    unsigned char out[4] = {};
    BOOL usedDefault = FALSE;
    const int length =
        WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, in, 1, reinterpret_cast<char*>(out),
                            sizeof out, nullptr, &usedDefault);
    if (usedDefault || length <= 0) {
        return 0;
    }
    if (length == 2) {
        return static_cast<std::uint16_t>((out[0] << 8) | out[1]);
    }
    return length == 1 && out[0] >= 0x80 ? out[0] : 0;
}

}  // namespace varo
