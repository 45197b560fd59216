#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/ItemMatrix.h"
#include "db/SqliteConnection.h"
#include "platform/SystemError.h"

namespace varo {

struct ItemTable {
    bool ok = false;
    int rows = 0;     // data rows; 0 after a failure or for an empty table
    int columns = 0;  // 0 after a failure or for an empty table
    ItemMatrix matrix;
    std::string error;  // SQLite's message of a failure, GBK
};

// Opens the item database at `path` (file-system encoding) on `connection`
// and reads the whole StdItems table. Never writes to the database.
// With `columns` (1-based positions) only those cells of the data rows are
// read (all column names are); the others
// stay empty, which spares large tables the work the pages never look at.
ItemTable LoadItemTable(SqliteConnection& connection, std::string_view path,
                        const std::vector<int>& columns = {});

// What a file offered as the item database is, judged by its first bytes
// before SQLite is asked to open it (a file dropped on the window, say).
struct DatabaseFileCheck {
    enum class Kind { Database, Folder, NotDatabase, Unreadable };
    Kind kind = Kind::Unreadable;
    SystemError error;  // for Unreadable: the system's reason
};

// An SQLite 3 database begins with "SQLite format 3" and a zero byte; an
// empty file holds no table and is no database either.
DatabaseFileCheck CheckDatabaseFile(const std::string& path);

}  // namespace varo
