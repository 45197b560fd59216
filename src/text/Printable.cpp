#include "text/Printable.h"

namespace varo {

std::string EscapeControlBytes(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string printable;
    printable.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            printable += "\\x";
            printable += kHex[byte >> 4];
            printable += kHex[byte & 0x0F];
        } else {
            printable += c;
        }
    }
    return printable;
}

}  // namespace varo
