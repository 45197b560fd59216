#include "db/ItemTable.h"

namespace varo {

ItemTable LoadItemTable(SqliteConnection& connection, std::string_view path,
                        const std::vector<int>& columns) {
    ItemTable table;
    // The open result is not looked at: a failed open shows itself as a failed query.
    connection.Open(path, SqliteConnection::kOpenReadWrite, /*pathIsUtf8=*/true);
    constexpr std::string_view kQuery = "select * from StdItems";
    table.ok =
        columns.empty()
            ? connection.QueryTable(kQuery, &table.matrix, table.rows, table.columns, table.error)
            : connection.QueryTableColumns(kQuery, columns, &table.matrix, table.rows,
                                           table.columns, table.error);
    return table;
}

}  // namespace varo
