#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "db/SqliteApi.h"
#include "db/SqliteConnection.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

class SqliteSurfaceTest : public testing::Test {
  protected:
    void SetUp() override {
        path = dir.File("surface.DB");
        ASSERT_TRUE(db.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kUtf8));
    }
    void TearDown() override { db.Close(); }

    std::string Schema(const std::string& name) {
        SqliteStatement statement = db.Prepare("select sql from sqlite_master where name=:n");
        statement.BindText(":n", name, kUtf8);
        return statement.StepText(kUtf8);
    }

    test::TempDir dir;
    std::string path;
    SqliteConnection db;
};

TEST_F(SqliteSurfaceTest, StatementBindsStepsAndConvertsText) {
    ASSERT_TRUE(db.Execute("create table t (n integer, r real, s text, b blob, z)"));
    bool ok = false;
    SqliteStatement insert = db.Prepare("insert into t values (:n, :r, :s, :b, :z)", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(insert.ParameterCount(), 5);
    EXPECT_EQ(insert.ParameterIndex(":s"), 3);
    EXPECT_EQ(insert.ParameterName(4).Bytes(), ":b");
    SqliteStatement named = db.Prepare(test::Gbk("select :\xC4\xBE"));  // GBK 木
    EXPECT_EQ(named.ParameterName(1).Bytes(), ":\xC4\xBE");
    EXPECT_EQ(named.ParameterName(1, kUtf8), ":木");
    EXPECT_FALSE(insert.IsReadOnly());
    EXPECT_TRUE(insert.BindInt64(":n", 5000000000));
    EXPECT_TRUE(insert.BindDouble(":r", 2.5));
    EXPECT_TRUE(insert.BindText(":s", test::Gbk("\xC4\xBE\xBD\xA3")));  // GBK in, UTF-8 stored
    EXPECT_TRUE(insert.BindBlob(":b", std::string("a\0b", 3)));
    EXPECT_TRUE(insert.BindNull(":z"));
    EXPECT_FALSE(insert.BindInt(":missing", 1));
    EXPECT_EQ(insert.ExpandedSql().Bytes(),
              "insert into t values (5000000000, 2.5, '\xC4\xBE\xBD\xA3', x'610062', NULL)");
    EXPECT_EQ(insert.ExpandedSql(kUtf8),
              "insert into t values (5000000000, 2.5, '木剑', x'610062', NULL)");
    EXPECT_EQ(insert.StepCode(), SQLITE_DONE);
    EXPECT_EQ(insert.Reset(), SQLITE_OK);
    EXPECT_EQ(insert.ClearBindings(), SQLITE_OK);
    EXPECT_TRUE(insert.BindText(":s", "raw 木", kUtf8));
    EXPECT_FALSE(insert.Step());
    EXPECT_EQ(db.LastInsertRowId(), 2);

    SqliteStatement select = db.Prepare("select n, r, s, b, z from t order by rowid");
    ASSERT_TRUE(select.Step());
    EXPECT_TRUE(select.IsBusy());
    EXPECT_EQ(select.DataCount(), 5);
    EXPECT_EQ(select.ColumnInt64(0), 5000000000);
    EXPECT_EQ(select.ColumnDouble(1), 2.5);
    EXPECT_EQ(select.ColumnText(2).Bytes(), "\xC4\xBE\xBD\xA3");
    EXPECT_EQ(select.ColumnText(2, kUtf8), "木剑");
    EXPECT_EQ(select.ColumnBlob(3), std::string("a\0b", 3));
    EXPECT_EQ(select.ColumnBytes(3), 3);
    EXPECT_EQ(select.ColumnType(4), SQLITE_NULL);
    EXPECT_EQ(select.ColumnIndex("s"), 2);
    EXPECT_EQ(select.ColumnIndex("nope"), -1);
    ASSERT_TRUE(select.Step());
    EXPECT_EQ(select.ColumnText(2, kUtf8), "raw 木");
    EXPECT_EQ(select.ColumnInt(0), 0);
    EXPECT_FALSE(select.Step());
    EXPECT_EQ(select.Sql().Bytes(), "select n, r, s, b, z from t order by rowid");

    // Open statements are listed; a borrowed one is not finalized by its wrapper.
    {
        const SqliteStatement first = db.NextStatement();
        EXPECT_NE(first.GetHandle(), nullptr);
    }
    EXPECT_EQ(select.Reset(), SQLITE_OK);
    EXPECT_TRUE(select.Step());

    SqliteStatement moved = std::move(select);
    EXPECT_EQ(select.GetHandle(), nullptr);
    EXPECT_EQ(moved.Finalize(), SQLITE_OK);
    EXPECT_EQ(moved.Finalize(), SQLITE_OK) << "finalizing twice is harmless";
    EXPECT_EQ(SqliteStatement().StepCode(), 1);
    EXPECT_EQ(SqliteStatement().StepInt(), 0);

    bool bad = true;
    EXPECT_EQ(db.Prepare("selec oops", &bad).GetHandle(), nullptr);
    EXPECT_FALSE(bad);
    EXPECT_EQ(db.ErrorCode(), SQLITE_ERROR);
    EXPECT_EQ(db.ErrorMessage().Bytes(), "near \"selec\": syntax error");
}

TEST_F(SqliteSurfaceTest, DefinitionsListingsAndInjection) {
    ASSERT_TRUE(db.CreateTable(
        "items", {{GbkText(GbkView("id")), 3, std::nullopt, 1 | 2, std::nullopt, std::nullopt},
                  {GbkText(GbkView("name")), 10, 32, 4, GbkText(GbkView("'x'")),
                   GbkText(GbkView("length(name) > 0"))},
                  {GbkText(GbkView("kind")), 12, std::nullopt, 8, std::nullopt, std::nullopt}}));
    EXPECT_EQ(Schema("items"),
              "CREATE TABLE items (id Integer Primary Key AutoIncrement,name VarChar(32)  Not Null "
              "Default 'x' "
              "Check(length(name) > 0),kind Text  Unique)");
    const ColumnDefinition integer{GbkText(GbkView("a")), 3,           std::nullopt, 0,
                                   std::nullopt,          std::nullopt};
    ColumnDefinition second = integer;
    second.name = GbkText(GbkView("b"));
    ASSERT_TRUE(db.CreateTable("pairs", {integer, second}, "a,b", "a"));
    EXPECT_EQ(Schema("pairs"),
              "CREATE TABLE pairs (a Integer ,b Integer ,Unique(a,b),primary key(a))");
    ASSERT_TRUE(db.Execute(
        "insert into items (name, kind) values ('sword', '1')"));  // makes sqlite_sequence

    SqliteStatement tables = db.ListTables();
    std::vector<std::string> names;
    while (tables.Step()) {
        names.push_back(tables.ColumnText(0).Bytes());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"items", "pairs"}));

    ASSERT_TRUE(db.CreateIndex("by_kind", "items", "kind", true));
    ASSERT_TRUE(db.CreateIndex("by_kind", "items", "kind")) << "if not exists";
    std::vector<std::string> indexes;
    for (SqliteStatement list = db.ListIndexes("items"); list.Step();) {
        indexes.push_back(list.ColumnText(0).Bytes());
    }
    EXPECT_EQ(indexes, (std::vector<std::string>{"sqlite_autoindex_items_1", "by_kind"}));
    ASSERT_TRUE(db.CreateView("named", "select name from items", false));
    EXPECT_EQ(db.ListViews().StepText().Bytes(), "named");
    ASSERT_TRUE(db.CreateTrigger("stamp", "items", 2, 3,
                                 "update items set kind = 'x' where id = new.id;", "name"));
    EXPECT_EQ(Schema("stamp"),
              "CREATE TRIGGER stamp AFTER UPDATE OF name ON items BEGIN update items set kind = "
              "'x' where id = "
              "new.id; END");
    EXPECT_EQ(db.ListTriggers("items").StepText().Bytes(), "stamp");
    ASSERT_TRUE(db.Execute("update items set name = 'axe'"));
    EXPECT_EQ(db.Prepare("select kind from items").StepText().Bytes(), "x");

    ASSERT_TRUE(db.AddColumn("items", {GbkText(GbkView("price")), 4, std::nullopt, 0,
                                       GbkText(GbkView("0")), std::nullopt}));
    EXPECT_EQ(db.Prepare("select price from items").StepInt(), 0);
    ASSERT_TRUE(db.RenameTable("pairs", "couples"));
    EXPECT_TRUE(db.TableExists("couples"));
    EXPECT_FALSE(db.TableExists("pairs"));

    // Names are bound, not pasted: a quote neither breaks the query nor injects SQL.
    EXPECT_FALSE(db.TableExists("x' or '1'='1"));
    EXPECT_FALSE(db.ListIndexes("x' or type='index' or '").Step());
    EXPECT_FALSE(db.ListTriggers("it'ems").Step());
    ASSERT_TRUE(db.Execute("create table \"it'ems\" (a)"));
    EXPECT_TRUE(db.TableExists("it'ems"));

    EXPECT_TRUE(db.DropTrigger("stamp"));
    EXPECT_TRUE(db.DropView("named"));
    EXPECT_TRUE(db.DropIndex("by_kind"));
    EXPECT_TRUE(db.DropTable("couples"));
    EXPECT_TRUE(db.DropTable("couples")) << "if exists";
    EXPECT_FALSE(db.DropView("named"));
    GbkText error;
    EXPECT_FALSE(db.Execute("drop view named", nullptr, nullptr, &error));
    EXPECT_EQ(error.Bytes(), "no such view: named");
    EXPECT_TRUE(db.Vacuum());
}

