#include "platform/CodePage936.h"

#include <iconv.h>

#include <cstddef>
#include <mutex>
#include <vector>

namespace varo {
namespace {

// Converts one character with glibc's iconv; the number of bytes written, 0
// on failure.
std::size_t Convert(const char* to, const char* from, const char* in, std::size_t inSize,
                    unsigned char* out, std::size_t outSize) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return 0;
    }
    char* inPtr = const_cast<char*>(in);
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = inSize;
    std::size_t outLeft = outSize;
    const std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    return result == 0 && inLeft == 0 ? outSize - outLeft : 0;
}

// The unit glibc's CP936 gives a lead and trail byte, 0 when it has none.
std::uint16_t GlibcDecode(unsigned lead, unsigned trail) {
    const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    unsigned char out[4] = {};
    return Convert("UTF-16LE", "CP936", in, 2, out, sizeof out) == 2
               ? static_cast<std::uint16_t>(out[0] | (out[1] << 8))
               : 0;
}

constexpr char16_t kPrivateUseFirst = 0xE000;
constexpr char16_t kPrivateUseLast = 0xE864;

// Windows' code page 936 gives private-use characters to the codes that
// glibc's CP936 leaves unmapped, in the order GB18030 uses: the user-defined
// areas AAA1-AFFE, F8A1-FEFE and A140-A7A0 from U+E000, then the unassigned
// codes of the symbol rows A1-A9 in code order from U+E766 (so A2E3 is
// U+E76C, not the euro sign), then D7FA-D7FE and FE50-FEA0 from U+E810.
// Built once, on the first code glibc cannot convert.
class PrivateUseArea {
  public:
    PrivateUseArea() : unitOfCode_(0x10000), codeOfUnit_(kPrivateUseLast - kPrivateUseFirst + 1) {
        char16_t unit = kPrivateUseFirst;
        const auto area = [&](unsigned leadFirst, unsigned leadLast, unsigned trailFirst,
                              unsigned trailLast, auto&& wanted) {
            for (unsigned lead = leadFirst; lead <= leadLast; ++lead) {
                for (unsigned trail = trailFirst; trail <= trailLast; ++trail) {
                    if (trail != 0x7F && wanted(lead, trail)) {
                        const auto code = static_cast<std::uint16_t>(lead << 8 | trail);
                        unitOfCode_[code] = unit;
                        codeOfUnit_[unit - kPrivateUseFirst] = code;
                        ++unit;
                    }
                }
            }
        };
        const auto every = [](unsigned, unsigned) { return true; };
        area(0xAA, 0xAF, 0xA1, 0xFE, every);
        area(0xF8, 0xFE, 0xA1, 0xFE, every);
        area(0xA1, 0xA7, 0x40, 0xA0, every);
        area(0xA1, 0xA9, 0x40, 0xFE, [](unsigned lead, unsigned trail) {
            const bool userDefined = lead <= 0xA7 && trail <= 0xA0;
            return !userDefined && GlibcDecode(lead, trail) == 0;
        });
        area(0xD7, 0xD7, 0xFA, 0xFE, every);  // U+E810..E814
        area(0xFE, 0xFE, 0x50, 0xA0, every);
    }

    std::uint16_t Decode(unsigned lead, unsigned trail) const {
        return unitOfCode_[lead << 8 | trail];
    }
    std::uint16_t Encode(char16_t unit) const {
        return unit >= kPrivateUseFirst && unit <= kPrivateUseLast
                   ? codeOfUnit_[unit - kPrivateUseFirst]
                   : 0;
    }

  private:
    std::vector<std::uint16_t> unitOfCode_;
    std::vector<std::uint16_t> codeOfUnit_;
};

const PrivateUseArea& PrivateUse() {
    static const PrivateUseArea area;
    return area;
}

}  // namespace

std::uint16_t SystemCp936Decode(unsigned lead, unsigned trail) {
    const std::uint16_t unit = GlibcDecode(lead, trail);
    return unit != 0 ? unit : PrivateUse().Decode(lead, trail);
}

std::uint16_t SystemCp936Encode(char16_t unit) {
    const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    unsigned char out[4] = {};
    const std::size_t length = Convert("CP936", "UTF-16LE", in, 2, out, sizeof out);
    if (length == 2) {
        return static_cast<std::uint16_t>((out[0] << 8) | out[1]);
    }
    if (length == 1 && out[0] >= 0x80) {
        return out[0];
    }
    if (unit == 0xF8F5) {
        return 0xFF;  // Windows gives the private-use U+F8F5 the single byte 0xFF
    }
    return PrivateUse().Encode(unit);
}

}  // namespace varo
