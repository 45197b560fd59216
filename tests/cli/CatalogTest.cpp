#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "cli/Catalog.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"
#include "platform/CommandLineProcess.h"
#include "platform/FileIo.h"
#include "support/TestSupport.h"
#include "text/CodePage.h"

namespace varo::cli {
namespace {

// The placeholders of each form of a text: "{1}{2}|{1}".
std::vector<std::set<char>> Placeholders(std::string_view text) {
    std::vector<std::set<char>> forms(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '|') {
            forms.emplace_back();
        } else if (text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}') {
            forms.back().insert(text[i + 1]);
        }
    }
    return forms;
}

class LanguageScope {
  public:
    explicit LanguageScope(Language language) : previous_(CurrentLanguage()) {
        SetLanguage(language);
    }
    ~LanguageScope() { SetLanguage(previous_); }

  private:
    Language previous_;
};

TEST(Catalog, EveryTextIsWholeInBothLanguages) {
    const std::span<const CatalogEntry> catalog = Catalog();
    ASSERT_EQ(catalog.size(), static_cast<std::size_t>(Text::kCount));
    for (std::size_t i = 0; i < catalog.size(); ++i) {
        const CatalogEntry& entry = catalog[i];
        SCOPED_TRACE(entry.english);
        EXPECT_EQ(static_cast<std::size_t>(entry.text), i) << "out of the order of Text";
        EXPECT_STRNE(entry.english, "");
        EXPECT_STRNE(entry.chinese, "");
        // Every value in every form of both languages: none is dropped, but
        // SQLite's code in words, which English leaves to SQLite's own message.
        const std::vector<std::set<char>> english = Placeholders(entry.english);
        std::set<char> chinese = Placeholders(entry.chinese).front();
        EXPECT_EQ(Placeholders(entry.chinese).size(), 1u) << "Chinese counts without forms";
        EXPECT_LE(english.size(), 2u);
        if (entry.text == Text::SqliteSays || entry.text == Text::CacheSqlite) {
            EXPECT_EQ(chinese.erase('1'), 1u);
        }
        for (const std::set<char>& form : english) {
            EXPECT_EQ(form, chinese) << entry.chinese;
        }
        EXPECT_EQ(test::ChineseIn(entry.english), "");
        EXPECT_EQ(test::EnglishIn(entry.chinese), "") << entry.chinese;
    }
}

TEST(Catalog, ValuesGoWhereTheTextPutsThem) {
    const struct {
        const char* text;
        std::vector<std::string_view> values;
        const char* filled;
    } cases[] = {
        {"{2} before {1}", {"a", "b"}, "b before a"},
        {"{1}{1}", {"x"}, "xx"},
        {"a value {1} with braces", {"{2}"}, "a value {2} with braces"},  // data is not read again
        {"missing {3}", {"a"}, "missing "},
        {"{x} {1", {"a"}, "{x} {1"},
        {"last {1}", {"end"}, "last end"},
    };
    for (const auto& c : cases) {
        std::string filled;
        switch (c.values.size()) {
            case 1:
                filled = Filled(c.text, {c.values[0]});
                break;
            default:
                filled = Filled(c.text, {c.values[0], c.values[1]});
                break;
        }
        EXPECT_EQ(filled, c.filled) << c.text;
    }
}

TEST(Catalog, CountsTakeTheirForm) {
    const struct {
        Language language;
        std::size_t count;
        Text noun;
        const char* said;
    } cases[] = {
        {Language::English, 0, Text::Entries, "0 entries"},
        {Language::English, 1, Text::Entries, "1 entry"},
        {Language::English, 2, Text::Entries, "2 entries"},
        {Language::English, 1, Text::Bytes, "1 byte"},
        {Language::English, 21, Text::Files, "21 files"},
        {Language::Chinese, 1, Text::Files, "1个文件"},
        {Language::Chinese, 3, Text::Rows, "3行"},
        {Language::Chinese, 1048576, Text::Bytes, "1048576字节"},
    };
    for (const auto& c : cases) {
        const LanguageScope scope(c.language);
        EXPECT_EQ(Counted(c.count, c.noun), c.said);
    }
    const LanguageScope english(Language::English);
    EXPECT_EQ(SayFor(1, Text::SomeDoNotMatch, {"1", ""}), "1 entry does not match");
    EXPECT_EQ(SayFor(4, Text::SomeDoNotMatch, {"4", "; x"}), "4 entries do not match; x");
    EXPECT_EQ(SizeText(64u << 20), "64 MiB");
    EXPECT_EQ(SizeText(0), "0 MiB");
}

