#include "filter/FilterFile.h"
#include "platform/FileIo.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "db/ItemTable.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

using test::ItemRow;

}  // namespace

void PrintTo(const FilterRow& row, std::ostream* out) {
    *out << '[' << row.itemName << '|' << row.itemKind << '|' << row.best << row.autoPickUp
         << row.showName << ']';
}

namespace {

const std::string kWoodenSwordGbk = "\xC4\xBE\xBD\xA3";
const std::string kPotionGbk = "\xBD\xF0\xB4\xB4\xD2\xA9";
const std::string kWeaponGbk = "\xCE\xE4\xC6\xF7";  // 武器
const std::string kOtherGbk = "\xC6\xE4\xCB\xFC";   // 其它

// A row whose name and kind are written out as GBK bytes.
FilterRow Row(std::string name, std::string kind, bool best, bool pickUp, bool show) {
    return FilterRow{GbkText(std::move(name)), GbkText(std::move(kind)), best, pickUp, show, {}};
}

TEST(FilterFile, LoadGivesKindsFromTheLegendByteForByte) {
    const struct {
        std::optional<std::string> code;
        std::string label;
    } cases[] = {
        {"0", "\xB4\xA9\xB4\xF7"}, {"1", kWeaponGbk},         {"2", "\xCA\xCE\xC6\xB7"},
        {"3", "\xD2\xA9\xCB\xAE"}, {"4", kOtherGbk},          {"7", kOtherGbk},
        {"", kOtherGbk},           {std::nullopt, kOtherGbk}, {"00", kOtherGbk},
        {" 1", kOtherGbk},         {"1.0", kOtherGbk},        {"1 ", kOtherGbk},
    };
    std::vector<test::Row> rows;
    for (const auto& c : cases) {
        rows.push_back(ItemRow("item", c.code, "0"));
    }
    test::TempDir dir;
    test::CreateItemDatabase(dir.File("items.DB"), 40, rows);
    SqliteConnection connection;
    const ItemTable table = LoadItemTable(connection, dir.File("items.DB"));
    const FilterRows loaded = LoadFilterRows(table.matrix, table.rows);
    ASSERT_EQ(loaded.size(), std::size(cases));
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        EXPECT_EQ(loaded[i].itemKind.Bytes(), cases[i].label)
            << "code '" << cases[i].code.value_or("NULL") << "'";
        EXPECT_FALSE(loaded[i].best || loaded[i].autoPickUp || loaded[i].showName);
    }
}

TEST(FilterFile, BothFormsHaveTheSameLinesInTheirEncoding) {
    const FilterRows rows = {Row(kWoodenSwordGbk, kWeaponGbk, true, false, false),
                             Row(kPotionGbk, "", false, false, true)};
    EXPECT_EQ(EncodeFilterFile(rows, FilterFileForm::Pc).bytes,
              kWoodenSwordGbk + ",4,1,0,0\r\n" + kPotionGbk + ",4,0,0,1\r\n");
    EXPECT_EQ(EncodeFilterFile(rows, FilterFileForm::Mobile).bytes,
              "木剑,4,1,0,0\r\n金创药,4,0,0,1\r\n");
}

