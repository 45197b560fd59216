#include "db/SqliteConnection.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "db/SqliteApi.h"
#include "text/CodePage.h"

namespace varo {
namespace {

struct StatementCloser {
    void operator()(sqlite3_stmt* statement) const { VARO_SQLITE(sqlite3_finalize)(statement); }
};

// Appends one cell in the caller's encoding; NULL stays empty.
void AppendCell(ItemMatrix& matrix, const unsigned char* text, int bytes, bool raw) {
    if (text != nullptr) {
        matrix.AppendLibraryText(
            std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes)),
            raw);
    }
}

}  // namespace

SqliteConnection::~SqliteConnection() {
    Close();
}

bool SqliteConnection::Open(std::string_view path, int flags, bool pathIsUtf8) {
    Close();
    const std::string utf8Path = pathIsUtf8 ? std::string(path) : GbkToUtf8(path);
    const int result = VARO_SQLITE(sqlite3_open_v2)(utf8Path.c_str(), &handle_, flags, nullptr);
    return result == SQLITE_OK;
}

bool SqliteConnection::QueryTable(std::string_view sql, ItemMatrix* matrix, int& rows, int& columns,
                                  std::string& error, bool sqlIsUtf8) {
    return RunTableQuery(sql, nullptr, matrix, rows, columns, error, sqlIsUtf8);
}

bool SqliteConnection::QueryTableColumns(std::string_view sql,
                                         const std::vector<int>& wantedColumns, ItemMatrix* matrix,
                                         int& rows, int& columns, std::string& error) {
    return RunTableQuery(sql, &wantedColumns, matrix, rows, columns, error, false);
}

bool SqliteConnection::RunTableQuery(std::string_view sql, const std::vector<int>* wantedColumns,
                                     ItemMatrix* matrix, int& rows, int& columns,
                                     std::string& error, bool sqlIsUtf8) {
    rows = 0;
    columns = 0;
    if (handle_ == nullptr) {
        error = sqlIsUtf8 ? "no database is open" : Utf8ToGbk("no database is open");
        return false;
    }
    const std::string utf8Sql = sqlIsUtf8 ? std::string(sql) : GbkToUtf8(sql);

    // The result is built aside and handed over only when the whole query
    // succeeded, so that a failure leaves the caller's matrix untouched.
    ItemMatrix result;
    std::vector<bool> wanted;
    const char* remaining = utf8Sql.c_str();
    while (*remaining != '\0') {
        sqlite3_stmt* rawStatement = nullptr;
        const char* tail = nullptr;
        if (VARO_SQLITE(sqlite3_prepare_v2)(handle_, remaining, -1, &rawStatement, &tail) !=
            SQLITE_OK) {
            error = ErrorMessage(!sqlIsUtf8);
            rows = columns = 0;
            return false;
        }
        remaining = tail;
        if (rawStatement == nullptr) {
            continue;  // white space or a comment
        }
        std::unique_ptr<sqlite3_stmt, StatementCloser> statement(rawStatement);
        const int statementColumns = VARO_SQLITE(sqlite3_column_count)(rawStatement);
        for (;;) {
            const int step = VARO_SQLITE(sqlite3_step)(rawStatement);
            if (step == SQLITE_DONE) {
                break;
            }
            if (step != SQLITE_ROW) {
                error = ErrorMessage(!sqlIsUtf8);
                rows = columns = 0;
                return false;
            }
            if (columns == 0) {
                columns = statementColumns;
                wanted.assign(static_cast<std::size_t>(columns), wantedColumns == nullptr);
                std::vector<int> kept;
                if (wantedColumns != nullptr) {
                    for (int column = 1; column <= columns; ++column) {
                        if (std::find(wantedColumns->begin(), wantedColumns->end(), column) !=
                            wantedColumns->end()) {
                            wanted[static_cast<std::size_t>(column - 1)] = true;
                            kept.push_back(column);
                        }
                    }
                    if (kept.empty()) {
                        kept.push_back(1);  // keep one column, so that rows are still counted
                        wanted[0] = true;
                    }
                }
                result.Reset(columns, kept);
                for (int k = 0; k < columns; ++k) {
                    const char* name = VARO_SQLITE(sqlite3_column_name)(rawStatement, k);
                    AppendCell(result, reinterpret_cast<const unsigned char*>(name),
                               name != nullptr ? static_cast<int>(std::strlen(name)) : 0,
                               sqlIsUtf8);
                    result.EndCell();
                }
            } else if (statementColumns != columns) {
                // SQLite's own words for statements of unlike shape in one table query.
                error = "sqlite3_get_table() called with two or more incompatible queries";
                rows = columns = 0;
                return false;
            }
            for (int k = 0; k < columns; ++k) {
                if (!wanted[static_cast<std::size_t>(k)]) {
                    continue;
                }
                const unsigned char* text = VARO_SQLITE(sqlite3_column_text)(rawStatement, k);
                const int bytes = VARO_SQLITE(sqlite3_column_bytes)(rawStatement, k);
                AppendCell(result, text, bytes, sqlIsUtf8);
                if (!result.EndCell()) {
                    error = kResultTooLarge;
                    rows = columns = 0;
                    return false;
                }
            }
            ++rows;
        }
    }
    if (columns != 0 && matrix != nullptr) {
        *matrix = std::move(result);
    }
    return true;
}

