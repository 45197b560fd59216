#include "db/ItemTable.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

#include "db/SqliteApi.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "text/Ascii.h"
#include "text/CodePage.h"

namespace varo {
namespace {

constexpr GbkView kQuery{"select * from StdItems"};

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

// True when `sql` runs as one plain scan of the StdItems table itself: no
// index, no view, no sorting. Two such queries visit the rows in one order.
bool IsPlainTableScan(SqliteConnection& connection, const std::string& sql) {
    bool ok = false;
    SqliteStatement plan = connection.Prepare("explain query plan " + sql, &ok, kUtf8);
    if (!ok || !plan.Step()) {
        return false;
    }
    // The plan's fourth column describes the step: "SCAN StdItems", and
    // "... USING [COVERING] INDEX ..." when an index decides the order.
    const std::string detail = plan.ColumnText(3, kUtf8);
    constexpr std::string_view kPlainScan = "scan stditems";
    const bool plain = detail.size() == kPlainScan.size() &&
                       std::equal(detail.begin(), detail.end(), kPlainScan.begin(),
                                  [](char a, char b) { return AsciiLower(a) == b; });
    return plain && !plan.Step();
}

// The StdItems table read as "select *" would read it, but asking SQLite for
// the wanted columns only, by the names "select *" gives them. Done only where
// both queries are provably the same plain scan of one table, so the rows come
// in the same order. Nothing otherwise (a view, a WITHOUT ROWID table read
// through an index, no such table, a failed step): the caller then steps the
// plain query itself, which also reports its own errors.
std::optional<ItemTable> LoadColumns(SqliteConnection& connection, const std::vector<int>& wanted) {
    bool ok = false;
    const SqliteStatement all = connection.Prepare(kQuery, &ok);
    if (!ok || !IsPlainTableScan(connection, std::string(kQuery.Bytes()))) {
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
            sql += QuotedName(all.ColumnName(column, kUtf8));
            positions.push_back(column);
        }
    }
    if (positions.empty()) {
        return std::nullopt;
    }
    sql += " from StdItems not indexed";
    if (!IsPlainTableScan(connection, sql)) {
        return std::nullopt;
    }
    SqliteStatement projection = connection.Prepare(sql, &ok, kUtf8);
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
                matrix.AppendLibraryText(std::string_view(reinterpret_cast<const char*>(text),
                                                          static_cast<std::size_t>(bytes)));
            }
            if (!matrix.EndCell()) {
                return std::nullopt;
            }
        }
        ++table.rows;
    }
    if (table.rows == 0) {
        ItemTable empty;  // no rows: no columns, as the plain query says
        empty.ok = true;
        return empty;
    }
    table.columns = columns;
    return table;
}

// What the busy and progress handlers of one load look at.
struct LoadWatch {
    const std::atomic<bool>* cancel;
    std::chrono::steady_clock::time_point started;
};

bool Cancelled(const LoadWatch& watch) {
    return watch.cancel != nullptr && watch.cancel->load(std::memory_order_relaxed);
}

// Waits for a lock in short steps, so that a cancel is seen at once: SQLite's
// own busy timeout sleeps through it.
int WaitWhileBusy(void* user, int /*attempts*/) {
    const auto& watch = *static_cast<const LoadWatch*>(user);
    if (Cancelled(watch) || std::chrono::steady_clock::now() - watch.started >
                                std::chrono::milliseconds(kItemTableBusyMilliseconds)) {
        return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return 1;
}

// Called by SQLite every few thousand steps of a query: non-zero ends it as
// interrupted. Unlike sqlite3_interrupt it cannot miss a cancel set before
// the query began.
int StopWhenCancelled(void* user) {
    return Cancelled(*static_cast<const LoadWatch*>(user)) ? 1 : 0;
}

}  // namespace