TEST_F(SqliteSurfaceTest, TransactionsAndSavepoints) {
    ASSERT_TRUE(db.Execute("create table t (a)"));
    EXPECT_TRUE(db.IsAutocommit());
    EXPECT_EQ(db.Begin(1), SQLITE_OK);
    EXPECT_FALSE(db.IsAutocommit());
    ASSERT_TRUE(db.Execute("insert into t values (1), (2)"));
    EXPECT_EQ(db.Changes(), 2);
    EXPECT_EQ(db.Rollback(), SQLITE_OK);
    EXPECT_EQ(db.Prepare("select count(*) from t").StepInt(), 0);

    EXPECT_EQ(db.Begin(), SQLITE_OK);
    ASSERT_TRUE(db.Execute("insert into t values (1)"));
    EXPECT_EQ(db.Begin(std::string("inner")), SQLITE_OK);
    ASSERT_TRUE(db.Execute("insert into t values (2)"));
    EXPECT_EQ(db.Rollback(std::string("inner")), SQLITE_OK);
    EXPECT_EQ(db.Commit(std::string("inner")), SQLITE_OK);
    EXPECT_EQ(db.Commit(), SQLITE_OK);
    EXPECT_EQ(db.Prepare("select group_concat(a) from t").StepText().Bytes(), "1");
    EXPECT_EQ(db.TotalChanges(), 4);
    EXPECT_EQ(db.Commit(), SQLITE_ERROR) << "no transaction is open";
    EXPECT_EQ(db.Begin(2), SQLITE_OK);
    EXPECT_EQ(db.Rollback(), SQLITE_OK);
}

