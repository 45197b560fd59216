#include "text/CodePage.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/CodePage936.h"

namespace varo {
namespace {

constexpr unsigned kLeadFirst = 0x81;
constexpr unsigned kLeadLast = 0xFE;
constexpr unsigned kTrailFirst = 0x40;
constexpr unsigned kTrailLast = 0xFE;
constexpr unsigned kTrailCount = kTrailLast - kTrailFirst + 1;
constexpr char32_t kEuroSign = 0x20AC;
constexpr char32_t kSingleByteFF = 0xF8F5;
constexpr char32_t kReplacement = 0xFFFD;

// Code page 936 as lookup tables filled on demand from the system's code
// page: each character is looked up once, so a run pays only for the
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
            unit = SystemCp936Decode(lead, trail);
            entry.store(unit, std::memory_order_relaxed);
        }
        return static_cast<char16_t>(unit);
    }

    // The one- or two-byte code of a UTF-16 unit, or 0 when GBK lacks it.
    std::uint16_t Encode(char16_t unit) {
        std::atomic<std::uint16_t>& entry = encode_[unit];
        std::uint16_t code = entry.load(std::memory_order_relaxed);
        if (code == kUnknown) {
            code = SystemCp936Encode(unit);
            entry.store(code, std::memory_order_relaxed);
        }
        return code;
    }

  private:
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

}  // namespace

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

namespace {

// What ForEachGbkCharacter gives for a byte or pair code page 936 does not map.
constexpr char32_t kUnmapped = 0xFFFFFFFF;

// Walks `gbk` character by character: `visit(c, at)` gets each character (a
// byte below 0x80 as itself, 0x80 as the euro sign, kUnmapped for a lead
// byte without its trail, 0xFF or an unmapped pair) and where it stands.
// Stops, returning false, as soon as `visit` does.
template <typename Visit>
bool ForEachGbkCharacter(std::string_view gbk, Visit visit) {
    Cp936Tables& tables = Tables();
    for (std::size_t i = 0; i < gbk.size();) {
        const unsigned char lead = static_cast<unsigned char>(gbk[i]);
        if (lead <= 0x80) {
            if (!visit(lead < 0x80 ? char32_t(lead) : kEuroSign, ConversionFailure{i, 1})) {
                return false;
            }
            ++i;
            continue;
        }
        const unsigned trail = i + 1 < gbk.size() ? static_cast<unsigned char>(gbk[i + 1]) : 0;
        const bool pair =
            lead <= kLeadLast && trail >= kTrailFirst && trail != 0x7F && trail <= kTrailLast;
        const char16_t unit = pair ? tables.Decode(lead, trail) : 0;
        // A lead byte without a trail byte: the next byte reads on its own.
        const std::size_t length = pair ? 2 : 1;
        if (!visit(unit != 0 ? char32_t(unit) : kUnmapped, ConversionFailure{i, length})) {
            return false;
        }
        i += length;
    }
    return true;
}

// GBK to UTF-8 through the tables, appended to `out`. A character code page
// 936 lacks fails a strict conversion and becomes '?' in a lenient one.
bool DecodeGbk(std::string_view gbk, std::string& out, bool strict,
               ConversionFailure* failure = nullptr) {
    out.reserve(out.size() + gbk.size() * 3 / 2 + 4);
    return ForEachGbkCharacter(gbk, [&](char32_t c, ConversionFailure at) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c != kUnmapped) {
            AppendUtf8(out, c);
        } else if (strict) {
            if (failure != nullptr) {
                *failure = at;
            }
            return false;
        } else if (static_cast<unsigned char>(gbk[at.offset]) == 0xFF) {
            // 0xFF is no character of code page 936, but Windows' lenient
            // conversion gives it U+F8F5, as its encoding does the other way.
            AppendUtf8(out, kSingleByteFF);
        } else {
            out.push_back('?');
        }
        return true;
    });
}

// Walks `utf8` character by character: `visit(c, code, where)` gets each
// character, its GBK code (0 when GBK lacks it or the sequence is ill-formed;
// meaningless below 0x80, where the character is its own byte) and where it
// stands. Stops, returning false, as soon as `visit` does.
template <typename Visit>
bool ForEachGbkCode(std::string_view utf8, Visit visit) {
    Cp936Tables& tables = Tables();
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t characterStart = i;
        const char32_t c = NextUtf8(utf8, i);
        const std::uint16_t code =
            c >= 0x80 && c < 0x10000 ? tables.Encode(static_cast<char16_t>(c)) : 0;
        if (!visit(c, code, ConversionFailure{characterStart, i - characterStart})) {
            return false;
        }
    }
    return true;
}

