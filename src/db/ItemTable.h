#pragma once

#include <string>
#include <string_view>

#include "db/ItemMatrix.h"
#include "db/SqliteConnection.h"

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
ItemTable LoadItemTable(SqliteConnection& connection, std::string_view path);

}  // namespace varo