// Every finding with its data, from `path`, `name` and `version`.
std::vector<Finding> EveryFinding(const std::string& path, const std::string& name,
                                  const std::string& version) {
    const GbkText gbk = Utf8ToGbk(name);
    std::vector<Finding> findings;
    UnusableValuesFinding unusable;
    for (std::size_t row = 0; row < kItemsListed + 3; ++row) {
        unusable.values.push_back({row, static_cast<int>(row % 5), gbk, GbkText(GbkView("0"))});
    }
    findings.push_back(unusable);
    findings.push_back(NotAFilterFileFinding{path, FilterFileUse::Import});
    findings.push_back(VersionNotRaisedFinding{path, version, version, {}, version});
    findings.push_back(VersionNotRaisedFinding{path, version, version, {}, ""});
    UnreadablePreviousManifestFinding tooLarge{path, ErrnoError(EFBIG), 64u << 20, "", {}};
    findings.push_back(tooLarge);
    UnreadablePreviousManifestFinding notJson{path, {}, 0, "not JSON at line 3, column 4", {}};
    notJson.fault = {ManifestFault::Kind::Syntax, 3, 4, 0};
    findings.push_back(notJson);
    findings.push_back(UnreadablePreviousManifestFinding{path, ErrnoError(EACCES), 0, "", {}});
    findings.push_back(EmptyResultFinding{path, 120, 0});
    findings.push_back(EmptyResultFinding{path, 120, 7});
    findings.push_back(UncarriableNamesFinding{"update.json", {{0, gbk}, {4, gbk}}});
    findings.push_back(LostCharactersFinding{"lsDefaultItemFilter.txt", {{2, name, gbk}}});
    findings.push_back(ShineOutOfRangeFinding{{{3, gbk, GbkText(GbkView("99999999999"))}}});
    findings.push_back(UncomparableVersionFinding{version, true});
    findings.push_back(UncomparableVersionFinding{version, false});
    findings.push_back(DuplicateNameFinding{
        {{name, path, "0123", 1, path, "4567", 2}, {name, "", "0123", 1, path, "4567", 2}}});
    for (const auto reason :
         {UnsafeFolderFinding::Reason::LeavesRoot, UnsafeFolderFinding::Reason::Backslash,
          UnsafeFolderFinding::Reason::EmptyPart}) {
        findings.push_back(UnsafeFolderFinding{name, reason});
    }
    findings.push_back(RemovalsFinding{path, 10, 6, 4});
    findings.push_back(OtherFormFinding{path, FilterFileForm::Pc, FilterFileForm::Mobile});
    return findings;
}

TEST(Catalog, EveryFindingSpeaksOneLanguage) {
    // Data in the script of the language, so that whatever else is found is the message's.
    const LanguageScope english(Language::English);
    const std::vector<Finding> inEnglish = EveryFinding("/data/items.json", "Sword", "1.2.5");
    for (const Finding& finding : inEnglish) {
        const std::string text = FindingText(finding);
        EXPECT_EQ(test::ChineseIn(text), "") << text;
        EXPECT_NE(text.find_first_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos);
    }
    SetLanguage(Language::Chinese);
    const std::vector<Finding> inChinese = EveryFinding("/数据/物品.json", "木剑", "1.2.5");
    ASSERT_EQ(inChinese.size(), inEnglish.size());
    for (std::size_t i = 0; i < inChinese.size(); ++i) {
        const std::string text = FindingText(inChinese[i]);
        EXPECT_EQ(test::EnglishIn(text), "") << text;
        EXPECT_NE(test::ChineseIn(text), "") << text;
        // Each value where the message puts it: the data is all there.
        if (std::holds_alternative<NotAFilterFileFinding>(inChinese[i])) {
            EXPECT_NE(text.find("物品.json"), std::string::npos) << text;
        }
    }
}

