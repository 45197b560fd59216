#include "db/ItemTable.h"

namespace varo {

ItemTable LoadItemTable(SqliteConnection& connection, std::string_view path) {
    ItemTable table;
    // The open result is not looked at: a failed open shows itself as a failed query.
    connection.Open(path, SqliteConnection::kOpenReadWrite, /*pathIsUtf8=*/true);
    table.ok = connection.QueryTable("select * from StdItems", &table.matrix, table.rows,
                                     table.columns, table.error);
    return table;
}

}  // namespace varo
