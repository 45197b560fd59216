#include "text/TextToInt.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace varo {
namespace {

TEST(TextToInt, ReadsTheLeadingIntegerAsAtoiDoes) {
    const struct {
        std::string text;
        std::int32_t value;
    } cases[] = {
        {"105", 105},
        {" 105", 105},
        {"\t\n\v\f\r-7", -7},
        {"105abc", 105},
        {"12.7", 12},
        {"abc", 0},
        {"", 0},
        {"+42", 42},
        {"-", 0},
        {"- 5", 0},
        {"--5", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", -2147483647 - 1},  // wraps around
        {"4294967297", 1},
        {"-2147483648", -2147483647 - 1},
        {"99999999999", 1215752191},
        {"\xA3\xB1\xA3\xB0\xA3\xB5", 105},  // full-width 105
        {"\xA1\xA1\xA3\xAD\xA3\xB3", -3},   // ideographic space, full-width -3
        {"\xA3\xAB\xA3\xB9x", 9},           // full-width +9
        {"\xC4\xBE"
         "5",
         0},  // a Chinese character is no digit
        {"1\xA3\xB2\xA3\xB3"
         "4",
         1234},  // mixed widths
        {"\xA1\xAB"
         "1",
         0},  // '~' stops the number
        {std::string("12\0"
                     "3",
                     4),
         12},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextToInt(test::Gbk(c.text)), c.value) << "text: " << c.text;
    }
}

// Whether the leading integer lies within 32 bits, read as TextToInt reads it.
TEST(TextToInt, SaysWhenTheLeadingIntegerLeaves32Bits) {
    const struct {
        std::string text;
        bool fits;
    } cases[] = {
        {"2147483647", true},
        {"2147483648", false},
        {"-2147483648", true},
        {"-2147483649", false},
        {"99999999999", false},
        {"000000000002147483647", true},  // leading zeros are no digits of value
        {"2147483648abc", false},
        {"abc99999999999", true},  // no leading integer: 0
        {"", true},
        {"\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9",
         false},  // full-width 9999999999
        {" +4294967397", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextToIntFits(test::Gbk(c.text)), c.fits) << c.text;
    }
}

}  // namespace
}  // namespace varo
