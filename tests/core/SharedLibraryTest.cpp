#include "platform/SharedLibrary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/SqliteApi.h"
#include "db/SqliteConnection.h"

namespace varo {
namespace {

using testing::HasSubstr;

// exit(-1): status 255 where exit statuses are a byte, -1 on Windows.
bool ExitedWithMinusOne(int status) {
    return testing::ExitedWithCode(255)(status) || testing::ExitedWithCode(-1)(status);
}

TEST(SharedLibraryDeathTest, MissingLibraryEndsTheProcessWithMinusOne) {
    EXPECT_EXIT(
        {
            SharedLibrary library("libvaro-absent.so.0");
            library.Symbol("sqlite3_open_v2");
        },
        ExitedWithMinusOne,
        HasSubstr("无法找到指定DLL库文件“libvaro-absent.so.0”中的输出命令“sqlite3_open_v2”"));
}

TEST(SharedLibraryDeathTest, MissingEntryPointEndsTheProcessWithMinusOne) {
    EXPECT_EXIT(sqlite::Library().Symbol("sqlite3_no_such_function"), ExitedWithMinusOne,
                HasSubstr(std::string("无法找到指定DLL库文件“") + kSqliteLibraryFileName +
                          "”中的输出命令“sqlite3_no_such_function”"));
}

TEST(SharedLibrary, TrySymbolAnswersNullInsteadOfEnding) {
    SharedLibrary absent("libvaro-absent.so.0");
    EXPECT_EQ(absent.TrySymbol("anything"), nullptr);
    EXPECT_FALSE(absent.IsLoaded());
    EXPECT_NE(sqlite::Library().TrySymbol("sqlite3_libversion"), nullptr);
    EXPECT_EQ(sqlite::Library().TrySymbol("sqlite3_no_such_function"), nullptr);
}

TEST(SharedLibraryDeathTest, ClosingWithoutAConnectionNeverLoadsSqlite) {
    // A fresh process: the death test re-runs only this test.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SqliteConnection connection;
            const int result = connection.Close();
            std::exit(result == 1 && !sqlite::Library().IsLoaded() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace varo
