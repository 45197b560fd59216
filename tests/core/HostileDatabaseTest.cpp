#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "db/ItemTable.h"
#include "filter/FilterFile.h"
#include "pillar/LightPillar.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

// Databases an administrator may pick by mistake or that a game server left
// in a strange state: each gives a clean result, never a crash.
class HostileDatabaseTest : public testing::Test {
  protected:
    ItemTable Load(const std::vector<int>& columns = {}) {
        SqliteConnection connection;
        return LoadItemTable(connection, path, columns);
    }

    test::TempDir dir;
    std::string path = dir.File("hostile.DB");
};

TEST_F(HostileDatabaseTest, BlobCellsWithZeroBytesEndAtTheFirstZero) {
    ASSERT_EQ(test::RunSql(path,
                           "CREATE TABLE StdItems (a, b, c); INSERT INTO StdItems VALUES "
                           "(1, x'E69CA8E5899100E6809D', x'00FF');"),
              "");
    const ItemTable table = Load();
    ASSERT_TRUE(table.ok);
    EXPECT_EQ(table.matrix.Cell(2, 2).Bytes(), "\xC4\xBE\xBD\xA3");
    EXPECT_EQ(table.matrix.Cell(2, 3).Bytes(), "");
}

TEST_F(HostileDatabaseTest, LargeCellsAndManyColumns) {
    std::string create = "CREATE TABLE StdItems (c1";
    std::string insert = "INSERT INTO StdItems VALUES (1";
    for (int column = 2; column <= 1000; ++column) {
        create += ", c" + std::to_string(column);
        insert += column == 2    ? ", printf('%.*c', 1048576, 'x')"
                  : column == 38 ? ", '150'"
                                 : ", NULL";
    }
    ASSERT_EQ(test::RunSql(path, create + "); " + insert + ");"), "");
    const ItemTable table = Load();
    ASSERT_TRUE(table.ok) << table.error;
    EXPECT_EQ(table.columns, 1000);
    EXPECT_EQ(table.matrix.Cell(1, 1000).Bytes(), "c1000");
    EXPECT_EQ(table.matrix.Cell(2, 2).Size(), 1048576u);
    const LightPillarList rows = ComputeLightPillarRows(table.matrix, {});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fields[kShineValueColumn].Bytes(), "1000");
    EXPECT_EQ(FormatLightPillarFile(rows).size(),
              1048576u + std::string_view("\t255\t1000\t20\t1\r\n").size());
}

// A view that never ends, or cells of many megabytes, stop at what a load
// may hold, with their own problem, before they take the machine's memory.
TEST_F(HostileDatabaseTest, AnEndlessViewStopsAtWhatALoadMayHold) {
    ASSERT_EQ(test::RunSql(path,
                           "CREATE VIEW StdItems AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                           "SELECT i + 1 FROM n) SELECT i, printf('%.*c', 16777216, 'x'), NULL "
                           "FROM n;"),
              "");
    for (const std::vector<int>& columns : {std::vector<int>{}, kFilterItemColumns}) {
        const ItemTable table = Load(columns);
        EXPECT_FALSE(table.ok);
        EXPECT_EQ(table.problem, ItemTable::Problem::TooLarge);
        EXPECT_EQ(table.rows, 0);
    }
}

TEST_F(HostileDatabaseTest, ColumnsInAnotherOrderAreReadByPosition) {
    // Kind first, name second: the positions rule, so the names come out as kinds.
    ASSERT_EQ(test::RunSql(path,
                           "CREATE TABLE StdItems (Idx, StdMode, Name); INSERT INTO StdItems "
                           "VALUES (1, '1', 'x');"),
              "");
    const ItemTable table = Load();
    ASSERT_TRUE(table.ok);
    const FilterRows rows = LoadFilterRows(table.matrix, table.rows);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].itemName.Bytes(), "1");
    EXPECT_EQ(rows[0].itemKind, OtherKindLabel());
}