int destroyCalls = 0;
void CountDestroy(void* argument) {
    ++destroyCalls;
    EXPECT_EQ(argument, &destroyCalls);
}

void Twice(sqlite3_context* context, int, sqlite3_value** arguments) {
    VARO_SQLITE(sqlite3_result_int64)(context, 2 * VARO_SQLITE(sqlite3_value_int64)(arguments[0]));
}

void SumStep(sqlite3_context* context, int, sqlite3_value** arguments) {
    auto* sum = static_cast<std::int64_t*>(
        VARO_SQLITE(sqlite3_aggregate_context)(context, sizeof(std::int64_t)));
    *sum += VARO_SQLITE(sqlite3_value_int64)(arguments[0]);
}

void SumFinal(sqlite3_context* context) {
    auto* sum = static_cast<std::int64_t*>(VARO_SQLITE(sqlite3_aggregate_context)(context, 0));
    VARO_SQLITE(sqlite3_result_int64)(context, sum != nullptr ? *sum : -1);
}

TEST_F(SqliteSurfaceTest, UserFunctionsAndTheirDestroyRoutine) {
    destroyCalls = 0;
    ASSERT_TRUE(db.CreateScalarFunction("twice", 1, &Twice, &CountDestroy, &destroyCalls));
    ASSERT_TRUE(db.CreateAggregateFunction("total_of", 1, &SumStep, &SumFinal, &CountDestroy,
                                           &destroyCalls));
    ASSERT_TRUE(db.Execute("create table t (a); insert into t values (1), (2), (39)"));
    EXPECT_EQ(db.Prepare("select twice(21)").StepInt(), 42);
    EXPECT_EQ(db.Prepare("select total_of(a) from t").StepInt(), 42);
    EXPECT_EQ(db.Prepare("select total_of(a) from t where 0").StepInt(), -1);
    EXPECT_EQ(destroyCalls, 0);
    ASSERT_TRUE(db.CreateScalarFunction("twice", 1, &Twice)) << "replacing destroys the old record";
    EXPECT_EQ(destroyCalls, 1);
    EXPECT_FALSE(db.CreateScalarFunction("bad", 1000, &Twice, &CountDestroy, &destroyCalls));
    EXPECT_EQ(destroyCalls, 2) << "a refused function is destroyed once";
    db.Close();
    EXPECT_EQ(destroyCalls, 3) << "closing destroys the aggregate's record";
}