std::string SqliteConnection::ToLibrary(std::string_view text, bool raw) const {
    return raw ? std::string(text) : GbkToUtf8(text);
}

int SqliteConnection::ErrorCode() const {
    return VARO_SQLITE(sqlite3_errcode)(handle_);
}

std::string SqliteConnection::ErrorMessage(bool convert) const {
    const char* message = VARO_SQLITE(sqlite3_errmsg)(handle_);
    return convert ? Utf8ToGbk(message) : std::string(message);
}

SqliteStatement SqliteConnection::Prepare(std::string_view sql, bool* ok, bool raw) {
    sqlite3_stmt* statement = nullptr;
    const int result = VARO_SQLITE(sqlite3_prepare_v2)(handle_, ToLibrary(sql, raw).c_str(), -1,
                                                       &statement, nullptr);
    if (ok != nullptr) {
        *ok = result == SQLITE_OK;
    }
    return SqliteStatement(statement);
}

int SqliteConnection::Close() {
    return CloseWith(false);
}

int SqliteConnection::CloseWith(bool v2) {
    // With no handle held the library is not touched (not even loaded).
    if (handle_ == nullptr) {
        return 1;
    }
    if (busyRecord_ != nullptr) {
        HandBusyRecordToConnection();
    }
    const int result =
        v2 ? VARO_SQLITE(sqlite3_close_v2)(handle_) : VARO_SQLITE(sqlite3_close)(handle_);
    handle_ = nullptr;
    return result;
}

void SqliteConnection::HandBusyRecordToConnection() {
    // SQLite may call the busy handler after a close: sqlite3_close refuses to
    // close while statements live, and sqlite3_close_v2 waits for them. So the
    // connection itself owns the record from here on, as the user data of a
    // function that does nothing; SQLite frees it when the connection is gone.
    const auto nothing = [](sqlite3_context*, int, sqlite3_value**) {};
    const auto release = [](void* record) { std::free(record); };
    const int result =
        VARO_SQLITE(sqlite3_create_function_v2)(handle_, "varo_busy_record", 0, SQLITE_UTF8,
                                                busyRecord_, +nothing, nullptr, nullptr, +release);
    if (result != SQLITE_OK) {
        // SQLite has freed the record already: no busy handler may use it.
        VARO_SQLITE(sqlite3_busy_handler)(handle_, nullptr, nullptr);
    }
    busyRecord_ = nullptr;
}

}  // namespace varo
