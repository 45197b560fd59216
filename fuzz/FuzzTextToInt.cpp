// TextToInt on any bytes: never crashes; on plain ASCII digits it agrees
// with a 64-bit reading wrapped to 32 bits.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/TextToInt.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::int32_t value = varo::TextToInt(varo::GbkView(text));
    if (!text.empty() && text.size() <= 18 &&
        text.find_first_not_of("0123456789") == std::string_view::npos) {
        std::uint64_t wide = 0;
        for (const char c : text) {
            wide = wide * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (value != static_cast<std::int32_t>(static_cast<std::uint32_t>(wide))) {
            std::abort();
        }
    }
    return 0;
}
