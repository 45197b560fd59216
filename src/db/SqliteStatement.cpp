#include "db/SqliteStatement.h"

#include <strings.h>

#include <utility>

#include "db/SqliteApi.h"
#include "text/CodePage.h"

namespace varo {
namespace {

std::string FromLibrary(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

std::string FromLibrary(const unsigned char* text) {
    return FromLibrary(reinterpret_cast<const char*>(text));
}

}  // namespace

std::string SqliteStatement::ColumnMetadata(const char* (*read)(sqlite3_stmt*, int),
                                            int column) const {
    return handle_ != nullptr ? FromLibrary(read(handle_, column)) : std::string();
}

SqliteStatement::~SqliteStatement() {
    Finalize();
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), owned_(other.owned_) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        Finalize();
        handle_ = std::exchange(other.handle_, nullptr);
        owned_ = other.owned_;
    }
    return *this;
}

void SqliteStatement::SetHandle(sqlite3_stmt* handle, bool owned) {
    handle_ = handle;
    owned_ = owned;
}

int SqliteStatement::Finalize() {
    if (handle_ == nullptr) {
        return SQLITE_OK;
    }
    const int result = owned_ ? VARO_SQLITE(sqlite3_finalize)(handle_) : SQLITE_OK;
    handle_ = nullptr;
    return result;
}

std::string SqliteStatement::Sql(Utf8Form) const {
    return handle_ != nullptr ? FromLibrary(VARO_SQLITE(sqlite3_sql)(handle_)) : std::string();
}

GbkText SqliteStatement::Sql() const {
    return Utf8ToGbk(Sql(kUtf8));
}

bool SqliteStatement::BindBlob(std::string_view name, std::string_view bytes) {
    const int index = ParameterIndex(name);
    return index > 0 && VARO_SQLITE(sqlite3_bind_blob64)(handle_, index, bytes.data(), bytes.size(),
                                                         SQLITE_TRANSIENT) == SQLITE_OK;
}

bool SqliteStatement::BindText(std::string_view name, std::string_view utf8, Utf8Form) {
    const int index = ParameterIndex(name);
    return index > 0 &&
           VARO_SQLITE(sqlite3_bind_text64)(handle_, index, utf8.data(), utf8.size(),
                                            SQLITE_TRANSIENT, SQLITE_UTF8) == SQLITE_OK;
}

bool SqliteStatement::BindText(std::string_view name, GbkView text) {
    return BindText(name, GbkToUtf8(text), kUtf8);
}

bool SqliteStatement::BindInt(std::string_view name, int value) {
    const int index = ParameterIndex(name);
    return index > 0 && VARO_SQLITE(sqlite3_bind_int)(handle_, index, value) == SQLITE_OK;
}

bool SqliteStatement::BindInt64(std::string_view name, std::int64_t value) {
    const int index = ParameterIndex(name);
    return index > 0 && VARO_SQLITE(sqlite3_bind_int64)(handle_, index, value) == SQLITE_OK;
}

bool SqliteStatement::BindDouble(std::string_view name, double value) {
    const int index = ParameterIndex(name);
    return index > 0 && VARO_SQLITE(sqlite3_bind_double)(handle_, index, value) == SQLITE_OK;
}

bool SqliteStatement::BindNull(std::string_view name) {
    const int index = ParameterIndex(name);
    return index > 0 && VARO_SQLITE(sqlite3_bind_null)(handle_, index) == SQLITE_OK;
}

int SqliteStatement::ClearBindings() {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_clear_bindings)(handle_) : SQLITE_MISUSE;
}

int SqliteStatement::ParameterCount() const {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_bind_parameter_count)(handle_) : 0;
}

int SqliteStatement::ParameterIndex(std::string_view name) const {
    if (handle_ == nullptr) {
        return 0;
    }
    return VARO_SQLITE(sqlite3_bind_parameter_index)(handle_, std::string(name).c_str());
}

std::string SqliteStatement::ParameterName(int index, Utf8Form) const {
    return handle_ != nullptr
               ? FromLibrary(VARO_SQLITE(sqlite3_bind_parameter_name)(handle_, index))
               : std::string();
}

GbkText SqliteStatement::ParameterName(int index) const {
    return Utf8ToGbk(ParameterName(index, kUtf8));
}

bool SqliteStatement::Step() {
    return StepCode() == SQLITE_ROW;
}

int SqliteStatement::StepCode() {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_step)(handle_) : SQLITE_ERROR;
}

std::int64_t SqliteStatement::StepInt() {
    return Step() ? ColumnInt64(0) : 0;
}

GbkText SqliteStatement::StepText() {
    return Step() ? ColumnText(0) : GbkText();
}

std::string SqliteStatement::StepText(Utf8Form) {
    return Step() ? ColumnText(0, kUtf8) : std::string();
}

int SqliteStatement::Reset() {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_reset)(handle_) : SQLITE_MISUSE;
}

int SqliteStatement::DataCount() const {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_data_count)(handle_) : 0;
}

int SqliteStatement::ColumnCount() const {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_column_count)(handle_) : 0;
}

int SqliteStatement::ColumnBytes(int column) const {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_column_bytes)(handle_, column) : 0;
}

std::string SqliteStatement::ColumnName(int column, Utf8Form) const {
    return ColumnMetadata(VARO_SQLITE(sqlite3_column_name), column);
}

