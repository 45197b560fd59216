#include "settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <random>

namespace varo {
namespace {

TEST(SettingsFile, ReadsWhatItWritesAndSkipsTheRest) {
    const Settings written = {{"database", "D:\\服务器\\QELDA.DB"},
                              {"manifest.version", "1.2.5"},
                              {"odd", "a\\nb\r\nc\\"},
                              {"empty", ""},
                              {"bad name", "x"},
                              {"bytes", "\xFF\xFE"}};
    const Settings read = ParseSettings(FormatSettings(written));
    Settings expected = written;
    expected.erase("bad name");  // names and values the reader would refuse are not written
    expected.erase("bytes");
    EXPECT_EQ(read, expected);

    const struct {
        const char* text;
        Settings settings;
    } cases[] = {
        {"a=1\nb=2", {{"a", "1"}, {"b", "2"}}},
        {"a=1\r\na=2\r\n", {{"a", "1"}}},  // the first of a repeated name
        {"[x]\n;c=1\n#d=1\nnoequals\n=v\n", {}},
        {"p/q.r_s=x=y", {{"p/q.r_s", "x=y"}}},
        {"a b=1\nk\xC3\xA9=1\nv=\xC0\xAF", {}},  // bad names, an ill-formed value
        {"v=\\", {{"v", "\\"}}},                 // a lone backslash at the end
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseSettings(c.text), c.settings) << c.text;
    }
}

TEST(SettingsFile, AnyBytesGiveAtMostTheLimit) {
    std::string many;
    for (int i = 0; i < 1000; ++i) {
        many += 'k';
        many += std::to_string(i);
        many += "=v\n";
    }
    EXPECT_EQ(ParseSettings(many).size(), kMaxSettings);

    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string noise(static_cast<std::size_t>(random() % 2000), '\0');
        for (char& c : noise) {
            c = static_cast<char>(random() % 4 == 0 ? '\n' : random() % 4 == 0 ? '=' : random());
        }
        const Settings settings = ParseSettings(noise);
        EXPECT_LE(settings.size(), kMaxSettings);
        EXPECT_EQ(ParseSettings(FormatSettings(settings)), settings);
    }
}

}  // namespace
}  // namespace varo
