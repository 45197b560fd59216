#include "db/ItemTable.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "filter/FilterFile.h"
#include "pillar/LightPillar.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

using test::CreateItemDatabase;
using test::ItemRow;
using test::Row;
using test::TempDir;

struct FailureCase {
    const char* label;
    std::string path;
    ItemTable::Problem problem;
    DatabaseFileCheck::Kind file;  // how the path was judged before SQLite opened it
};

// One reading of a bad database path for both front ends: the file is
// judged before SQLite sees it, so a pipe never hangs the load and an empty
// file is not taken for an empty database.
TEST(LoadItemTable, FailuresSayWhatThePathNamesAndGiveNoRows) {
    using Kind = DatabaseFileCheck::Kind;
    using Problem = ItemTable::Problem;
    TempDir dir;
    test::WriteFile(dir.File("not-a-db.DB"), std::string(4096, 'x'));
    test::WriteFile(dir.File("zero.DB"), "");
    const std::string pipe = test::MakePipe(dir, "pipe.DB");
    ASSERT_EQ(
        test::RunSql(dir.File("other.DB"), "CREATE TABLE Other (a); INSERT INTO Other VALUES (1);"),
        "");
    CreateItemDatabase(dir.File("empty.DB"), 40, {});
    std::string corrupt = test::ReadFile(dir.File("other.DB")).value();
    corrupt.replace(100, 300, std::string(300, '\xFF'));  // the schema page, past the header
    test::WriteFile(dir.File("corrupt.DB"), corrupt);

    const FailureCase cases[] = {
        {"empty path", "", Problem::File, Kind::Missing},
        {"missing file", dir.File("absent.DB"), Problem::File, Kind::Missing},
        {"under a file", dir.File("not-a-db.DB/x.DB"), Problem::File, Kind::Missing},
        {"not a database", dir.File("not-a-db.DB"), Problem::File, Kind::NotDatabase},
        {"zero bytes", dir.File("zero.DB"), Problem::File, Kind::Empty},
        {"a pipe", pipe, Problem::File, Kind::NotRegularFile},
        {"a directory", dir.Path(), Problem::File, Kind::Folder},
        {"no StdItems table", dir.File("other.DB"), Problem::NoTable, Kind::Database},
        {"a corrupt schema", dir.File("corrupt.DB"), Problem::Sqlite, Kind::Database},
        {"empty StdItems table", dir.File("empty.DB"), Problem::None, Kind::Database},
    };
    SqliteConnection connection;
    for (const auto& c : cases) {
        const ItemTable table = LoadItemTable(connection, c.path);
        EXPECT_EQ(table.ok, c.problem == Problem::None) << c.label;
        EXPECT_EQ(table.problem, c.problem) << c.label;
        EXPECT_EQ(table.file.kind, c.file) << c.label;
        EXPECT_EQ(table.rows, 0) << c.label;
        EXPECT_EQ(table.columns, 0) << c.label;
        EXPECT_TRUE(table.matrix.Empty()) << c.label;
        EXPECT_EQ(table.error.Empty(),
                  c.problem != Problem::Sqlite && c.problem != Problem::NoTable)
            << c.label;
        if (c.problem == Problem::Sqlite) {
            EXPECT_EQ(table.sqliteCode, 11) << "SQLITE_CORRUPT: " << table.error;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("absent.DB"))) << "opening must not create";
}

TEST(LoadItemTable, ReadsEveryRowAndColumnWithNamesInRowOne) {
    TempDir dir;
    const std::string path = dir.File("items.DB");
    CreateItemDatabase(path, 40,
                       {ItemRow("木剑", "1", "101"), ItemRow(std::nullopt, "0", "99"),
                        ItemRow("金创药", std::nullopt, std::nullopt)});
    SqliteConnection connection;
    const ItemTable table = LoadItemTable(connection, path);
    ASSERT_TRUE(table.ok) << table.error;
    EXPECT_EQ(table.rows, 3);
    EXPECT_EQ(table.columns, 40);
    EXPECT_EQ(table.matrix.Rows(), 3);
    EXPECT_EQ(table.matrix.Columns(), 40);
    EXPECT_EQ(table.matrix.Cell(1, 2).Bytes(), "c2");
    EXPECT_EQ(table.matrix.Cell(1, 40).Bytes(), "c40");
    EXPECT_EQ(table.matrix.Cell(2, 2).Bytes(), "\xC4\xBE\xBD\xA3")
        << "UTF-8 in the database, GBK in memory";
    EXPECT_EQ(table.matrix.Cell(2, 38).Bytes(), "101");
    EXPECT_EQ(table.matrix.Cell(3, 2).Bytes(), "") << "NULL arrives as empty text";
    EXPECT_EQ(table.matrix.Cell(4, 2).Bytes(), "\xBD\xF0\xB4\xB4\xD2\xA9");
    EXPECT_EQ(table.matrix.Cell(4, 3).Bytes(), "");
    EXPECT_EQ(table.matrix.Cell(4, 38).Bytes(), "");
    // Outside the matrix: empty text, never a crash.
    EXPECT_EQ(table.matrix.Cell(5, 1).Bytes(), "");
    EXPECT_EQ(table.matrix.Cell(0, 1).Bytes(), "");
    EXPECT_EQ(table.matrix.Cell(2, 41).Bytes(), "");
}

