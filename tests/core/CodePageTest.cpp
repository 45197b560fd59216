#include "support/TestSupport.h"
#include "text/CodePage.h"
#include "text/Printable.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <type_traits>

namespace varo {
namespace {

using namespace std::string_literals;

struct LenientCase {
    const char* label;
    std::string gbk;
    std::string utf8;
};

// Pairs that convert into each other in both directions.
const LenientCase kBothWays[] = {
    {"empty", "", ""},
    {"ascii", "Sword +1, 100%", "Sword +1, 100%"},
    {"chinese", "\xC4\xBE\xBD\xA3", "木剑"},
    {"mixed", "\xBD\xF0\xB4\xB4\xD2\xA9(small)", "金创药(small)"},
    {"euro sign is 0x80", "\x80", "€"},
    {"full-width digits", "\xA3\xB1\xA3\xB0\xA3\xB5", "１０５"},
    {"ideographic space", "\xA1\xA1", "\u3000"},
    // Private-use characters, as Windows' code page 936 gives them.
    {"first user-defined area", "\xAA\xA1\xAF\xFE", "\uE000\uE233"},
    {"second user-defined area", "\xF8\xA1\xFE\xFE", "\uE234\uE4C5"},
    {"third user-defined area", "\xA1\x40\xA7\xA0", "\uE4C6\uE765"},
    {"unassigned symbol code, not the euro sign", "\xA2\xE3", "\uE76C"},
    {"unassigned codes at the end of row D7", "\xD7\xFA\xD7\xFE", "\uE810\uE814"},
};

// GBK and UTF-8 text are not taken for each other: bytes become GBK text
// only by saying so, and GBK text reaches UTF-8 only through a conversion.
static_assert(!std::is_convertible_v<std::string, GbkView>);
static_assert(!std::is_convertible_v<std::string_view, GbkView>);
static_assert(!std::is_convertible_v<std::string, GbkText>);
static_assert(!std::is_convertible_v<GbkText, std::string_view>);
static_assert(!std::is_convertible_v<GbkView, std::string_view>);
static_assert(!std::is_convertible_v<GbkText, std::string>);
static_assert(!std::is_constructible_v<GbkText, const char (&)[3]>);
static_assert(std::is_convertible_v<GbkText, GbkView>);
static_assert(std::is_convertible_v<const char (&)[3], GbkView>, "an ASCII literal is both");

TEST(CodePage, ConvertsBothWays) {
    for (const auto& c : kBothWays) {
        EXPECT_EQ(GbkToUtf8(test::Gbk(c.gbk)), c.utf8) << c.label;
        EXPECT_EQ(Utf8ToGbk(c.utf8).Bytes(), c.gbk) << c.label;
    }
}

TEST(CodePage, Utf8ThatGbkLacksBecomesQuestionMarks) {
    const struct {
        const char* label;
        std::string utf8;
        std::string gbk;
    } cases[] = {
        {"emoji", "剑😀", "\xBD\xA3?"},
        {"thai", "ก", "?"},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "a",
         "?a"},
        {"invalid byte",
         "a\xFF"
         "b",
         "a?b"},
        {"cut-off sequence at the end", "a\xE6\x9C", "a?"},
        {"encoded surrogate", "\xED\xA0\x80", "???"},
        {"overlong slash", "\xC0\xAF", "??"},
        {"ends at the first zero byte", "ab\0cd"s, "ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToGbk(c.utf8).Bytes(), c.gbk) << c.label;
    }
}

TEST(CodePage, InvalidGbkBecomesQuestionMarks) {
    const struct {
        const char* label;
        std::string gbk;
        std::string utf8;
    } cases[] = {
        {"lone lead byte at the end", "a\x81", "a?"},
        {"lead byte before ascii keeps the ascii", "\x81\x20x", "? x"},
        {"0xFF, as Windows reads it", "\xFF", "\uF8F5"},
        {"unassigned trail 0x7F", "\x81\x7F", "?\x7F"},
        {"ends at the first zero byte", "\xC4\xBE\0\xBD\xA3"s, "木"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GbkToUtf8(test::Gbk(c.gbk)), c.utf8) << c.label;
    }
}

TEST(CodePage, AppendConvertsAfterExistingText) {
    GbkText buffer(GbkView("x"));
    AppendUtf8AsGbk(buffer, "木");
    AppendUtf8AsGbk(buffer, "y");
    EXPECT_EQ(buffer.Bytes(), "x\xC4\xBEy");
}

TEST(StrictConversion, ConvertsWholeTextOrNothing) {
    const struct {
        const char* label;
        std::string input;
        std::optional<std::string> gbkFromUtf8;
    } cases[] = {
        {"empty", "", ""},
        {"chinese", "木剑,4,1,0,0\r\n", "\xC4\xBE\xBD\xA3,4,1,0,0\r\n"},
        {"zero byte is kept", "a\0b"s, "a\0b"s},
        {"byte-order mark has no GBK form",
         "\xEF\xBB\xBF"
         "a",
         std::nullopt},
        {"emoji", "a😀", std::nullopt},
        {"invalid byte", "a\xFF", std::nullopt},
        {"cut-off sequence", "\xE6\x9C", std::nullopt},
        {"encoded surrogate", "\xED\xA0\x80", std::nullopt},
        {"tag character iconv would drop",
         "a\xF3\xA0\x80\xA9"
         "b",
         std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<GbkText> gbk = StrictUtf8ToGbk(c.input);
        EXPECT_EQ(gbk ? std::optional<std::string>(gbk->Bytes()) : std::nullopt, c.gbkFromUtf8)
            << c.label;
    }
    EXPECT_EQ(StrictGbkToUtf8(test::Gbk("\xC4\xBE\xBD\xA3")), "木剑");
    EXPECT_EQ(StrictGbkToUtf8(test::Gbk("\xC4")), std::nullopt) << "cut-off double-byte character";
    EXPECT_EQ(StrictGbkToUtf8(test::Gbk("a\xFF"
                                        "b")),
              std::nullopt);
}

TEST(StrictConversion, EveryGbkCharacterRoundTrips) {
    // Every two-byte code the strict conversion accepts comes back unchanged,
    // and the lenient conversion agrees with it.
    int converted = 0;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            const GbkText gbk(std::string{static_cast<char>(lead), static_cast<char>(trail)});
            const auto utf8 = StrictGbkToUtf8(gbk);
            if (!utf8) {
                continue;
            }
            ++converted;
            ASSERT_EQ(StrictUtf8ToGbk(*utf8), gbk) << std::hex << lead << " " << trail;
            ASSERT_EQ(GbkToUtf8(gbk), *utf8) << std::hex << lead << " " << trail;
        }
    }
    EXPECT_GT(converted, 21000);
}

TEST(Utf8Validation, AcceptsWellFormedOnly) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("abc木剑😀\xEF\xBF\xBD"));
    EXPECT_FALSE(IsValidUtf8("\xC4\xBE\xBD\xA3")) << "GBK is no UTF-8";
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong
    // ASCII is skipped eight bytes at a time: a bad byte or a character is
    // found in every place behind it, and at the very end.
    for (std::size_t ascii = 0; ascii <= 17; ++ascii) {
        const std::string before(ascii, 'a');
        EXPECT_FALSE(IsValidUtf8(before + "\xC4\xBE\xBD\xA3" + "bc")) << ascii;
        EXPECT_FALSE(IsValidUtf8(before + "\xE6\x9C")) << ascii;  // cut short
        EXPECT_TRUE(IsValidUtf8(before + "木剑" + before)) << ascii;
    }
}

