#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/ItemMatrix.h"

struct sqlite3;

namespace varo {

// One SQLite connection. Text crossing this class is GBK on the program's side
// and UTF-8 on the library's, unless a caller says its text is UTF-8 already.
class SqliteConnection {
public:
    static constexpr int kOpenReadWrite = 0x00000002;  // SQLITE_OPEN_READWRITE: never creates

    SqliteConnection() = default;
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    // Opens `path`; a connection held before is closed first. The handle the
    // library gives back is kept even when the open fails, so that a following
    // query reports the failure.
    bool Open(std::string_view path, int flags = kOpenReadWrite, bool pathIsUtf8 = false);

    // Runs `sql` and copies its whole result into `matrix` (if given): column
    // names in row 1, then the rows, NULL as empty text. `rows` and `columns`
    // receive the counts; a query that yields no row gives 0 columns and leaves
    // the matrix untouched, as does a failure, which also fills `error`.
    bool QueryTable(std::string_view sql, ItemMatrix* matrix, int& rows, int& columns,
                    std::string& error, bool sqlIsUtf8 = false);

    // QueryTable that copies only the cells of the given 1-based columns (in
    // any order); the other cells of the matrix stay empty. Row and column
    // counts are those of the whole result. For large tables whose callers
    // read a few columns.
    bool QueryTableColumns(std::string_view sql, const std::vector<int>& wantedColumns,
                           ItemMatrix* matrix, int& rows, int& columns, std::string& error);

    // Closes the connection: 1 when none is held, else SQLite's result code.
    int Close();

    sqlite3* GetHandle() const { return handle_; }
    void SetHandle(sqlite3* handle) { handle_ = handle; }

private:
    bool RunTableQuery(std::string_view sql, const std::vector<int>* wantedColumns, ItemMatrix* matrix,
                       int& rows, int& columns, std::string& error, bool sqlIsUtf8);

    sqlite3* handle_ = nullptr;
};

}  // namespace varo
