#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/GbkText.h"

struct sqlite3;
struct sqlite3_stmt;

namespace varo {

// A prepared SQLite statement. Text crossing it is GBK on the program's side;
// the overloads taking kUtf8 pass UTF-8 text as it is. Parameter and column
// names given to look one up are passed as they are. A statement made by
// Prepare owns its handle and finalizes it when it goes; one from
// NextStatement only borrows.
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
    GbkText Sql() const;
    std::string Sql(Utf8Form) const;

    // Binds by parameter name (":name", "@name", "$name"); false when the
    // name is unknown or SQLite refuses. Texts and blobs are copied.
    bool BindBlob(std::string_view name, std::string_view bytes);
    bool BindText(std::string_view name, GbkView text);
    bool BindText(std::string_view name, std::string_view text, Utf8Form);
    bool BindInt(std::string_view name, int value);
    bool BindInt64(std::string_view name, std::int64_t value);
    bool BindDouble(std::string_view name, double value);
    bool BindNull(std::string_view name);
    int ClearBindings();
    int ParameterCount() const;
    int ParameterIndex(std::string_view name) const;
    GbkText ParameterName(int index) const;
    std::string ParameterName(int index, Utf8Form) const;

    bool Step();     // true when a row is there
    int StepCode();  // SQLite's result; 1 without a statement
    // Steps once and gives column 0 of the row, or 0 / empty text.
    std::int64_t StepInt();
    GbkText StepText();
    std::string StepText(Utf8Form);
    int Reset();

    int DataCount() const;
    int ColumnCount() const;
    int ColumnBytes(int column) const;
    GbkText ColumnName(int column) const;
    std::string ColumnName(int column, Utf8Form) const;
    GbkText ColumnTableName(int column) const;
    std::string ColumnTableName(int column, Utf8Form) const;
    GbkText ColumnDatabaseName(int column) const;
    std::string ColumnDatabaseName(int column, Utf8Form) const;
    int ColumnIndex(std::string_view name) const;  // -1 when no column has that name
    GbkText ColumnDeclType(int column) const;
    std::string ColumnDeclType(int column, Utf8Form) const;
    GbkText ColumnOriginName(int column) const;
    std::string ColumnOriginName(int column, Utf8Form) const;
    int ColumnType(int column) const;
    GbkText ColumnText(int column) const;
    std::string ColumnText(int column, Utf8Form) const;
    int ColumnInt(int column) const;
    std::int64_t ColumnInt64(int column) const;
    double ColumnDouble(int column) const;
    std::string ColumnBlob(int column) const;

    GbkText ExpandedSql() const;
    std::string ExpandedSql(Utf8Form) const;
    bool IsBusy() const;
    bool IsReadOnly() const;
    sqlite3* DbHandle() const;

    // The number of rows a select statement gives, counted by SQLite with
    // "select count(*) from ..."; 0 for other statements, 1 for a select
    // without a from clause.
    std::int64_t RowCount() const;

  private:
    // A text about a column of the result (name, table, type...) as SQLite gives it.
    std::string ColumnMetadata(const char* (*read)(sqlite3_stmt*, int), int column) const;

    sqlite3_stmt* handle_ = nullptr;
    bool owned_ = true;
};

}  // namespace varo