TEST(FilterFile, LineFormatEdgeCases) {
    const struct {
        const char* label;
        FilterRows rows;
        std::string text;
    } cases[] = {
        {"no rows, no bytes", {}, ""},
        {"empty name", {Row("", "", false, true, false)}, ",4,0,1,0\r\n"},
        {"comma in a name is written as is", {Row("a,b", "", true, true, true)}, "a,b,4,1,1,1\r\n"},
        {"kind never written", {Row("x", kWeaponGbk, false, false, false)}, "x,4,0,0,0\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFilterFile(c.rows).Bytes(), c.text) << c.label;
        EXPECT_EQ(EncodeFilterFile(c.rows, FilterFileForm::Mobile).bytes, c.text)
            << c.label << ": ASCII gives identical forms";
    }
}

TEST(FilterFile, MobileFormRefusesANameWithoutUtf8Form) {
    const FilterRows rows = {Row("ok", "", false, false, false),
                             Row("bad\xFF", "", false, false, false)};
    const FilterFileBytes bytes = EncodeFilterFile(rows, FilterFileForm::Mobile);
    EXPECT_FALSE(bytes.ok);
    EXPECT_EQ(bytes.failedRow, 1u);
    EXPECT_TRUE(bytes.bytes.empty());
    EXPECT_TRUE(EncodeFilterFile(rows, FilterFileForm::Pc).ok);
}

TEST(FilterFile, ParseReadsLinesAndFields) {
    const struct {
        const char* label;
        std::string bytes;
        FilterRows rows;
    } cases[] = {
        {"empty file", "", {}},
        {"mobile form",
         "木剑,4,1,0,0\r\n金创药,1,0,0,1\r\n",
         {Row(kWoodenSwordGbk, kOtherGbk, true, false, false),
          Row(kPotionGbk, kWeaponGbk, false, false, true)}},
        {"last line without CR LF", "a,4,1,1,1", {Row("a", kOtherGbk, true, true, true)}},
        {"flags other than 1",
         "a,9,0,2,01\r\nb,,1 , 1,\r\n",
         {Row("a", "", false, false, false), Row("b", "", false, false, false)}},
        {"LF line ends",
         "a,4,1,0,0\nb,1,0,1,1\n",
         {Row("a", kOtherGbk, true, false, false), Row("b", kWeaponGbk, false, true, true)}},
        {"a name holding commas",
         "金,银,4,1,1,1\r\n,,,1,0,0,1\r\n",
         {Row("\xBD\xF0,\xD2\xF8", kOtherGbk, true, true, true),
          Row(",,", kWeaponGbk, false, false, true)}},
        {"more than five fields not ending in a kind and three flags",
         "a,b,x,1,0,0\r\na,1,4,1,0,2\r\n",
         {Row("a", "", false, true, false), Row("a", kWeaponGbk, false, true, false)}},
        {"fewer than five fields",
         "a,1,1\r\nb\r\n",
         {Row("a", kWeaponGbk, true, false, false), Row("b", "", false, false, false)}},
        {"empty lines are skipped",
         "\r\na,4,0,0,0\r\n\r\n\r\n",
         {Row("a", kOtherGbk, false, false, false)}},
        {"a lone CR stays in the line, the CR before LF does not",
         "a\rb,4,1,0,0\r\r\nc,4,1,1,1\r\n",
         {Row("a\rb", kOtherGbk, true, false, false), Row("c", kOtherGbk, true, true, true)}},
        {"byte-order mark skipped",
         "\xEF\xBB\xBF"
         "a,4,0,0,1\r\n",
         {Row("a", kOtherGbk, false, false, true)}},
        {"PC form in GBK",
         kWoodenSwordGbk + ",4,1,1,0\r\n",
         {Row(kWoodenSwordGbk, kOtherGbk, true, true, false)}},
        {"text ends at a zero byte",
         std::string("a,4,1,1,1\r\n\0b,4,1,1,1\r\n", 22),
         {Row("a", kOtherGbk, true, true, true)}},
    };
    for (const auto& c : cases) {
        const auto rows = ParseFilterFile(c.bytes);
        ASSERT_TRUE(rows.has_value()) << c.label;
        EXPECT_EQ(*rows, c.rows) << c.label;
    }
}

TEST(FilterFile, ParseRefusesWhatIsNeitherUtf8NorGbk) {
    EXPECT_EQ(ParseFilterFile("a,4,1,1,1\r\n\xFF\xFF"), std::nullopt);
    EXPECT_EQ(ParseFilterFile("ก,4,1,1,1\r\n"), std::nullopt) << "UTF-8 that GBK cannot hold";
}

TEST(FilterFile, ImportDecidesTheEncodingAndNamesWhatItRefuses) {
    const struct {
        const char* label;
        std::string bytes;
        std::optional<std::string> firstName;  // GBK; nothing: refused
        FilterFileRefusal refusal;
    } cases[] = {
        {"PC form that is valid UTF-8 too stays GBK", "\xD0\xA1,4,1,0,0\r\n", "\xD0\xA1", {}},
        {"two-byte UTF-8 after a byte-order mark is UTF-8",
         "\xEF\xBB\xBF\xD0\xA1,4,1,0,0\r\n",
         "\xA7\xB3",
         {}},
        {"three-byte UTF-8 is UTF-8", "小,4,1,0,0\r\n", "\xD0\xA1", {}},
        {"UTF-8 with a character GBK lacks",
         "木剑,4,1,0,0\r\nx😀y,4,0,0,0\r\n",
         std::nullopt,
         {true, 2, "😀"}},
        {"marked UTF-8 with a character GBK lacks",
         "\xEF\xBB\xBF\r\n\r\nก,4,0,0,0\r\n",
         std::nullopt,
         {true, 3, "ก"}},
        {"neither UTF-8 nor GBK",
         "a,4,1,1,1\r\nb\r\n\xC4\xBE\xFF",
         std::nullopt,
         {false, 3, "\xFF"}},
        {"lines counted at LF", "a\nb\rc\n\xFF", std::nullopt, {false, 3, "\xFF"}},
    };
    for (const auto& c : cases) {
        FilterFileRefusal refusal;
        const auto rows = ParseFilterFile(c.bytes, &refusal);
        ASSERT_EQ(rows.has_value(), c.firstName.has_value()) << c.label;
        if (rows) {
            ASSERT_FALSE(rows->empty()) << c.label;
            EXPECT_EQ(rows->front().itemName.Bytes(), *c.firstName) << c.label;
        } else {
            EXPECT_EQ(refusal.characterOutsideGbk, c.refusal.characterOutsideGbk) << c.label;
            EXPECT_EQ(refusal.line, c.refusal.line) << c.label;
            EXPECT_EQ(refusal.bytes, c.refusal.bytes) << c.label;
        }
    }
}

TEST(FilterFile, RoundTripsAreByteIdentical) {
    const FilterRows rows = {
        Row(kWoodenSwordGbk, kWeaponGbk, true, false, false),
        Row(kPotionGbk, kOtherGbk, false, true, true),
        Row("", "", true, true, true),
        Row("\x81\x5C\x81\x40", "", false, false, false),      // trail bytes 0x5C, 0x40
        Row("\xD0\xA1\xB0\xA1", "", true, false, true),        // 小啊: valid UTF-8 as well
        Row("\xBD\xF0,\xD2\xF8,1,0", "", true, false, true)};  // 金,银,1,0: commas in the name
    for (const FilterFileForm form : {FilterFileForm::Mobile, FilterFileForm::Pc}) {
        const std::string first = EncodeFilterFile(rows, form).bytes;
        const auto parsed = ParseFilterFile(first);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(EncodeFilterFile(*parsed, form).bytes, first);
    }
}

TEST(FilterFile, LooksLikeAFilterFile) {
    const struct {
        const char* label;
        std::string bytes;
        bool looks;
    } cases[] = {
        {"empty", "", true},
        {"the mobile form", "木剑,4,1,0,0\r\n金创药,4,0,0,1\r\n", true},
        {"a name with a comma", "a,b,4,1,0,0\r\n", true},
        {"half the lines short", "a,4,1,0,0\r\nb\r\n", true},
        {"most lines short", "a,4,1,0,0\r\nb\r\nc,1\r\n", false},
        {"the light-pillar file", "木剑\t255\t20\t20\t1\r\n", false},
        {"a tab anywhere", "a,4,1,0,0\tx\r\n", false},
        {"LF line ends", "a,4,1,0,0\nb,4,0,0,0\nc\n", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LooksLikeFilterFile(c.bytes), c.looks) << c.label;
    }
}

TEST(FilterFile, ReadingRefusesAnOversizedFileWithoutReadingIt) {
    test::TempDir dir;
    const std::string path = dir.File("huge.txt");
    test::WriteFile(path, "a,4,1,1,1\r\n");
    std::filesystem::resize_file(path, kLargestWholeFile + 1);  // sparse: nothing to read
    FilterFileRead huge = ReadFilterFile(path);
    EXPECT_EQ(huge.status, FilterFileRead::Status::TooLarge);
    EXPECT_TRUE(TakeFilterRows(huge).empty());

    std::filesystem::resize_file(path, 11);
    FilterFileRead small = ReadFilterFile(path);
    ASSERT_EQ(small.status, FilterFileRead::Status::Ok);
    EXPECT_EQ(TakeFilterRows(small), (FilterRows{Row("a", kOtherGbk, true, true, true)}));
    EXPECT_EQ(ReadFilterFile(dir.File("absent")).status, FilterFileRead::Status::Unreadable);
}

TEST(FilterFile, ApplyingAFileSetsTheFlagsOfTheRowsItNames) {
    FilterRows grid = {
        Row("a", kWeaponGbk, false, false, false), Row("b", kOtherGbk, true, true, true),
        Row("a", "", false, false, false),         Row("c", "", false, false, false),
        Row("c", "", false, false, false),         Row("c", "", false, false, false)};
    const FilterRows file = {Row("a", "", true, false, false), Row("x", "", true, true, true),
                             Row("a", "", false, true, true),  Row("x", "", false, false, false),
                             Row("c", "", true, false, false), Row("c", "", false, false, true)};
    const FilterApplication applied = ApplyFilterRows(grid, file);
    EXPECT_EQ(applied.rowsSet, 5u) << "both rows named a, the three named c";
    EXPECT_EQ(applied.namesNotFound, std::vector<GbkText>{GbkText(GbkView("x"))})
        << "once, though listed twice";
    EXPECT_EQ(applied.repeatedNames, 2u) << "a and c";
    EXPECT_EQ(grid, (FilterRows{Row("a", kWeaponGbk, true, false, false),  // the first line of a
                                Row("b", kOtherGbk, true, true, true),     // not named: kept
                                Row("a", "", false, true, true),           // the second
                                Row("c", "", true, false, false), Row("c", "", false, false, true),
                                Row("c", "", false, false, true)}))  // beyond the lines: the last
        << "the k-th row of a name takes the k-th line";

    // A file written from a grid of repeated names and applied again gives
    // every row its own flags back.
    const std::string woodenSword = "\xC4\xBE\xBD\xA3";  // 木剑
    FilterRows written = {Row(woodenSword, "", true, false, false),
                          Row(woodenSword, "", false, true, false),
                          Row("b", "", false, false, true)};
    const std::optional<FilterRows> reread =
        ParseFilterFile(EncodeFilterFile(written, FilterFileForm::Pc).bytes);
    ASSERT_TRUE(reread.has_value());
    FilterRows fresh = written;
    SetFlagForAll(fresh, kFilterBestColumn, false);
    SetFlagForAll(fresh, kFilterAutoPickUpColumn, false);
    SetFlagForAll(fresh, kFilterShowNameColumn, false);
    ApplyFilterRows(fresh, *reread);
    EXPECT_EQ(fresh, written);
}

TEST(FilterFile, FindGoesRoundTheGridIgnoringAsciiCaseOnly) {
    FilterRows rows;
    for (const std::string& name : std::vector<std::string>{
             "Iron Sword", kWoodenSwordGbk, "\x81\x41", "\x81\x61", "sword of " + kPotionGbk, ""}) {
        rows.push_back(Row(name, kOtherGbk, false, false, false));
    }
    const struct {
        std::string needle;
        std::ptrdiff_t start;
        int step;
        std::ptrdiff_t found;
    } cases[] = {
        {"SWORD", 0, 1, 0},               // ASCII letters in any case
        {"sword", 1, 1, 4},               // from the start row on
        {"sword", 5, 1, 0},               // round the end
        {"sword", 3, -1, 0},              // backwards
        {"sword", -1, -1, 4},             // backwards from before the first row
        {"\xBD\xA3", 0, 1, 1},            // 剑
        {"\xA3\xBD", 0, 1, -1},           // never inside two characters
        {"a", 0, 1, -1},                  // not the trail byte of \x81\x61
        {"\x81\x61", 0, 1, 3},            // a trail byte 'A' is no letter:
        {"\x81\x41", 3, 1, 2},            // each finds only itself
        {kPotionGbk.substr(2), 0, 1, 4},  // 创药
        {"", 0, 1, -1},
        {"missing", 2, -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindFilterRow(rows, test::Gbk(c.needle), c.start, c.step), c.found)
            << c.needle << " from " << c.start;
        // Where the find box says the match stands: "第 ordinal / count 个".
        if (c.found >= 0) {
            const FilterMatchPlace place =
                PlaceAmongMatches(rows, test::Gbk(c.needle), static_cast<std::size_t>(c.found));
            EXPECT_EQ(place.count, c.needle == "SWORD" || c.needle == "sword" ? 2u : 1u)
                << c.needle;
            EXPECT_EQ(place.ordinal, c.found == 4 ? place.count : 1u) << c.needle;
        }
    }
    EXPECT_EQ(FindFilterRow({}, "a", 0, 1), -1);
}

}  // namespace
}  // namespace varo