TEST(LoadItemTable, CellsArriveAsTextWhateverTheirType) {
    TempDir dir;
    const std::string path = dir.File("typed.DB");
    ASSERT_EQ(test::RunSql(path,
                           "CREATE TABLE StdItems (a INTEGER, b REAL, c TEXT, d BLOB);"
                           "INSERT INTO StdItems VALUES (-12, 2.5, '战神盔甲€😀', x'41004243');"),
              "");
    SqliteConnection connection;
    const ItemTable table = LoadItemTable(connection, path);
    ASSERT_TRUE(table.ok);
    EXPECT_EQ(table.matrix.Cell(2, 1).Bytes(), "-12");
    EXPECT_EQ(table.matrix.Cell(2, 2).Bytes(), "2.5");
    EXPECT_EQ(table.matrix.Cell(2, 3).Bytes(), "\xD5\xBD\xC9\xF1\xBF\xF8\xBC\xD7\x80?")
        << "euro sign as 0x80, a character GBK lacks as '?'";
    EXPECT_EQ(table.matrix.Cell(2, 4).Bytes(), "A") << "a cell ends at its first zero byte";
}

TEST(LoadItemTable, ReopeningReplacesTheConnectionAndSeesChanges) {
    TempDir dir;
    const std::string path = dir.File("items.DB");
    CreateItemDatabase(path, 3, {{"1", "a", "0"}});
    SqliteConnection connection;
    ASSERT_EQ(LoadItemTable(connection, path).rows, 1);
    ASSERT_EQ(test::RunSql(path, "INSERT INTO StdItems VALUES ('2', 'b', '0');"), "");
    const ItemTable second = LoadItemTable(connection, path);
    EXPECT_EQ(second.rows, 2);
    EXPECT_EQ(second.matrix.Cell(3, 2).Bytes(), "b");
    // A failed load after a good one fails on its own, whatever was open before.
    EXPECT_FALSE(LoadItemTable(connection, dir.File("absent.DB")).ok);
    EXPECT_EQ(connection.Close(), 0) << "the failed open's handle is held and closes";
    EXPECT_EQ(connection.Close(), 1) << "nothing held any more";
}

TEST(QueryTable, KeepsTheCallersMatrixOnFailureAndOnNoRows) {
    TempDir dir;
    const std::string path = dir.File("items.DB");
    CreateItemDatabase(path, 2, {{"x", "y"}});
    SqliteConnection connection;
    ASSERT_TRUE(connection.Open(path, SqliteConnection::kOpenReadWrite, kUtf8));
    ItemMatrix matrix;
    int rows = -1;
    int columns = -1;
    GbkText error;
    ASSERT_TRUE(connection.QueryTable("select * from StdItems", &matrix, rows, columns, error));
    EXPECT_EQ(matrix.Cell(2, 2).Bytes(), "y");

    EXPECT_TRUE(
        connection.QueryTable("select * from StdItems where 0", &matrix, rows, columns, error));
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(columns, 0);
    EXPECT_EQ(matrix.Cell(2, 2).Bytes(), "y") << "no rows: the matrix is left as it was";

    EXPECT_FALSE(connection.QueryTable("select * from Missing", &matrix, rows, columns, error));
    EXPECT_EQ(error.Bytes(), "no such table: Missing");
    EXPECT_EQ(matrix.Cell(2, 2).Bytes(), "y") << "failure: the matrix is left as it was";

    EXPECT_TRUE(connection.QueryTable("select 1; select 2", &matrix, rows, columns, error));
    EXPECT_EQ(rows, 2) << "every statement's rows, as one table";
    EXPECT_FALSE(connection.QueryTable("select 1; select 1, 2", &matrix, rows, columns, error));
    EXPECT_TRUE(connection.QueryTable("select 3", nullptr, rows, columns, error));
    EXPECT_EQ(rows, 1);
    connection.Close();
}

}  // namespace
}  // namespace varo

namespace varo {
namespace {

TEST(LoadItemTable, ReadingSomeColumnsKeepsTheShapeAndThoseCells) {
    test::TempDir dir;
    const std::string path = dir.File("items.DB");
    test::CreateItemDatabase(path, 40,
                             {test::ItemRow("木剑", "1", "101"), test::ItemRow("b", "2", "7")});
    SqliteConnection connection;
    const ItemTable whole = LoadItemTable(connection, path);
    const ItemTable some = LoadItemTable(connection, path, {38, 2, 99});
    ASSERT_TRUE(some.ok);
    EXPECT_EQ(some.rows, 2);
    EXPECT_EQ(some.columns, 40);
    for (int row = 1; row <= 3; ++row) {
        for (int column = 1; column <= 40; ++column) {
            const bool asked = row == 1 || column == 2 || column == 38;  // names always
            EXPECT_EQ(some.matrix.Cell(row, column), asked ? whole.matrix.Cell(row, column) : "")
                << row << "," << column;
        }
    }
    EXPECT_FALSE(LoadItemTable(connection, dir.File("absent.DB"), {2}).ok);
}

}  // namespace
}  // namespace varo

