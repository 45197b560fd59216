#include "text/CodePage.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace varo {
namespace {

constexpr unsigned kLeadFirst = 0x81;
constexpr unsigned kLeadLast = 0xFE;
constexpr unsigned kTrailFirst = 0x40;
constexpr unsigned kTrailLast = 0xFE;
constexpr unsigned kTrailCount = kTrailLast - kTrailFirst + 1;
constexpr char32_t kEuroSign = 0x20AC;
constexpr char32_t kReplacement = 0xFFFD;

// Code page 936 as lookup tables filled on demand from the C library's CP936
// converter: each character is looked up once, so a run pays only for the
// characters it meets. Entries are atomic: any thread may fill one.
constexpr std::uint16_t kUnknown = 0xFFFF;  // not looked up yet; 0 means unmapped

class Cp936Tables {
  public:
    Cp936Tables() : decode_((kLeadLast - kLeadFirst + 1) * kTrailCount), encode_(0x10000) {
        for (auto& entry : decode_) {
            entry.store(kUnknown, std::memory_order_relaxed);
        }
        for (auto& entry : encode_) {
            entry.store(kUnknown, std::memory_order_relaxed);
        }
        // Code page 936 gives the single byte 0x80 to the euro sign.
        encode_[kEuroSign].store(0x80, std::memory_order_relaxed);
    }

    // The UTF-16 unit of a valid lead and trail byte, or 0 when unmapped.
    char16_t Decode(unsigned lead, unsigned trail) {
        std::atomic<std::uint16_t>& entry =
            decode_[(lead - kLeadFirst) * kTrailCount + (trail - kTrailFirst)];
        std::uint16_t unit = entry.load(std::memory_order_relaxed);
        if (unit == kUnknown) {
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            unsigned char out[4] = {};
            unit = Convert("UTF-16LE", "CP936", in, 2, out, sizeof out) == 2
                       ? static_cast<std::uint16_t>(out[0] | (out[1] << 8))
                       : 0;
            entry.store(unit, std::memory_order_relaxed);
        }
        return static_cast<char16_t>(unit);
    }

    // The one- or two-byte code of a UTF-16 unit, or 0 when GBK lacks it.
    std::uint16_t Encode(char16_t unit) {
        std::atomic<std::uint16_t>& entry = encode_[unit];
        std::uint16_t code = entry.load(std::memory_order_relaxed);
        if (code == kUnknown) {
            const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
            unsigned char out[4] = {};
            const std::size_t length = Convert("CP936", "UTF-16LE", in, 2, out, sizeof out);
            code = length == 2 ? static_cast<std::uint16_t>((out[0] << 8) | out[1])
                   : length == 1 && out[0] >= 0x80 ? out[0]
                                                   : 0;
            entry.store(code, std::memory_order_relaxed);
        }
        return code;
    }

