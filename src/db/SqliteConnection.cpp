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

// Appends one cell as GBK; NULL stays empty.
void AppendCell(ItemMatrix& matrix, const unsigned char* text, int bytes) {
    if (text != nullptr) {
        matrix.AppendLibraryText(
            std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes)));
    }
}

}  // namespace

SqliteConnection::~SqliteConnection() {
    Close();
}

bool SqliteConnection::Open(std::string_view utf8Path, int flags, Utf8Form) {
    Close();
    const int result =
        VARO_SQLITE(sqlite3_open_v2)(std::string(utf8Path).c_str(), &handle_, flags, nullptr);
    return result == SQLITE_OK;
}

bool SqliteConnection::Open(GbkView path, int flags) {
    return Open(GbkToUtf8(path), flags, kUtf8);
}

bool SqliteConnection::QueryTable(GbkView sql, ItemMatrix* matrix, int& rows, int& columns,
                                  GbkText& error) {
    return RunTableQuery(sql, nullptr, matrix, rows, columns, error);
}

bool SqliteConnection::QueryTableColumns(GbkView sql, const std::vector<int>& wantedColumns,
                                         ItemMatrix* matrix, int& rows, int& columns,
                                         GbkText& error) {
    return RunTableQuery(sql, &wantedColumns, matrix, rows, columns, error);
}

bool SqliteConnection::RunTableQuery(GbkView sql, const std::vector<int>* wantedColumns,
                                     ItemMatrix* matrix, int& rows, int& columns, GbkText& error) {
    rows = 0;
    columns = 0;
    if (handle_ == nullptr) {
        error = GbkText(GbkView("no database is open"));
        return false;
    }
    const std::string utf8Sql = GbkToUtf8(sql);

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
            error = ErrorMessage();
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
                error = ErrorMessage();
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
                               name != nullptr ? static_cast<int>(std::strlen(name)) : 0);
                    result.EndCell();
                }
            } else if (statementColumns != columns) {
                // SQLite's own words for statements of unlike shape in one table query.
                error = GbkText(
                    GbkView("sqlite3_get_table() called with two or more incompatible queries"));
                rows = columns = 0;
                return false;
            }
            for (int k = 0; k < columns; ++k) {
                if (!wanted[static_cast<std::size_t>(k)]) {
                    continue;
                }
                const unsigned char* text = VARO_SQLITE(sqlite3_column_text)(rawStatement, k);
                const int bytes = VARO_SQLITE(sqlite3_column_bytes)(rawStatement, k);
                AppendCell(result, text, bytes);
                if (!result.EndCell()) {
                    error = GbkText(kResultTooLarge);
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

int SqliteConnection::ErrorCode() const {
    return VARO_SQLITE(sqlite3_errcode)(handle_);
}

std::string SqliteConnection::ErrorMessage(Utf8Form) const {
    return VARO_SQLITE(sqlite3_errmsg)(handle_);
}

GbkText SqliteConnection::ErrorMessage() const {
    return Utf8ToGbk(ErrorMessage(kUtf8));
}

SqliteStatement SqliteConnection::Prepare(std::string_view sql, bool* ok, Utf8Form) {
    sqlite3_stmt* statement = nullptr;
    const int result =
        VARO_SQLITE(sqlite3_prepare_v2)(handle_, std::string(sql).c_str(), -1, &statement, nullptr);
    if (ok != nullptr) {
        *ok = result == SQLITE_OK;
    }
    return SqliteStatement(statement);
}

SqliteStatement SqliteConnection::Prepare(GbkView sql, bool* ok) {
    return Prepare(GbkToUtf8(sql), ok, kUtf8);
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
