#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/GbkText.h"

struct sqlite3;
struct sqlite3_stmt;

namespace varo {

// A prepared SQLite statement. Text crossing it is GBK on the program's side
// unless `raw` says it is UTF-8 already. A statement made by Prepare owns its
// handle and finalizes it when it goes; one from NextStatement only borrows.
class SqliteStatement {
  public:
    SqliteStatement() = default;
    explicit SqliteStatement(sqlite3_stmt* handle, bool owned = true)
        : handle_(handle), owned_(owned) {}
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    sqlite3_stmt* GetHandle() const { return handle_; }
    void SetHandle(sqlite3_stmt* handle, bool owned = true);
    int Finalize();
    std::string Sql(bool raw = false) const;

    // Binds by parameter name (":name", "@name", "$name"); false when the
    // name is unknown or SQLite refuses. Texts and blobs are copied.
    bool BindBlob(std::string_view name, std::string_view bytes);
    bool BindText(std::string_view name, std::string_view text, bool raw = false);
    bool BindInt(std::string_view name, int value);
    bool BindInt64(std::string_view name, std::int64_t value);
    bool BindDouble(std::string_view name, double value);
    bool BindNull(std::string_view name);
    int ClearBindings();
    int ParameterCount() const;
    int ParameterIndex(std::string_view name) const;
    std::string ParameterName(int index, bool raw = false) const;

    bool Step();     // true when a row is there
    int StepCode();  // SQLite's result; 1 without a statement
    // Steps once and gives column 0 of the row, or 0 / empty text.
    std::int64_t StepInt();
    GbkText StepText(bool raw = false);
    int Reset();

    int DataCount() const;
    int ColumnCount() const;
    int ColumnBytes(int column) const;
    std::string ColumnName(int column, bool raw = false) const;
    std::string ColumnTableName(int column, bool raw = false) const;
    std::string ColumnDatabaseName(int column, bool raw = false) const;
    int ColumnIndex(std::string_view name) const;  // -1 when no column has that name
    std::string ColumnDeclType(int column, bool raw = false) const;
    std::string ColumnOriginName(int column, bool raw = false) const;
    int ColumnType(int column) const;
    GbkText ColumnText(int column, bool raw = false) const;
    int ColumnInt(int column) const;
    std::int64_t ColumnInt64(int column) const;
    double ColumnDouble(int column) const;
    std::string ColumnBlob(int column) const;

    std::string ExpandedSql(bool raw = false) const;
    bool IsBusy() const;
    bool IsReadOnly() const;
    sqlite3* DbHandle() const;

    // The number of rows a select statement gives, counted by SQLite with
    // "select count(*) from ..."; 0 for other statements, 1 for a select
    // without a from clause.
    std::int64_t RowCount() const;

  private:
    // A text about a column of the result (name, table, type...), converted.
    std::string ColumnMetadata(const char* (*read)(sqlite3_stmt*, int), int column, bool raw) const;

    sqlite3_stmt* handle_ = nullptr;
    bool owned_ = true;
};

}  // namespace varo
