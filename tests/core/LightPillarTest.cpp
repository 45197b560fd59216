#include "pillar/LightPillar.h"

#include <gtest/gtest.h>

#include "db/ItemTable.h"
#include "platform/FileIo.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

using test::ItemRow;
using test::TempDir;

}  // namespace

void PrintTo(const LightPillarRow& row, std::ostream* out) {
    for (const auto& field : row.fields) {
        *out << '[' << field << ']';
    }
}

namespace {

// A row of fields written out as GBK bytes.
LightPillarRow Pillar(const std::array<std::string_view, kLightPillarColumnCount>& fields) {
    std::array<GbkText, kLightPillarColumnCount> gbk;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        gbk[i] = test::GbkString(fields[i]);
    }
    return LightPillarRow(std::move(gbk));
}

// Loads a database made of the given rows, the way the page does.
ItemTable LoadRows(const TempDir& dir, int columns, const std::vector<test::Row>& rows) {
    const std::string path = dir.File("items.DB");
    test::CreateItemDatabase(path, columns, rows);
    SqliteConnection connection;
    return LoadItemTable(connection, path);
}

TEST(ComputeLightPillarRows, ShineValuesFromTheShineColumn) {
    const struct {
        const char* label;
        std::string shine;
        std::string effectImageCount;
        std::optional<std::string> shineValue;  // nullopt: the item gives no row
    } cases[] = {
        {"99 gives no row", "99", "20", std::nullopt},
        {"100 gives 0", "100", "20", "0"},
        {"100 gives 0 with a negative count", "100", "-3", "0"},
        {"100 gives 0 with letters as count", "100", "abc", "0"},
        {"101 with 20", "101", "20", "20"},
        {"105 with 20", "105", "20", "100"},
        {"1100 with 20", "1100", "20", "20000"},
        {"letters as count", "105", "abc", "0"},
        {"count -3", "102", "-3", "-6"},
        {"full-width digits", "１０５", "20", "100"},
        {"digits then letters", "105abc", "20", "100"},
        {"leading blank", " 101", "7", "7"},
        {"empty cell", "", "20", std::nullopt},
        {"negative shine", "-500", "20", std::nullopt},
        {"wraps beyond 32 bits to 101", "4294967397", "20", "20"},
        {"wraps beyond 32 bits to a negative", "2147483648", "20", std::nullopt},
        {"product of 10^13 or more", "2147483647", "2147483647", "4.611685799384e+18"},
        {"product just below 10^13", "1000100", "9999999", "9999999000000"},
        {"product of exactly 10^13", "1000100", "10000000", "1e+13"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const ItemTable table = LoadRows(dir, 40, {ItemRow("木剑", "1", c.shine)});
        ASSERT_TRUE(table.ok) << table.error;
        LightPillarParameters parameters;
        parameters.effectImageCount = test::GbkString(c.effectImageCount);
        const LightPillarList rows = ComputeLightPillarRows(table.matrix, parameters);
        if (!c.shineValue) {
            EXPECT_TRUE(rows.empty()) << c.label;
            continue;
        }
        ASSERT_EQ(rows.size(), 1u) << c.label;
        EXPECT_EQ(rows[0].fields[kShineValueColumn].Bytes(), *c.shineValue) << c.label;
        EXPECT_EQ(rows[0].fields[kEffectImageCountColumn].Bytes(), c.effectImageCount)
            << c.label << ": the count is copied as typed";
    }
}

TEST(ComputeLightPillarRows, CopiesParametersAndKeepsTableOrder) {
    TempDir dir;
    const ItemTable table =
        LoadRows(dir, 40,
                 {ItemRow("木剑", "1", "101"), ItemRow("b", "1", "50"), ItemRow("木剑", "1", "100"),
                  ItemRow(std::nullopt, "1", "102")});
    LightPillarParameters parameters{GbkText(GbkView("300")), GbkText(GbkView("20")), GbkText()};
    const LightPillarList rows = ComputeLightPillarRows(table.matrix, parameters);
    const LightPillarList expected = {
        Pillar({"\xC4\xBE\xBD\xA3", "300", "20", "20", ""}),
        Pillar({"\xC4\xBE\xBD\xA3", "300", "0", "20", ""}),
        Pillar({"", "300", "40", "20", ""}),
    };
    EXPECT_EQ(rows, expected)
        << "duplicates stay, colour 300 is not clamped, empty file number kept";
}

TEST(ComputeLightPillarRows, TooFewColumnsGiveNoRows) {
    TempDir dir;
    std::vector<test::Cell> row(37, std::string("200"));
    const ItemTable table = LoadRows(dir, 37, {row});
    ASSERT_TRUE(table.ok);
    EXPECT_TRUE(ComputeLightPillarRows(table.matrix, {}).empty());
    EXPECT_TRUE(ComputeLightPillarRows(ItemMatrix(), {}).empty());
}

TEST(FormatLightPillarFile, TabSeparatedGbkFieldsWithCrLf) {
    const struct {
        const char* label;
        LightPillarList rows;
        std::string bytes;
    } cases[] = {
        {"empty list gives no bytes", {}, ""},
        {"the wooden sword",
         {Pillar({"\xC4\xBE\xBD\xA3", "255", "20", "20", "1"})},
         "\xC4\xBE\xBD\xA3\t255\t20\t20\t1\r\n"},
        {"empty cells", {Pillar({"", "", "0", "", ""})}, "\t\t0\t\t\r\n"},
        {"three rows in order",
         {Pillar({"a", "1", "2", "3", "4"}), Pillar({"b", "1", "2", "3", "4"}),
          Pillar({"c", "1", "2", "3", ""})},
         "a\t1\t2\t3\t4\r\nb\t1\t2\t3\t4\r\nc\t1\t2\t3\t\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatLightPillarFile(c.rows), c.bytes) << c.label;
    }
}

TEST(FormatLightPillarFile, ReplacesALongerOlderFileCompletely) {
    TempDir dir;
    const std::string path = dir.File(kLightPillarFileName);
    test::WriteFile(path, std::string(10000, 'o'));
    const LightPillarList rows = {Pillar({"a", "255", "0", "20", "1"})};
    ASSERT_TRUE(WriteFileAtomically(path, FormatLightPillarFile(rows)).ok);
    EXPECT_EQ(test::ReadFile(path), "a\t255\t0\t20\t1\r\n");
}

TEST(FindUnusableLightPillarValues, ColourOneTo255CountAndFileNumberAboveZero) {
    const struct {
        const char* color;
        const char* count;
        const char* file;
        std::vector<int> unusable;  // columns
    } cases[] = {
        {"255", "20", "1", {}},
        {"1", "1", "999", {}},
        {"0", "20", "1", {kColorColumn}},
        {"256", "20", "1", {kColorColumn}},
        {" 7", "0", "", {kColorColumn, kEffectImageCountColumn, kPillarFileNumberColumn}},
        {"12a", "-3", "1.5", {kColorColumn, kEffectImageCountColumn, kPillarFileNumberColumn}},
    };
    for (const auto& c : cases) {
        const LightPillarList rows = {Pillar({"ok", "255", "0", "20", "1"}),
                                      Pillar({"x", c.color, "0", c.count, c.file})};
        std::vector<int> columns;
        for (const UnusableLightPillarValue& value : FindUnusableLightPillarValues(rows)) {
            EXPECT_EQ(value.row, 1u) << c.color;
            columns.push_back(value.column);
        }
        EXPECT_EQ(columns, c.unusable) << c.color << " " << c.count << " " << c.file;
    }
}

}  // namespace
}  // namespace varo
