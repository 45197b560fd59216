#include "db/ItemTable.h"

#include <algorithm>

#include <optional>

#include "db/SqliteApi.h"
#include "text/CodePage.h"

namespace varo {
namespace {

constexpr std::string_view kQuery = "select * from StdItems";

std::string QuotedName(std::string_view name) {
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// The StdItems table read as "select *" would read it, but asking SQLite for
// the wanted columns only, by the names "select *" gives them, in the same
// full-table scan. Nothing when that cannot be done (a view, no such table, a
// failed step): the caller then runs the plain query, which reports for itself.
std::optional<ItemTable> LoadColumns(SqliteConnection& connection, const std::vector<int>& wanted) {
    bool ok = false;
    const SqliteStatement all = connection.Prepare(kQuery, &ok);
    if (!ok) {
        return std::nullopt;
    }
    const int columns = all.ColumnCount();
    std::vector<int> positions;  // 0-based, in the order of the projection
    std::string sql = "select ";
    for (int column = 0; column < columns; ++column) {
        if (std::find(wanted.begin(), wanted.end(), column + 1) != wanted.end()) {
            if (!positions.empty()) {
                sql += ", ";
            }
            sql += QuotedName(all.ColumnName(column, true));
            positions.push_back(column);
        }
    }
    if (positions.empty()) {
        return std::nullopt;
    }
    // NOT INDEXED keeps the row order of the plain scan: no covering index is used.
    SqliteStatement projection = connection.Prepare(sql + " from StdItems not indexed", &ok, true);
    if (!ok) {
        return std::nullopt;
    }
    ItemTable table;
    table.ok = true;
    ItemMatrix& matrix = table.matrix;
    std::vector<int> kept;
    for (const int position : positions) {
        kept.push_back(position + 1);
    }
    matrix.Reset(columns, kept);
    for (int column = 0; column < columns; ++column) {
        matrix.CellBuffer() += all.ColumnName(column);
        matrix.EndCell();
    }
    for (int step = projection.StepCode(); step != 101 /* SQLITE_DONE */;
         step = projection.StepCode()) {
        if (step != 100 /* SQLITE_ROW */) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const int column = static_cast<int>(i);
            const auto* text = VARO_SQLITE(sqlite3_column_text)(projection.GetHandle(), column);
            const int bytes = VARO_SQLITE(sqlite3_column_bytes)(projection.GetHandle(), column);
            if (text != nullptr) {
                AppendUtf8AsGbk(matrix.CellBuffer(),
                                std::string_view(reinterpret_cast<const char*>(text),
                                                 static_cast<std::size_t>(bytes)));
            }
            if (!matrix.EndCell()) {
                return std::nullopt;
            }
        }
        ++table.rows;
    }
    if (table.rows == 0) {
        return ItemTable{
            true, 0, 0, ItemMatrix(), {}};  // no rows: no columns, as the plain query says
    }
    table.columns = columns;
    return table;
}

}  // namespace

ItemTable LoadItemTable(SqliteConnection& connection, std::string_view path,
                        const std::vector<int>& columns) {
    ItemTable table;
    // The open result is not looked at: a failed open shows itself as a failed query.
    connection.Open(path, SqliteConnection::kOpenReadWrite, /*pathIsUtf8=*/true);
    if (!columns.empty()) {
        if (std::optional<ItemTable> projected = LoadColumns(connection, columns)) {
            return std::move(*projected);
        }
    }
    table.ok =
        columns.empty()
            ? connection.QueryTable(kQuery, &table.matrix, table.rows, table.columns, table.error)
            : connection.QueryTableColumns(kQuery, columns, &table.matrix, table.rows,
                                           table.columns, table.error);
    return table;
}

}  // namespace varo