  private:
    // Converts one character; the number of bytes written, 0 on failure.
    static std::size_t Convert(const char* to, const char* from, const char* in, std::size_t inSize,
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

    std::vector<std::atomic<std::uint16_t>> decode_;
    std::vector<std::atomic<std::uint16_t>> encode_;
};

Cp936Tables& Tables() {
    static Cp936Tables tables;
    return tables;
}

std::string_view UpToFirstZero(std::string_view text) {
    const std::size_t zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes one UTF-8 character at `pos` and advances past it. An ill-formed
// sequence gives U+FFFD and advances past its maximal valid prefix (at least one byte).
char32_t NextUtf8(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(pos);
    if (first < 0x80) {
        ++pos;
        return first;
    }
    std::size_t length = 0;
    char32_t value = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        value = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        value = first & 0x0F;
        if (first == 0xE0) {
            low = 0xA0;
        } else if (first == 0xED) {
            high = 0x9F;  // no surrogates
        }
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        value = first & 0x07;
        if (first == 0xF0) {
            low = 0x90;
        } else if (first == 0xF4) {
            high = 0x8F;
        }
    } else {
        ++pos;
        return kReplacement;
    }
    ++pos;
    for (std::size_t i = 1; i < length; ++i) {
        if (pos >= text.size()) {
            return kReplacement;
        }
        const unsigned char next = byte(pos);
        if (next < low || next > high) {
            return kReplacement;
        }
        low = 0x80;
        high = 0xBF;
        value = (value << 6) | (next & 0x3F);
        ++pos;
    }
    return value;
}

std::optional<std::string> ConvertStrictly(std::string_view text, const char* to,
                                           const char* from) {
    if (text.empty()) {
        return std::string();
    }
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(text.size() * 2 + 16, '\0');
    char* inPtr = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    std::size_t written = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        const std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            // glibc counts characters it replaced in the result; a strict conversion has none.
            ok = result == 0;
            break;
        }
        if (errno != E2BIG) {
            ok = false;  // EILSEQ or a sequence cut off at the end
            break;
        }
        out.resize(out.size() * 2);
    }
    iconv_close(converter);
    if (!ok) {
        return std::nullopt;
    }
    out.resize(written);
    return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    gbk = UpToFirstZero(gbk);
    if (IsAscii(gbk)) {
        return std::string(gbk);
    }
    Cp936Tables& tables = Tables();
    std::string out;
    out.reserve(gbk.size() * 3 / 2 + 4);
    for (std::size_t i = 0; i < gbk.size();) {
        const unsigned char lead = static_cast<unsigned char>(gbk[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
        } else if (lead == 0x80) {
            AppendUtf8(out, kEuroSign);
            ++i;
        } else if (lead <= kLeadLast && i + 1 < gbk.size() &&
                   static_cast<unsigned char>(gbk[i + 1]) >= kTrailFirst &&
                   static_cast<unsigned char>(gbk[i + 1]) != 0x7F &&
                   static_cast<unsigned char>(gbk[i + 1]) <= kTrailLast) {
            const char16_t unit = tables.Decode(lead, static_cast<unsigned char>(gbk[i + 1]));
            if (unit != 0) {
                AppendUtf8(out, unit);
            } else {
                out.push_back('?');
            }
            i += 2;
        } else {
            // A lead byte without a trail byte, or 0xFF: one unknown character.
            out.push_back('?');
            ++i;
        }
    }
    return out;
}

GbkText Utf8ToGbk(std::string_view utf8) {
    GbkText out;
    AppendUtf8AsGbk(out, utf8);
    return out;
}

void AppendUtf8AsGbk(GbkText& out, std::string_view utf8) {
    utf8 = UpToFirstZero(utf8);
    if (IsAscii(utf8)) {
        out.append(utf8);
        return;
    }
    Cp936Tables& tables = Tables();
    // GBK is never longer than UTF-8: convert in place at the end of `out`.
    const std::size_t start = out.size();
    out.resize(start + utf8.size());
    char* write = out.data() + start;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextUtf8(utf8, i);
        if (c < 0x80) {
            *write++ = static_cast<char>(c);
            continue;
        }
        const std::uint16_t code = c < 0x10000 ? tables.Encode(static_cast<char16_t>(c)) : 0;
        if (code == 0) {
            *write++ = '?';
        } else if (code < 0x100) {
            *write++ = static_cast<char>(code);
        } else {
            *write++ = static_cast<char>(code >> 8);
            *write++ = static_cast<char>(code & 0xFF);
        }
    }
    out.resize(static_cast<std::size_t>(write - out.data()));
}

std::optional<std::string> StrictGbkToUtf8(std::string_view gbk) {
    return ConvertStrictly(gbk, "UTF-8", "GBK");
}

std::optional<GbkText> StrictUtf8ToGbk(std::string_view utf8) {
    if (!IsValidUtf8(utf8)) {
        return std::nullopt;  // iconv would let encoded surrogates through
    }
    std::optional<GbkText> gbk = ConvertStrictly(utf8, "GBK", "UTF-8");
    // glibc's iconv drops some characters without a word (the tag characters
    // U+E0000..U+E007F): only a text that converts back unchanged is whole.
    if (gbk && ConvertStrictly(*gbk, "UTF-8", "GBK") != std::string(utf8)) {
        return std::nullopt;
    }
    return gbk;
}

std::string ToValidUtf8(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        AppendUtf8(valid, NextUtf8(text, i));
    }
    return valid;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        if (NextUtf8(text, i) == kReplacement) {
            // U+FFFD itself is valid: it is the three bytes EF BF BD.
            if (text.substr(start, i - start) != "\xEF\xBF\xBD") {
                return false;
            }
        }
    }
    return true;
}

}  // namespace varo
