#include "support/TestSupport.h"
#include "text/GbkSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varo {
namespace {

using Parts = std::vector<std::string>;

Parts Split(std::string_view text, std::string_view separator) {
    Parts parts;
    for (const GbkView part : SplitGbk(GbkView(text), GbkView(separator))) {
        parts.emplace_back(part.Bytes());
    }
    return parts;
}

TEST(GbkSearch, SplitKeepsEmptyPartsButNotAfterTheLastSeparator) {
    const struct {
        const char* label;
        std::string text;
        const char* separator;
        Parts parts;
    } cases[] = {
        {"empty text", "", "\r\n", {}},
        {"no separator", "abc", "\r\n", {"abc"}},
        {"final separator makes no empty line", "a\r\nb\r\n", "\r\n", {"a", "b"}},
        {"last line without separator", "a\r\nb", "\r\n", {"a", "b"}},
        {"empty line inside", "a\r\n\r\nb", "\r\n", {"a", "", "b"}},
        {"only a separator", "\r\n", "\r\n", {""}},
        {"lone CR and LF stay inside", "a\rb\nc\r\nd", "\r\n", {"a\rb\nc", "d"}},
        {"empty fields", ",4,,1", ",", {"", "4", "", "1"}},
        {"trailing comma", "a,b,", ",", {"a", "b"}},
        {"separator on a trail byte is no separator", "\x81|x|y", "|", {"\x81|x", "y"}},
        {"chinese names", "\xC4\xBE\xBD\xA3,4", ",", {"\xC4\xBE\xBD\xA3", "4"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Split(c.text, c.separator), c.parts) << c.label;
    }
}

TEST(GbkSearch, FindNeverStartsOnATrailByte) {
    // 0x81 0x5C is one character whose trail byte is a backslash.
    EXPECT_EQ(FindInGbk(test::Gbk("\x81\\a\\b"), "\\"), 3u);
    EXPECT_EQ(FindInGbk(test::Gbk("\x81\\"), "\\"), std::string_view::npos);
    EXPECT_EQ(FindInGbk("x.map.wzl", ".wzl"), 5u);
    EXPECT_EQ(FindInGbk("abcabc", "abc", 1), 3u);
    EXPECT_EQ(FindInGbk("abc", ""), std::string_view::npos);
    EXPECT_EQ(FindInGbk("ab", "abc"), std::string_view::npos);
    // The lead byte 0xC4 0xBE (木) followed by "wzl": the match starts after it.
    EXPECT_TRUE(GbkContains(test::Gbk("\xC4\xBE.wzl"), ".wzl"));
    EXPECT_FALSE(GbkContains(test::Gbk("\x81.wzl"), ".wzl"))
        << "'.' is the trail byte of 0x81 0x2E";
}

}  // namespace
}  // namespace varo
