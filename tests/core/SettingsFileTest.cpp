#include "settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <random>

#include "support/TestSupport.h"

namespace varo {
namespace {

TEST(SettingsFile, ReadsWhatItWritesAndSkipsTheRest) {
    const Settings written = {{"database", "D:\\server\\new\\QELDA.DB"},
                              {"manifest.version", "1.2.5"},
                              {"odd", "a\\nb\\"},
                              {"broken", "a\r\nb"},
                              {"empty", ""},
                              {"bad name", "x"},
                              {"bytes", "\xFF\xFE"}};
    const std::string file = FormatSettings(written);
    EXPECT_NE(file.find("database=D:\\server\\new\\QELDA.DB\r\n"), std::string::npos)
        << "values as they stand";
    Settings expected = written;
    expected.erase("bad name");  // names and values the reader would refuse are not written
    expected.erase("bytes");
    expected.erase("broken");  // no line can carry a line break
    EXPECT_EQ(ParseSettings(file), expected);
    EXPECT_TRUE(IsSettingsText(file));

    const struct {
        const char* text;
        Settings settings;
    } cases[] = {
        {"a=1\nb=2", {{"a", "1"}, {"b", "2"}}},
        {"a=1\r\na=2\r\n", {{"a", "1"}}},  // the first of a repeated name
        {"[x]\n;c=1\n#d=1\nnoequals\n=v\n", {}},
        {"p/q.r_s=x=y", {{"p/q.r_s", "x=y"}}},
        {"a b=1\nk\xC3\xA9=1\nv=\xC0\xAF", {}},   // bad names, an ill-formed value
        {"v=\\", {{"v", "\\"}}},                  // a lone backslash at the end
        {"v=a\\nb\\\\c", {{"v", "a\\nb\\\\c"}}},  // backslashes are plain characters
        {"; The settings of varo-toolkit, written when it closes.\r\n[settings]\r\n"
         "v=D:\\\\a\\\\b",
         {{"v", "D:\\a\\b"}}},  // the first version's escapes, undone
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseSettings(c.text), c.settings) << c.text;
    }
}

// The text in UTF-16 with its byte-order mark.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// As editors save a file edited by hand.
TEST(SettingsFile, ReadsTheEncodingsEditorsSaveIn) {
    const struct {
        const char* label;
        std::string bytes;
    } cases[] = {
        {"UTF-8", "[settings]\r\ndatabase=D:\\服务器\\QELDA.DB\r\n"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF[settings]\r\ndatabase=D:\\服务器\\QELDA.DB"},
        {"ANSI (GBK)", "[settings]\ndatabase=D:\\\xB7\xFE\xCE\xF1\xC6\xF7\\QELDA.DB\n"},
        {"UTF-16 LE", Utf16(u"[settings]\ndatabase=D:\\服务器\\QELDA.DB", false)},
        {"UTF-16 BE", Utf16(u"[settings]\r\ndatabase=D:\\服务器\\QELDA.DB\r\n", true)},
    };
    for (const auto& c : cases) {
        const std::string text = DecodeSettingsText(c.bytes);
        EXPECT_TRUE(IsSettingsText(text)) << c.label;
        EXPECT_EQ(ParseSettings(text), (Settings{{"database", "D:\\服务器\\QELDA.DB"}})) << c.label;
    }
}

TEST(SettingsFile, OnlyAFileWhoseFirstLineIsTheSectionIsASettingsFile) {
    const struct {
        std::string text;
        bool settings;
    } cases[] = {
        {"[settings]\npage=1", true},
        {"\r\n; comment\n# comment\n  [settings]  \r\n", true},
        {"", true},  // nothing to lose, and `touch server1.ini` makes one
        {"  \r\n\t\n", true},
        {"; only a comment\n", false},  // someone's text, not ours to replace
        {"page=1\n[settings]\n", false},
        {"[other]\npage=1", false},
        {std::string("SQLite format 3\0\x10\0", 19), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSettingsText(c.text), c.settings) << c.text;
    }
}

// What the window finds at start decides what it may do at close.
TEST(SettingsFile, ReplacesOnlyAbsentOrSettingsFilesAndSaysWhySavingFailed) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    const Settings settings = {{"page", "2"}};
    const std::string database = std::string("SQLite format 3\0", 16) + "tables";
    test::WriteFile(dir.File("server1.DB"), database);
    test::WriteFile(dir.File("big.ini"), "[settings]\n" + std::string(kMaxSettingsFileSize, ';'));
    test::WriteFile(dir.File("old.ini"), "[settings]\r\npage=1\r\n");
    test::WriteFile(dir.File("frozen.ini"), "[settings]\r\npage=1\r\n");
    fs::permissions(dir.File("frozen.ini"), fs::perms::owner_read | fs::perms::group_read);
    test::WriteFile(dir.File("plain"), "");
    fs::create_directory(dir.File("folder.ini"));
#ifndef _WIN32
    fs::create_symlink(dir.File("missing"), dir.File("dangling"));
    constexpr int kUnderAFile = ENOTDIR;
#else
    constexpr int kUnderAFile = ENOENT;  // Windows: the path was not found
#endif

    using Kind = SettingsFileState::Kind;
    using Outcome = SettingsSave::Outcome;
    const struct {
        const char* name;
        Kind kind;
        Outcome outcome;
        int errorCode;
        bool written;
    } cases[] = {
        {"new/sub/varo-toolkit.ini", Kind::Absent, Outcome::Written, 0, true},
        {"old.ini", Kind::Settings, Outcome::Written, 0, true},
        {"server1.DB", Kind::Foreign, Outcome::Kept, 0, false},
        {"big.ini", Kind::Foreign, Outcome::Kept, 0, false},
        {"frozen.ini", Kind::Settings, Outcome::Kept, 0, false},
        {"folder.ini", Kind::Unreadable, Outcome::Failed, EISDIR, false},
        {"plain/varo-toolkit.ini", Kind::Absent, Outcome::Failed, kUnderAFile, false},
#ifndef _WIN32
        {"dangling/varo-toolkit.ini", Kind::Absent, Outcome::Failed, ENOENT, false},
#endif
    };
    for (const auto& c : cases) {
        const std::string path = dir.File(c.name);
        const std::optional<std::string> before = test::ReadFile(path);
        const SettingsFileState state = ReadSettingsFile(path);
        EXPECT_EQ(state.kind, c.kind) << c.name;
        const SettingsSave save = SaveSettingsFile(path, state, settings);
        EXPECT_EQ(save.outcome, c.outcome) << c.name;
        EXPECT_EQ(save.error.kind, c.errorCode) << c.name;
        if (c.written) {
            EXPECT_EQ(ReadSettingsFile(path).settings, settings) << c.name;
        } else {
            EXPECT_EQ(test::ReadFile(path), before) << c.name;
        }
    }
}

// A settings file edited by hand keeps what the program does not own:
// comments, names it does not know, other sections; its own lines take the
// new values in place, and new names go at the end of its section.
TEST(SettingsFile, LinesThatAreNotOursStayAsTheyStand) {
    const Settings ours = {{"database", "D:\\新\\QELDA.DB"}, {"page", "2"}};
    const struct {
        const char* label;
        std::string existing;
        std::string merged;
    } cases[] = {
        {"comments, an unknown name, another section",
         "; 服务器一\r\n[settings]\r\n# 数据库\r\ndatabase=old\r\nmine=keep\r\n[other]\r\nx=1\r\n",
         "; 服务器一\r\n[settings]\r\n# 数据库\r\ndatabase=D:\\新\\QELDA.DB\r\nmine=keep\r\n"
         "page=2\r\n[other]\r\nx=1\r\n"},
        {"LF lines stay LF; a repeated name of ours goes", "[settings]\npage=1\npage=5\n",
         "[settings]\npage=2\ndatabase=D:\\新\\QELDA.DB\n"},
        {"a section of ours later in the file", "[tools]\npage=9\n[settings]\n",
         "[tools]\npage=9\n[settings]\ndatabase=D:\\新\\QELDA.DB\npage=2\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MergeSettings(c.existing, ours), c.merged) << c.label;
        EXPECT_EQ(ParseSettings(MergeSettings(c.existing, ours)).at("page"),
                  c.existing.rfind("[tools]", 0) == 0 ? "9" : "2")
            << c.label;
    }
    // Through the file: read, saved with new values, read again.
    test::TempDir dir;
    const std::string path = dir.File("varo-toolkit.ini");
    test::WriteFile(path, "; keep me\r\n[settings]\r\nunknown=1\r\npage=1\r\n");
    ASSERT_EQ(SaveSettingsFile(path, ReadSettingsFile(path), ours).outcome,
              SettingsSave::Outcome::Written);
    EXPECT_EQ(test::ReadFile(path),
              "; keep me\r\n[settings]\r\nunknown=1\r\npage=2\r\ndatabase=D:\\新\\QELDA.DB\r\n");
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

// The writer never makes a file its reader refuses: values that would push
// the file past the limit are left out, the longest first, and named.
TEST(SettingsFile, TheFileStaysWithinWhatTheReaderTakes) {
    // A text box holds up to 32,767 characters: six such boxes of Chinese
    // text are nine times the limit.
    std::string longest;
    for (int i = 0; i < 32767; ++i) {
        longest += "中";
    }
    const Settings settings = {{"database", longest},
                               {"manifest.version", longest},
                               {"pillar.color", "255"},
                               {"manifest.directory", "layout"},
                               {"dialog.resources", longest + "x"},
                               {"page", "2"}};
    std::vector<std::string> tooLong;
    const std::string text = FormatSettings(settings, &tooLong);
    EXPECT_LE(text.size(), kMaxSettingsFileSize);
    EXPECT_EQ(tooLong,
              (std::vector<std::string>{"dialog.resources", "manifest.version", "database"}))
        << "the longest lines first";
    Settings kept = settings;
    for (const std::string& name : tooLong) {
        kept.erase(name);
    }
    EXPECT_EQ(ParseSettings(text), kept);

    // One value that fits on its own stays; the limit is the reader's own.
    const Settings one = {{"database", std::string(kMaxSettingsFileSize - 200, 'd')}};
    tooLong.clear();
    EXPECT_EQ(ParseSettings(FormatSettings(one, &tooLong)), one);
    EXPECT_TRUE(tooLong.empty());

    test::TempDir dir;
    const std::string path = dir.File("varo-toolkit.ini");
    const SettingsSave save = SaveSettingsFile(path, ReadSettingsFile(path), settings);
    EXPECT_EQ(save.outcome, SettingsSave::Outcome::Written);
    EXPECT_EQ(save.tooLong.size(), 3u);
    const SettingsFileState reread = ReadSettingsFile(path);
    EXPECT_EQ(reread.kind, SettingsFileState::Kind::Settings);
    EXPECT_EQ(reread.settings, kept);
}

}  // namespace
}  // namespace varo