TEST(Catalog, FailureReasonsSpeakTheLanguageOfTheMessage) {
    // A failure of the system itself, with its own message in the language
    // of its installation, and the program's own kinds.
    FileState state;
    SystemError missing;
    ASSERT_FALSE(StatFile("no such folder/no such file", state, missing));
    const std::vector<std::pair<SystemError, FileAccess>> errors = {
        {missing, FileAccess::Read},
        {ErrnoError(EACCES), FileAccess::Write},
        {ErrnoError(EISDIR), FileAccess::Read},
        {ErrnoError(EISDIR), FileAccess::Write},
        {ErrnoError(ENOSPC), FileAccess::Write},
        {ErrnoError(kNotRegularFile), FileAccess::Read},
        {ErrnoError(kNameNotUtf8), FileAccess::Read},
        {ErrnoError(kChangedWhileRead), FileAccess::Read},
        {SystemError{EPROTO, 0}, FileAccess::Read},  // no words of its own: its number
    };
    for (const auto& [error, access] : errors) {
        const LanguageScope english(Language::English);
        const std::string inEnglish = ReasonText(error, access);
        SetLanguage(Language::Chinese);
        const std::string inChinese = ReasonText(error, access);
        EXPECT_EQ(test::ChineseIn(inEnglish), "") << inEnglish;
        EXPECT_NE(inEnglish, "");
        EXPECT_EQ(test::EnglishIn(inChinese), "") << inChinese;
        EXPECT_NE(test::ChineseIn(inChinese), "") << inChinese;
    }
    // A folder read as a file and a folder in the way of a write are told apart.
    const LanguageScope chinese(Language::Chinese);
    EXPECT_NE(ReasonText(ErrnoError(EISDIR), FileAccess::Read),
              ReasonText(ErrnoError(EISDIR), FileAccess::Write));
}

TEST(Catalog, TheProgressLineFitsTheTerminal) {
    const struct {
        const char* text;
        std::size_t columns;
        const char* fitted;
    } cases[] = {
        {"abc", 5, "abc  "},      {"abcdef", 4, "abcd"}, {"剩余5秒", 7, "剩余5秒"},
        {"剩余5秒", 6, "剩余5 "},  // the last character would cross the edge
        {"剩余5秒", 3, "剩 "},    {"", 2, "  "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FittedToColumns(c.text, c.columns), c.fitted) << c.text;
    }
}

// The language of the user: VARO_LANG first, then the system's. The
// system's own choice is checked where the test runs with a known one
// (VARO_TEST_UI_LANGUAGE, set by the test's entry with a Chinese locale).
TEST(Catalog, TheUsersLanguageIsChosen) {
    const char* saved = std::getenv("VARO_LANG");
    const std::string previous = saved != nullptr ? saved : "";
    const bool system = UserInterfaceIsChinese();
    const struct {
        const char* varoLang;
        Language language;
    } cases[] = {
        {"zh", Language::Chinese},
        {"zh_CN", Language::Chinese},
        {"en", Language::English},
        {"en_US.UTF-8", Language::English},
        {"", system ? Language::Chinese : Language::English},
        {"fr", system ? Language::Chinese : Language::English},
    };
    for (const auto& c : cases) {
        test::SetEnvironment("VARO_LANG", c.varoLang);
        EXPECT_EQ(ChosenLanguage(), c.language) << c.varoLang;
    }
    test::SetEnvironment("VARO_LANG", previous.c_str());
#ifndef _WIN32
    // Elsewhere than on Windows: the first of LC_ALL, LC_MESSAGES and LANG that is set.
    const char* const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved3[3];
    for (int i = 0; i < 3; ++i) {
        const char* value = std::getenv(names[i]);
        saved3[i] = value != nullptr ? value : "";
    }
    const struct {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        bool chinese;
    } locales[] = {
        {"", "", "zh_CN.UTF-8", true},
        {"", "", "zh_TW.Big5", true},
        {"", "", "en_US.UTF-8", false},
        {"", "", "", false},
        {"C", "", "zh_CN.UTF-8", false},
        {"", "zh_CN.GBK", "en_US.UTF-8", true},
        {"", "en_GB.UTF-8", "zh_CN.UTF-8", false},
        {"zh_SG.UTF-8", "en_US.UTF-8", "", true},
        {"", "", "zu_ZA.UTF-8", false},
    };
    for (const auto& l : locales) {
        test::SetEnvironment("LC_ALL", l.lcAll);
        test::SetEnvironment("LC_MESSAGES", l.lcMessages);
        test::SetEnvironment("LANG", l.lang);
        EXPECT_EQ(UserInterfaceIsChinese(), l.chinese)
            << l.lcAll << " / " << l.lcMessages << " / " << l.lang;
    }
    for (int i = 0; i < 3; ++i) {
        test::SetEnvironment(names[i], saved3[i].c_str());
    }
#endif
    const char* expected = std::getenv("VARO_TEST_UI_LANGUAGE");
    if (expected == nullptr) {
        GTEST_SKIP() << "the system's language is not known to this run";
    }
    EXPECT_EQ(system, std::string(expected) == "zh");
}

}  // namespace
}  // namespace varo::cli
