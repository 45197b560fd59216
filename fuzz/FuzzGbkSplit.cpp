// The GBK-aware split: the parts joined with the separator give the text
// back (plus a final separator when the text ended with one), and no part
// holds a separator that starts on a character boundary.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/GbkSearch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t separatorLength = 1 + data[0] % 3;
    if (size < 1 + separatorLength) {
        return 0;
    }
    const std::string_view separator(reinterpret_cast<const char*>(data) + 1, separatorLength);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1 + separatorLength,
                                size - 1 - separatorLength);
    const auto parts = varo::SplitGbk(varo::GbkView(text), varo::GbkView(separator));
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            joined += separator;
        }
        joined += parts[i].Bytes();
        if (varo::FindInGbk(parts[i], varo::GbkView(separator)) != std::string_view::npos &&
            separator.size() == 1 && static_cast<unsigned char>(separator[0]) < 0x40) {
            std::abort();  // an ASCII separator below the trail range is always found
        }
    }
    if (joined != text && joined + std::string(separator) != text) {
        std::abort();
    }
    return 0;
}
