#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/ItemMatrix.h"
#include "db/SqliteStatement.h"
#include "db/SqliteSurface.h"

struct sqlite3;

namespace varo {

// The error of a table query whose result outgrew what a load may hold.
inline constexpr const char* kResultTooLarge = "query result too large";

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
    // Replaces the handle without closing the one held before.
    void SetHandle(sqlite3* handle) { handle_ = handle; }

    // The general-purpose surface: thin passes to SQLite. Every text is GBK
    // unless `raw` says it is UTF-8 already.
    int CloseV2();
    // Encryption keys need an SQLite build that has them; others answer false.
    bool SetKey(std::string_view key, const std::optional<std::string>& schema = {});
    bool ChangeKey(std::string_view key, const std::optional<std::string>& schema = {});
    bool Execute(std::string_view sql, RowRoutine row = nullptr, void* user = nullptr,
                 std::string* error = nullptr, bool raw = false);
    int ErrorCode() const;
    std::string ErrorMessage(bool convert = true) const;
    SqliteStatement Prepare(std::string_view sql, bool* ok = nullptr, bool raw = false);

    SqliteStatement ListTables();
    SqliteStatement ListIndexes(std::string_view table);
    SqliteStatement ListViews();
    SqliteStatement ListTriggers(std::string_view table);
    bool TableExists(std::string_view name);

    bool CreateTable(std::string_view name, const std::vector<ColumnDefinition>& columns,
                     std::string_view uniqueColumns = {}, std::string_view primaryKeyColumns = {});
    bool DropTable(std::string_view name);
    bool RenameTable(std::string_view oldName, std::string_view newName);
    bool AddColumn(std::string_view table, const ColumnDefinition& column);
    bool CreateIndex(std::string_view name, std::string_view table, std::string_view columns,
                     bool unique = false);
    bool DropIndex(std::string_view name);
    bool CreateView(std::string_view name, std::string_view select, bool temporary = false);
    bool DropView(std::string_view name);
    // timing: 1 BEFORE, 2 AFTER, else none; event: 0 INSERT, 1 DELETE, 2 UPDATE, 3 UPDATE OF
    // columns.
    bool CreateTrigger(std::string_view name, std::string_view table, int timing, int event,
                       std::string_view body, std::string_view columns = {},
                       bool temporary = false);
    bool DropTrigger(std::string_view name);

    // mode: 0 deferred, 1 immediate, 2 exclusive. Results are SQLite's codes.
    int Begin(int mode = 0);
    int Begin(const std::string& savepoint);
    int Commit(const std::optional<std::string>& savepoint = {});
    int Rollback(const std::optional<std::string>& savepoint = {});

    void Interrupt();
    int Changes() const;
    int TotalChanges() const;
    std::int64_t LastInsertRowId() const;
    bool Vacuum();
    bool Attach(std::string_view path, std::string_view name);
    bool Detach(std::string_view name);
    // Copies this database into `target`, five pages a step, reporting
    // (remaining, page count) after each; waits and goes on while busy or locked.
    bool BackupTo(SqliteConnection& target, const std::string& sourceName = "main",
                  const std::string& targetName = "main",
                  const std::function<void(int remaining, int pageCount)>& progress = {});
    // wxsqlite3_config: a configuration parameter by its name.
    int Configure(std::string_view parameter, int value);
    int ConfigureCipher(std::string_view cipher, std::string_view parameter, int value);

    bool CreateScalarFunction(std::string_view name, int argumentCount, FunctionRoutine routine,
                              DestroyRoutine destroy = nullptr, void* destroyArgument = nullptr);
    bool CreateAggregateFunction(std::string_view name, int argumentCount, FunctionRoutine step,
                                 FinalRoutine final, DestroyRoutine destroy = nullptr,
                                 void* destroyArgument = nullptr);
    int SetBusyTimeout(int milliseconds);
    int SetBusyHandler(BusyRoutine routine = nullptr, void* user = nullptr);
    std::string FileName(const std::string& schema = "main", bool raw = false) const;
    int IsReadOnly(const std::string& schema = "main") const;
    void* Mutex() const;
    bool IsAutocommit() const;
    void SetProgressHandler(int instructions, ProgressRoutine routine = nullptr);
    SqliteStatement NextStatement(const SqliteStatement* after = nullptr) const;

  private:
    bool RunTableQuery(std::string_view sql, const std::vector<int>* wantedColumns,
                       ItemMatrix* matrix, int& rows, int& columns, std::string& error,
                       bool sqlIsUtf8);

    std::string ToLibrary(std::string_view text, bool raw) const;
    int CloseWith(bool v2);
    void HandBusyRecordToConnection();
    bool ExecuteDefinition(const std::string& sql);
    SqliteStatement PrepareWithName(const char* sql, std::string_view name);

    sqlite3* handle_ = nullptr;
    BusyRecord* busyRecord_ = nullptr;  // the busy handler's record, while one is set
};

}  // namespace varo