TEST(Printable, ControlBytesFromDataAreEscapedForATerminal) {
    const struct {
        std::string text;
        std::string printable;
    } cases[] = {
        {"1.2.5", "1.2.5"},
        {"\x1B[2J\x1B[31mred", "\\x1B[2J\\x1B[31mred"},  // clear the screen, colour
        {"a\tb\r\nc\x7F", "a\\x09b\\x0D\\x0Ac\\x7F"},
        {"木剑 \\ 1", "木剑 \\ 1"},  // UTF-8 and backslashes stay
        {std::string("a\0b", 3), "a\\x00b"},
        // C1 controls: U+009B is a CSI of its own on many terminals.
        {"\xC2\x9B"
         "31m\xC2\x85",
         "\\u{9B}31m\\u{85}"},
        // Bidirectional overrides and isolates reorder what the line shows.
        {"gpj.\xE2\x80\xAE"
         "exe",
         "gpj.\\u{202E}exe"},
        {"\xE2\x81\xA6x\xE2\x81\xA9\xE2\x80\xAA", "\\u{2066}x\\u{2069}\\u{202A}"},
        {"\xE2\x80\x8F", "\xE2\x80\x8F"},  // a mark, not an override: stays
        // Bytes of no UTF-8 (a GBK file name, a cut sequence) keep their value.
        {"x\xFF.wzl", "x\\xFF.wzl"},
        {"\xC4\xBE\xBD\xA3", "\xC4\xBE\\xBD\\xA3"},  // GBK 木剑: 木 reads as UTF-8 ľ
        {"\xE6\x9C", "\\xE6\\x9C"},
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // a surrogate
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeControlBytes(c.text), c.printable) << c.printable;
    }
    EXPECT_EQ(EscapeInvalidUtf8("x\xFE\x1B\xE2\x80\xAE"), "x\\xFE\x1B\xE2\x80\xAE");
}

}  // namespace
}  // namespace varo
