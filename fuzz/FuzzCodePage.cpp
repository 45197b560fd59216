// The conversions on any bytes: never crash; the lenient ones always give
// well-formed UTF-8; a GBK text that converts strictly comes back unchanged.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/CodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The same bytes read as GBK and as UTF-8.
    const varo::GbkView asGbk(bytes);
    if (!varo::IsValidUtf8(varo::GbkToUtf8(asGbk)) ||
        !varo::IsValidUtf8(varo::ToValidUtf8(bytes))) {
        std::abort();
    }
    const varo::GbkText gbk = varo::Utf8ToGbk(bytes);
    if (!varo::IsValidUtf8(varo::GbkToUtf8(gbk))) {
        std::abort();
    }
    if (const auto utf8 = varo::StrictGbkToUtf8(asGbk)) {
        if (!varo::IsValidUtf8(*utf8) || varo::StrictUtf8ToGbk(*utf8) != varo::GbkText(asGbk)) {
            std::abort();
        }
    }
    if (const auto strict = varo::StrictUtf8ToGbk(bytes)) {
        if (varo::StrictGbkToUtf8(*strict) != std::string(bytes)) {
            std::abort();
        }
    }
    return 0;
}