GbkText SqliteStatement::ColumnName(int column) const {
    return Utf8ToGbk(ColumnName(column, kUtf8));
}

std::string SqliteStatement::ColumnTableName(int column, Utf8Form) const {
    return ColumnMetadata(VARO_SQLITE(sqlite3_column_table_name), column);
}

GbkText SqliteStatement::ColumnTableName(int column) const {
    return Utf8ToGbk(ColumnTableName(column, kUtf8));
}

std::string SqliteStatement::ColumnDatabaseName(int column, Utf8Form) const {
    return ColumnMetadata(VARO_SQLITE(sqlite3_column_database_name), column);
}

GbkText SqliteStatement::ColumnDatabaseName(int column) const {
    return Utf8ToGbk(ColumnDatabaseName(column, kUtf8));
}

int SqliteStatement::ColumnIndex(std::string_view name) const {
    for (int column = 0; column < ColumnCount(); ++column) {
        const char* columnName = VARO_SQLITE(sqlite3_column_name)(handle_, column);
        if (columnName != nullptr && name == columnName) {
            return column;
        }
    }
    return -1;
}

std::string SqliteStatement::ColumnDeclType(int column, Utf8Form) const {
    return ColumnMetadata(VARO_SQLITE(sqlite3_column_decltype), column);
}

GbkText SqliteStatement::ColumnDeclType(int column) const {
    return Utf8ToGbk(ColumnDeclType(column, kUtf8));
}

std::string SqliteStatement::ColumnOriginName(int column, Utf8Form) const {
    return ColumnMetadata(VARO_SQLITE(sqlite3_column_origin_name), column);
}

GbkText SqliteStatement::ColumnOriginName(int column) const {
    return Utf8ToGbk(ColumnOriginName(column, kUtf8));
}

int SqliteStatement::ColumnType(int column) const {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_column_type)(handle_, column) : SQLITE_NULL;
}

std::string SqliteStatement::ColumnText(int column, Utf8Form) const {
    return handle_ != nullptr ? FromLibrary(VARO_SQLITE(sqlite3_column_text)(handle_, column))
                              : std::string();
}

GbkText SqliteStatement::ColumnText(int column) const {
    return Utf8ToGbk(ColumnText(column, kUtf8));
}

int SqliteStatement::ColumnInt(int column) const {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_column_int)(handle_, column) : 0;
}

std::int64_t SqliteStatement::ColumnInt64(int column) const {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_column_int64)(handle_, column) : 0;
}

double SqliteStatement::ColumnDouble(int column) const {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_column_double)(handle_, column) : 0.0;
}

std::string SqliteStatement::ColumnBlob(int column) const {
    if (handle_ == nullptr) {
        return {};
    }
    const void* bytes = VARO_SQLITE(sqlite3_column_blob)(handle_, column);
    const int size = VARO_SQLITE(sqlite3_column_bytes)(handle_, column);
    return bytes != nullptr
               ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size))
               : std::string();
}

std::string SqliteStatement::ExpandedSql(Utf8Form) const {
    if (handle_ == nullptr) {
        return {};
    }
    char* expanded = VARO_SQLITE(sqlite3_expanded_sql)(handle_);
    std::string text = FromLibrary(expanded);
    VARO_SQLITE(sqlite3_free)(expanded);
    return text;
}

GbkText SqliteStatement::ExpandedSql() const {
    return Utf8ToGbk(ExpandedSql(kUtf8));
}

bool SqliteStatement::IsBusy() const {
    return handle_ != nullptr && VARO_SQLITE(sqlite3_stmt_busy)(handle_) != 0;
}

bool SqliteStatement::IsReadOnly() const {
    return handle_ != nullptr && VARO_SQLITE(sqlite3_stmt_readonly)(handle_) != 0;
}

sqlite3* SqliteStatement::DbHandle() const {
    return handle_ != nullptr ? VARO_SQLITE(sqlite3_db_handle)(handle_) : nullptr;
}

std::int64_t SqliteStatement::RowCount() const {
    const std::string sql = ExpandedSql(kUtf8);
    if (sql.size() < 6 || ::strncasecmp(sql.c_str(), "select", 6) != 0) {
        return 0;
    }
    // The first "from" outside every parenthesis starts the part to count.
    int depth = 0;
    std::size_t from = std::string::npos;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] == '(') {
            ++depth;
        } else if (sql[i] == ')') {
            --depth;
        } else if (depth == 0 && ::strncasecmp(sql.c_str() + i, "from", 4) == 0) {
            from = i;
            break;
        }
    }
    if (from == std::string::npos) {
        return 1;
    }
    const std::string count = "select count(*) " + sql.substr(from);
    sqlite3_stmt* statement = nullptr;
    if (VARO_SQLITE(sqlite3_prepare_v2)(DbHandle(), count.c_str(), -1, &statement, nullptr) !=
        SQLITE_OK) {
        VARO_SQLITE(sqlite3_finalize)(statement);
        return 0;
    }
    const std::int64_t rows = VARO_SQLITE(sqlite3_step)(statement) == SQLITE_ROW
                                  ? VARO_SQLITE(sqlite3_column_int64)(statement, 0)
                                  : 0;
    VARO_SQLITE(sqlite3_finalize)(statement);
    return rows;
}

}  // namespace varo
