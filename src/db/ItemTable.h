#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "db/ItemMatrix.h"
#include "db/SqliteConnection.h"
#include "platform/SystemError.h"

namespace varo {

// What a path offered as the item database names, judged by its first
// bytes before SQLite is asked to open it. Both front ends phrase this one
// reading of a bad path.
struct DatabaseFileCheck {
    enum class Kind {
        Database,
        Missing,  // no such file (or a part of the path is missing)
        Folder,
        NotRegularFile,  // a pipe, a device: never opened for reading
        Empty,           // zero bytes: no SQLite database
        NotDatabase,     // no SQLite 3 header
        Unreadable,      // error holds the system's reason
    };
    Kind kind = Kind::Unreadable;
    SystemError error;  // for Missing and Unreadable: the system's reason
};

// An SQLite 3 database begins with "SQLite format 3" and a zero byte; an
// empty file holds no table and is no database either.
DatabaseFileCheck CheckDatabaseFile(const std::string& path);

struct ItemTable {
    // Why a load failed: the file is no database, the database has no
    // StdItems table, or SQLite failed (sqliteCode).
    // TooLarge: more than a load may hold (LargestItemTable).
    // Cancelled: the caller's cancel flag was set while the load ran.
    enum class Problem { None, File, NoTable, Sqlite, TooLarge, Cancelled };

    bool ok = false;
    int rows = 0;     // data rows; 0 after a failure or for an empty table
    int columns = 0;  // 0 after a failure or for an empty table
    ItemMatrix matrix;
    Problem problem = Problem::None;
    DatabaseFileCheck file;  // the path as it was checked before SQLite opened it
    int sqliteCode = 0;      // SQLite's primary result code of a failure (SQLITE_BUSY …)
    GbkText error;           // SQLite's message of a failure
};

// How long a load waits for a database another program holds locked (the
// game server writing) before it fails as busy.
inline constexpr int kItemTableBusyMilliseconds = 5000;

// Checks the file at `path` (file-system encoding), opens it as the item
// database on `connection` and reads the whole StdItems table. Only a select
// runs on it (opening it lets SQLite roll back a journal a crash left, as
// any SQLite program does). With `columns` (1-based positions) only those cells of
// the data rows are read (all column names are); the others stay empty,
// which spares large tables the work the pages never look at.
// With `cancel`, setting it from another thread ends the load within
// moments, also while it waits for a lock (Problem::Cancelled); the
// connection must not be used elsewhere while the load runs.
ItemTable LoadItemTable(SqliteConnection& connection, std::string_view path,
                        const std::vector<int>& columns = {},
                        const std::atomic<bool>* cancel = nullptr);

}  // namespace varo
