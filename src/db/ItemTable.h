#pragma once

#include <string>
#include <string_view>
#include <vector>

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
// With `columns` (1-based positions) only those cells of the data rows are
// read (all column names are); the others
// stay empty, which spares large tables the work the pages never look at.
ItemTable LoadItemTable(SqliteConnection& connection, std::string_view path,
                        const std::vector<int>& columns = {});

}  // namespace varo