// UTF-8 to GBK through the tables, appended to `out`. A character GBK lacks, or
// an ill-formed sequence, fails a strict conversion and becomes '?' in a
// lenient one, which then sets `lossy`.
bool EncodeUtf8(std::string_view utf8, std::string& out, bool strict,
                ConversionFailure* failure = nullptr, bool* lossy = nullptr) {
    // GBK is never longer than UTF-8: convert in place at the end of `out`.
    const std::size_t start = out.size();
    out.resize(start + utf8.size());
    char* write = out.data() + start;
    const bool whole =
        ForEachGbkCode(utf8, [&](char32_t c, std::uint16_t code, ConversionFailure at) {
            if (c < 0x80) {
                *write++ = static_cast<char>(c);
            } else if (code == 0 || (strict && code == 0xFF)) {
                // A strict text must convert back: the byte 0xFF does not.
                if (strict) {
                    if (failure != nullptr) {
                        *failure = at;
                    }
                    return false;
                }
                if (lossy != nullptr) {
                    *lossy = true;
                }
                *write++ = '?';
            } else if (code < 0x100) {
                *write++ = static_cast<char>(code);
            } else {
                *write++ = static_cast<char>(code >> 8);
                *write++ = static_cast<char>(code & 0xFF);
            }
            return true;
        });
    out.resize(whole ? static_cast<std::size_t>(write - out.data()) : start);
    return whole;
}

}  // namespace

std::string GbkToUtf8(GbkView text) {
    const std::string_view gbk = UpToFirstZero(text.Bytes());
    if (IsAscii(gbk)) {
        return std::string(gbk);
    }
    std::string out;
    DecodeGbk(gbk, out, false);
    return out;
}

GbkText Utf8ToGbk(std::string_view utf8) {
    GbkText out;
    AppendUtf8AsGbk(out, utf8);
    return out;
}

bool AppendUtf8AsGbk(GbkText& out, std::string_view utf8) {
    utf8 = UpToFirstZero(utf8);
    if (IsAscii(utf8)) {
        out.Buffer().append(utf8);
        return true;
    }
    bool lossy = false;
    EncodeUtf8(utf8, out.Buffer(), false, nullptr, &lossy);
    return !lossy;
}

std::optional<std::string> StrictGbkToUtf8(GbkView gbk) {
    std::string out;
    if (!DecodeGbk(gbk.Bytes(), out, true)) {
        return std::nullopt;
    }
    return out;
}

std::optional<GbkText> StrictUtf8ToGbk(std::string_view utf8) {
    GbkText out;
    if (!EncodeUtf8(utf8, out.Buffer(), true)) {
        return std::nullopt;
    }
    return out;
}

// The strict conversions' checks, without building the converted text: a
// large file is looked at before anything is made of it.
std::optional<ConversionFailure> FindGbkToUtf8Failure(GbkView gbk) {
    std::optional<ConversionFailure> failure;
    ForEachGbkCharacter(gbk.Bytes(), [&](char32_t c, ConversionFailure at) {
        if (c == kUnmapped) {
            failure = at;
        }
        return !failure;
    });
    return failure;
}

std::optional<ConversionFailure> FindUtf8ToGbkFailure(std::string_view utf8) {
    std::optional<ConversionFailure> failure;
    ForEachGbkCode(utf8, [&](char32_t c, std::uint16_t code, ConversionFailure at) {
        if (c >= 0x80 && (code == 0 || code == 0xFF)) {
            failure = at;
        }
        return !failure;
    });
    return failure;
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
    // ASCII is taken eight bytes at a time (every file name of an import is asked).
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, 8);
        if ((word & 0x8080808080808080ull) != 0) {
            break;
        }
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) {
        ++i;
    }
    while (i < text.size()) {
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

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string utf8;
    utf8.reserve(bytes.size() * 3 / 2);
    const auto unit = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    const std::size_t end = bytes.size() & ~std::size_t{1};
    for (std::size_t i = 0; i < end; i += 2) {
        const char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 2 < end) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(utf8, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(utf8, c >= 0xD800 && c <= 0xDFFF ? kReplacement : c);
    }
    if (end != bytes.size()) {
        AppendUtf8(utf8, kReplacement);  // half a unit at the end
    }
    return utf8;
}

}  // namespace varo