int RowsSeen(void* user, int columns, char** values, char**) {
    auto* seen = static_cast<std::vector<std::string>*>(user);
    seen->push_back(std::to_string(columns) + ":" + (values[0] != nullptr ? values[0] : "NULL"));
    return seen->size() >= 2 ? 1 : 0;  // abort after the second row
}

TEST_F(SqliteSurfaceTest, ExecuteCallsTheRowRoutineUntilItAborts) {
    ASSERT_TRUE(
        db.Execute("create table t (a, b); insert into t values (1, 0), (NULL, 0), (3, 0)"));
    std::vector<std::string> seen;
    GbkText error;
    EXPECT_FALSE(db.Execute("select * from t", &RowsSeen, &seen, &error));
    EXPECT_EQ(seen, (std::vector<std::string>{"2:1", "2:NULL"}));
    EXPECT_EQ(error.Bytes(), "query aborted");
}

TEST_F(SqliteSurfaceTest, BackupBetweenTwoFilesReportsProgress) {
    ASSERT_TRUE(db.Execute(
        "create table t (a); with recursive n(i) as (select 1 union all select i + 1 from n "
        "where i < 3000) insert into t select randomblob(200) from n"));
    SqliteConnection target;
    ASSERT_TRUE(
        target.Open(dir.File("copy.DB"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kUtf8));
    std::vector<std::pair<int, int>> steps;
    ASSERT_TRUE(db.BackupTo(target, "main", "main", [&](int remaining, int pages) {
        steps.emplace_back(remaining, pages);
    }));
    ASSERT_GT(steps.size(), 10u);
    EXPECT_EQ(steps.back().first, 0);
    EXPECT_EQ(steps.front().first, steps.front().second - 5) << "five pages a step";
    EXPECT_EQ(target.Prepare("select count(*) from t").StepInt(), 3000);
    EXPECT_FALSE(db.BackupTo(target, "nosuch"));
    target.Close();
}

TEST_F(SqliteSurfaceTest, RowCountCountsWhatASelectGives) {
    ASSERT_TRUE(db.Execute("create table t (a); insert into t values (1), (2), (3), (4)"));
    const struct {
        const char* sql;
        std::int64_t rows;
    } cases[] = {
        {"select * from t", 4},
        {"SELECT a FROM (select a from t where a > 1) where a < 4", 2},
        {"select (select count(*) from t) as c from t where a > :min", 2},
        {"select 1", 1},
        {"update t set a = a", 0},
        {" select * from t", 0},
    };
    for (const auto& c : cases) {
        SqliteStatement statement = db.Prepare(c.sql, nullptr, kUtf8);
        statement.BindInt(":min", 2);
        EXPECT_EQ(statement.RowCount(), c.rows) << c.sql;
    }
}

int busyAttempts = 0;
int GiveUpAfterTwo(void* user, int attempts) {
    EXPECT_EQ(user, &busyAttempts);
    busyAttempts = attempts + 1;
    return attempts < 1 ? 1 : 0;
}

int progressCalls = 0;
int StopQuery() {
    return ++progressCalls > 3 ? 1 : 0;
}

TEST_F(SqliteSurfaceTest, BusyAndProgressHandlers) {
    ASSERT_TRUE(db.Execute("create table t (a)"));
    SqliteConnection other;
    ASSERT_TRUE(other.Open(path, SqliteConnection::kOpenReadWrite, kUtf8));
    ASSERT_EQ(other.Begin(2), SQLITE_OK);  // holds an exclusive lock

    busyAttempts = 0;
    EXPECT_EQ(db.SetBusyHandler(&GiveUpAfterTwo, &busyAttempts), SQLITE_OK);
    EXPECT_FALSE(db.Execute("insert into t values (1)"));
    EXPECT_EQ(db.ErrorCode(), SQLITE_BUSY);
    EXPECT_EQ(busyAttempts, 2);
    EXPECT_EQ(db.SetBusyHandler(), SQLITE_OK);
    EXPECT_EQ(db.SetBusyTimeout(50), SQLITE_OK);
    EXPECT_FALSE(db.Execute("insert into t values (1)"));
    other.Rollback();
    other.Close();

    progressCalls = 0;
    db.SetProgressHandler(100, &StopQuery);
    EXPECT_FALSE(db.Execute(
        "with recursive n(i) as (select 1 union all select i + 1 from n) select count(*) from n"));
    EXPECT_EQ(db.ErrorCode(), SQLITE_INTERRUPT);
    db.SetProgressHandler(0);
    EXPECT_TRUE(db.Execute("select 1"));
}

// A close that has to wait for a live statement leaves the connection open,
// and SQLite still calls its busy handler: the handler's record must live on
// until the connection is really gone (AddressSanitizer reports it otherwise).
TEST_F(SqliteSurfaceTest, BusyHandlerOutlivesACloseThatWaitsForAStatement) {
    ASSERT_TRUE(db.Execute("create table t (a)"));
    ASSERT_EQ(db.Close(), SQLITE_OK);
    for (const bool v2 : {false, true}) {
        SqliteConnection connection;
        ASSERT_TRUE(connection.Open(path, SqliteConnection::kOpenReadWrite, kUtf8));
        busyAttempts = 0;
        ASSERT_EQ(connection.SetBusyHandler(&GiveUpAfterTwo, &busyAttempts), SQLITE_OK);
        SqliteStatement live = connection.Prepare("insert into t values (1)");
        ASSERT_NE(live.GetHandle(), nullptr);
        sqlite3* const handle = live.DbHandle();
        EXPECT_EQ(v2 ? connection.CloseV2() : connection.Close(), v2 ? SQLITE_OK : SQLITE_BUSY);

        SqliteConnection other;
        ASSERT_TRUE(other.Open(path, SqliteConnection::kOpenReadWrite, kUtf8));
        ASSERT_EQ(other.Begin(2), SQLITE_OK);  // holds an exclusive lock
        EXPECT_EQ(live.StepCode(), SQLITE_BUSY) << "v2: " << v2;
        EXPECT_EQ(busyAttempts, 2) << "the handler ran after the close";
        other.Rollback();
        live.Finalize();  // closes the v2 connection for good
        if (!v2) {
            SqliteConnection owner;  // the refused close left it open
            owner.SetHandle(handle);
            EXPECT_EQ(owner.Close(), SQLITE_OK);
        }
    }
}

TEST_F(SqliteSurfaceTest, FilesAttachmentsAndMissingEntryPoints) {
    // Compared as paths: Windows' SQLite gives backslashes.
    EXPECT_EQ(std::filesystem::path(db.FileName("main", kUtf8)), std::filesystem::path(path));
    EXPECT_EQ(db.IsReadOnly("nosuch"), -1);
    ASSERT_TRUE(db.Attach(test::Gbk(dir.File("other.DB")), "other"));  // an ASCII path
    ASSERT_TRUE(db.Execute("create table other.x (a)"));
    EXPECT_EQ(std::filesystem::path(db.FileName("other", kUtf8)),
              std::filesystem::path(dir.File("other.DB")));
    ASSERT_TRUE(db.Detach("other"));
    // Debian's SQLite has no encryption: these answer with an error, the process goes on.
    EXPECT_FALSE(db.SetKey("secret"));
    EXPECT_FALSE(db.SetKey("secret", std::string("main")));
    EXPECT_FALSE(db.ChangeKey("secret"));
    EXPECT_EQ(db.Configure("legacy", 1), SQLITE_ERROR);
    EXPECT_EQ(db.ConfigureCipher("aes256cbc", "kdf_iter", 1), SQLITE_ERROR);
    EXPECT_EQ(db.CloseV2(), SQLITE_OK);
    EXPECT_EQ(db.CloseV2(), 1);
}

}  // namespace
}  // namespace varo
