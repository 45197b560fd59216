// Prints code page 936 as this build converts it: every double-byte code with
// its UTF-16 unit, then every UTF-16 unit with its code. The Windows build's
// table (from the system) and the Linux one (from glibc and the private-use
// rule) must be the same, line for line.
//   varo-cp936-table > table.txt

#include <cstdio>

#include "platform/CodePage936.h"

int main() {
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F) {
                std::printf("%02X%02X %04X\n", lead, trail, varo::SystemCp936Decode(lead, trail));
            }
        }
    }
    for (unsigned unit = 0x80; unit <= 0xFFFF; ++unit) {
        if (unit < 0xD800 || unit > 0xDFFF) {
            std::printf("U+%04X %04X\n", unit,
                        varo::SystemCp936Encode(static_cast<char16_t>(unit)));
        }
    }
    return 0;
}