namespace varo {
namespace {

TEST(LoadItemTable, SomeColumnsKeepTheTableOrderAndOddNames) {
    test::TempDir dir;
    const std::string path = dir.File("indexed.DB");
    // A covering index in another order, and column names that need quoting.
    ASSERT_EQ(test::RunSql(path,
                           "CREATE TABLE StdItems (\"i\"\"d\", \"na me\", \"kind\", x);"
                           "CREATE INDEX by_name ON StdItems (\"na me\", kind);"
                           "INSERT INTO StdItems VALUES (1, 'zz', '1', 0), (2, 'aa', '2', 0), (3, "
                           "'mm', NULL, 0);"),
              "");
    SqliteConnection connection;
    const ItemTable whole = LoadItemTable(connection, path);
    const ItemTable some = LoadItemTable(connection, path, {2, 3});
    ASSERT_TRUE(some.ok);
    ASSERT_EQ(some.rows, 3);
    for (int row = 2; row <= 4; ++row) {
        EXPECT_EQ(some.matrix.Cell(row, 2), whole.matrix.Cell(row, 2));
        EXPECT_EQ(some.matrix.Cell(row, 3), whole.matrix.Cell(row, 3));
    }
    EXPECT_EQ(some.matrix.Cell(2, 2).Bytes(), "zz");
    EXPECT_EQ(some.matrix.Cell(1, 1).Bytes(), "i\"d");
    EXPECT_EQ(some.matrix.Cell(2, 1).Bytes(), "");

    const std::string empty = dir.File("empty.DB");
    test::CreateItemDatabase(empty, 40, {});
    const ItemTable none = LoadItemTable(connection, empty, {2});
    EXPECT_TRUE(none.ok);
    EXPECT_EQ(none.rows, 0);
    EXPECT_EQ(none.columns, 0);
    EXPECT_TRUE(none.matrix.Empty());
}

}  // namespace
}  // namespace varo

namespace varo {
namespace {

// The pages read two columns; whatever the table's layout, their rows must come
// in the order of the plain "select * from StdItems".
TEST(LoadItemTable, PagesKeepTheOrderOfSelectStarInEveryLayout) {
    std::string columns = "c1 INTEGER PRIMARY KEY";
    for (int column = 2; column <= 40; ++column) {
        columns += ", c" + std::to_string(column);
    }
    const char* names[] = {"zz", "aa", "mm", "bb", "yy", "cc"};
    const auto insert = [&](const std::string& table) {
        std::string sql;
        for (int i = 0; i < 6; ++i) {
            sql += "INSERT INTO " + table + " (c1, c2, c3, c38) VALUES (" + std::to_string(i + 1) +
                   ", '" + names[i] + "', '" + std::to_string(i % 5) + "', " +
                   std::to_string(100 + i) + ");";
        }
        return sql;
    };
    const struct {
        const char* label;
        std::string sql;
    } layouts[] = {
        {"rowid table", "CREATE TABLE StdItems (" + columns +
                            "); CREATE INDEX cover ON StdItems (c2, c3, c38);" +
                            insert("StdItems")},
        {"WITHOUT ROWID table", "CREATE TABLE StdItems (" + columns + ") WITHOUT ROWID;" +
                                    "CREATE INDEX cover ON StdItems (c2, c3, c38);" +
                                    insert("StdItems")},
        {"view over a table", "CREATE TABLE base (" + columns +
                                  "); CREATE INDEX cover ON base (c2, c3, c38);" + insert("base") +
                                  "CREATE VIEW StdItems AS SELECT * FROM base;"},
        {"view choosing the indexed columns",
         "CREATE TABLE base (" + columns + "); CREATE INDEX cover ON base (c2, c3, c38);" +
             insert("base") + "CREATE VIEW StdItems AS SELECT * FROM base ORDER BY c1 DESC;"},
    };
    test::TempDir dir;
    SqliteConnection connection;
    for (std::size_t i = 0; i < std::size(layouts); ++i) {
        const std::string path = dir.File("layout" + std::to_string(i) + ".DB");
        ASSERT_EQ(test::RunSql(path, layouts[i].sql), "") << layouts[i].label;
        const ItemTable whole = LoadItemTable(connection, path);
        ASSERT_EQ(whole.rows, 6) << layouts[i].label;
        const ItemTable pillar = LoadItemTable(connection, path, kLightPillarItemColumns);
        const ItemTable filter = LoadItemTable(connection, path, kFilterItemColumns);
        EXPECT_EQ(FormatLightPillarFile(ComputeLightPillarRows(pillar.matrix, {})),
                  FormatLightPillarFile(ComputeLightPillarRows(whole.matrix, {})))
            << layouts[i].label;
        EXPECT_EQ(FormatFilterFile(LoadFilterRows(filter.matrix, filter.rows)),
                  FormatFilterFile(LoadFilterRows(whole.matrix, whole.rows)))
            << layouts[i].label;
    }
}

}  // namespace
}  // namespace varo