ItemTable LoadItemTable(SqliteConnection& connection, std::string_view path,
                        const std::vector<int>& columns, const std::atomic<bool>* cancel) {
    ItemTable table;
    // A pipe would hang SQLite's first read, an empty file would open as an
    // empty database: neither gets that far.
    table.file = CheckDatabaseFile(std::string(path));
    if (table.file.kind != DatabaseFileCheck::Kind::Database) {
        table.problem = ItemTable::Problem::File;
        return table;
    }
    // The open result is not looked at: a failed open shows itself as a failed query.
    // Opened in the form the check above read, so that SQLite opens that very file.
    connection.Open(ExactPath(path), SqliteConnection::kOpenReadWrite, kUtf8);
    // The game server may be writing this moment: its lock is waited for a while.
    LoadWatch watch{cancel, std::chrono::steady_clock::now()};
    sqlite3* const handle = connection.GetHandle();
    if (handle != nullptr) {
        VARO_SQLITE(sqlite3_busy_handler)(handle, &WaitWhileBusy, &watch);
        VARO_SQLITE(sqlite3_progress_handler)(handle, 4096, &StopWhenCancelled, &watch);
    }
    // The handlers point at this frame: they go with it.
    struct Unwatch {
        sqlite3* handle;
        ~Unwatch() {
            if (handle != nullptr) {
                VARO_SQLITE(sqlite3_busy_handler)(handle, nullptr, nullptr);
                VARO_SQLITE(sqlite3_progress_handler)(handle, 0, nullptr, nullptr);
            }
        }
    } unwatch{handle};
    if (!columns.empty()) {
        if (std::optional<ItemTable> projected = LoadColumns(connection, columns)) {
            projected->file = table.file;
            return std::move(*projected);
        }
    }
    table.ok =
        columns.empty()
            ? connection.QueryTable(kQuery, &table.matrix, table.rows, table.columns, table.error)
            : connection.QueryTableColumns(kQuery, columns, &table.matrix, table.rows,
                                           table.columns, table.error);
    if (!table.ok) {
        table.sqliteCode = connection.GetHandle() != nullptr ? connection.ErrorCode() & 0xFF : 0;
        // "no such table: StdItems", SQLite's words for a database without the table.
        const bool noTable = table.sqliteCode == 1 /* SQLITE_ERROR */ &&
                             table.error.Bytes().find("no such table") != std::string::npos;
        table.problem = Cancelled(watch)                 ? ItemTable::Problem::Cancelled
                        : noTable                        ? ItemTable::Problem::NoTable
                        : table.error == kResultTooLarge ? ItemTable::Problem::TooLarge
                                                         : ItemTable::Problem::Sqlite;
    }
    return table;
}

DatabaseFileCheck CheckDatabaseFile(const std::string& path) {
    static constexpr std::string_view kHeader("SQLite format 3\0", 16);
    InputFile file;
    SystemError error;
    if (!file.Open(path, error)) {
        using Kind = DatabaseFileCheck::Kind;
        const Kind kind = error.kind == EISDIR                            ? Kind::Folder
                          : error.kind == kNotRegularFile                 ? Kind::NotRegularFile
                          : error.kind == ENOENT || error.kind == ENOTDIR ? Kind::Missing
                                                                          : Kind::Unreadable;
        return {kind, error};
    }
    if (file.Size() == 0) {
        return {DatabaseFileCheck::Kind::Empty, {}};
    }
    char header[16];
    std::size_t filled = 0;
    while (filled < sizeof header) {
        const std::int64_t count = file.Read(header + filled, sizeof header - filled, error);
        if (count < 0) {
            return {DatabaseFileCheck::Kind::Unreadable, error};
        }
        if (count == 0) {
            break;
        }
        filled += static_cast<std::size_t>(count);
    }
    return {std::string_view(header, filled) == kHeader ? DatabaseFileCheck::Kind::Database
                                                        : DatabaseFileCheck::Kind::NotDatabase,
            {}};
}

}  // namespace varo