TEST_F(HostileDatabaseTest, AViewNamedStdItemsIsReadLikeATable) {
    ASSERT_EQ(
        test::RunSql(path,
                     "CREATE TABLE base (n, k); INSERT INTO base VALUES ('木剑', '1');"
                     "CREATE VIEW StdItems AS SELECT 0 AS Idx, n AS Name, k AS StdMode FROM base;"),
        "");
    const ItemTable table = Load(kFilterItemColumns);
    ASSERT_TRUE(table.ok);
    const FilterRows rows = LoadFilterRows(table.matrix, table.rows);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].itemName.Bytes(), "\xC4\xBE\xBD\xA3");
}

TEST_F(HostileDatabaseTest, ALockedDatabaseFailsCleanly) {
    test::CreateItemDatabase(path, 40, {test::ItemRow("a", "1", "150")});
    SqliteConnection writer;
    ASSERT_TRUE(writer.Open(path, SqliteConnection::kOpenReadWrite, kUtf8));
    ASSERT_EQ(writer.Begin(2), 0);  // an exclusive lock, as a server in the middle of a commit
    const ItemTable table = Load();
    EXPECT_FALSE(table.ok);
    EXPECT_EQ(table.rows, 0);
    EXPECT_EQ(table.error.Bytes(), "database is locked");
    writer.Rollback();
    EXPECT_TRUE(Load().ok);
    writer.Close();
}

TEST_F(HostileDatabaseTest, ALockReleasedWithinTheWaitIsWaitedFor) {
    test::CreateItemDatabase(path, 40, {test::ItemRow("a", "1", "150")});
    SqliteConnection writer;
    ASSERT_TRUE(writer.Open(path, SqliteConnection::kOpenReadWrite, kUtf8));
    ASSERT_EQ(writer.Begin(2), 0);
    std::thread server([&writer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        writer.Rollback();
    });
    const ItemTable table = Load();
    server.join();
    EXPECT_TRUE(table.ok) << table.error;
    EXPECT_EQ(table.rows, 1);
}

// Set from another thread, the cancel ends a load at once, whatever it is
// doing: stepping an endless view or waiting for a lock.
TEST_F(HostileDatabaseTest, ACancelEndsALoadWithinMoments) {
    const struct {
        const char* name;
        const char* sql;
        bool locked;
    } cases[] = {
        {"endless view",
         "CREATE VIEW StdItems AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
         "SELECT i, NULL, NULL FROM n;",
         false},
        {"locked", "CREATE TABLE StdItems (a, b, c); INSERT INTO StdItems VALUES (1, 2, 3);", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(path.c_str());
        ASSERT_EQ(test::RunSql(path, c.sql), "");
        SqliteConnection writer;
        ASSERT_TRUE(writer.Open(path, SqliteConnection::kOpenReadWrite, kUtf8));
        if (c.locked) {
            ASSERT_EQ(writer.Begin(2), 0);
        }
        for (const std::vector<int>& columns : {std::vector<int>{}, kFilterItemColumns}) {
            std::atomic<bool> cancel{false};
            std::thread user([&cancel] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                cancel = true;
            });
            SqliteConnection connection;
            const auto start = std::chrono::steady_clock::now();
            const ItemTable table = LoadItemTable(connection, path, columns, &cancel);
            const auto took = std::chrono::steady_clock::now() - start;
            user.join();
            EXPECT_FALSE(table.ok);
            EXPECT_EQ(table.problem, ItemTable::Problem::Cancelled);
            EXPECT_LT(took, std::chrono::seconds(2));
        }
        writer.Close();
    }
}

TEST_F(HostileDatabaseTest, FilesThatAreNoDatabase) {
    const std::string cases[] = {"", "SQLite format 3", std::string(100, '\0'),
                                 "SQLite format 3\0garbage"};
    for (const std::string& bytes : cases) {
        test::WriteFile(path, bytes);
        const ItemTable table = Load();
        EXPECT_FALSE(table.ok) << bytes.size();
        EXPECT_TRUE(table.matrix.Empty());
    }
}

}  // namespace
}  // namespace varo
