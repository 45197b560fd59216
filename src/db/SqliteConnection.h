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
inline constexpr GbkView kResultTooLarge{"query result too large"};

// One SQLite connection. Text crossing this class is GBK on the program's side
// (GbkView, GbkText) and UTF-8 on the library's; the overloads taking kUtf8
// pass UTF-8 text as it is.
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
    bool Open(GbkView path, int flags = kOpenReadWrite);
    bool Open(std::string_view utf8Path, int flags, Utf8Form);

    // Runs `sql` and copies its whole result into `matrix` (if given): column
    // names in row 1, then the rows, NULL as empty text. `rows` and `columns`
    // receive the counts; a query that yields no row gives 0 columns and leaves
    // the matrix untouched, as does a failure, which also fills `error`.
    bool QueryTable(GbkView sql, ItemMatrix* matrix, int& rows, int& columns, GbkText& error);

    // QueryTable that copies only the cells of the given 1-based columns (in
    // any order); the other cells of the matrix stay empty. Row and column
    // counts are those of the whole result. For large tables whose callers
    // read a few columns.
    bool QueryTableColumns(GbkView sql, const std::vector<int>& wantedColumns, ItemMatrix* matrix,
                           int& rows, int& columns, GbkText& error);

    // Closes the connection: 1 when none is held, else SQLite's result code.
    int Close();

    sqlite3* GetHandle() const { return handle_; }
    // Replaces the handle without closing the one held before.
    void SetHandle(sqlite3* handle) { handle_ = handle; }

    // The general-purpose surface: thin passes to SQLite.
    int CloseV2();
    // Encryption keys need an SQLite build that has them; others answer false.
    bool SetKey(std::string_view key, const std::optional<std::string>& schema = {});
    bool ChangeKey(std::string_view key, const std::optional<std::string>& schema = {});
    bool Execute(GbkView sql, RowRoutine row = nullptr, void* user = nullptr,
                 GbkText* error = nullptr);
    bool Execute(std::string_view sql, RowRoutine row, void* user, std::string* error, Utf8Form);
    int ErrorCode() const;
    GbkText ErrorMessage() const;
    std::string ErrorMessage(Utf8Form) const;
    SqliteStatement Prepare(GbkView sql, bool* ok = nullptr);
    SqliteStatement Prepare(std::string_view sql, bool* ok, Utf8Form);

    SqliteStatement ListTables();
    SqliteStatement ListIndexes(GbkView table);
    SqliteStatement ListViews();
    SqliteStatement ListTriggers(GbkView table);
    bool TableExists(GbkView name);

    bool CreateTable(GbkView name, const std::vector<ColumnDefinition>& columns,
                     GbkView uniqueColumns = {}, GbkView primaryKeyColumns = {});
    bool DropTable(GbkView name);
    bool RenameTable(GbkView oldName, GbkView newName);
    bool AddColumn(GbkView table, const ColumnDefinition& column);
    bool CreateIndex(GbkView name, GbkView table, GbkView columns, bool unique = false);
    bool DropIndex(GbkView name);
    bool CreateView(GbkView name, GbkView select, bool temporary = false);
    bool DropView(GbkView name);
    // timing: 1 BEFORE, 2 AFTER, else none; event: 0 INSERT, 1 DELETE, 2 UPDATE, 3 UPDATE OF
    // columns.
    bool CreateTrigger(GbkView name, GbkView table, int timing, int event, GbkView body,
                       GbkView columns = {}, bool temporary = false);
    bool DropTrigger(GbkView name);

    // mode: 0 deferred, 1 immediate, 2 exclusive. Results are SQLite's codes; a
    // savepoint's name goes to SQLite as it is.
    int Begin(int mode = 0);
    int Begin(const std::string& savepoint);
    int Commit(const std::optional<std::string>& savepoint = {});
    int Rollback(const std::optional<std::string>& savepoint = {});

    void Interrupt();
    int Changes() const;
    int TotalChanges() const;
    std::int64_t LastInsertRowId() const;
    bool Vacuum();
    bool Attach(GbkView path, GbkView name);
    bool Detach(GbkView name);
    // Copies this database into `target`, five pages a step, reporting
    // (remaining, page count) after each; waits and goes on while busy or locked.
    bool BackupTo(SqliteConnection& target, const std::string& sourceName = "main",
                  const std::string& targetName = "main",
                  const std::function<void(int remaining, int pageCount)>& progress = {});
    // wxsqlite3_config: a configuration parameter by its name.
    int Configure(std::string_view parameter, int value);
    int ConfigureCipher(std::string_view cipher, std::string_view parameter, int value);

    bool CreateScalarFunction(GbkView name, int argumentCount, FunctionRoutine routine,
                              DestroyRoutine destroy = nullptr, void* destroyArgument = nullptr);
    bool CreateAggregateFunction(GbkView name, int argumentCount, FunctionRoutine step,
                                 FinalRoutine final, DestroyRoutine destroy = nullptr,
                                 void* destroyArgument = nullptr);
    int SetBusyTimeout(int milliseconds);
    int SetBusyHandler(BusyRoutine routine = nullptr, void* user = nullptr);
    GbkText FileName(const std::string& schema = "main") const;
    std::string FileName(const std::string& schema, Utf8Form) const;
    int IsReadOnly(const std::string& schema = "main") const;
    void* Mutex() const;
    bool IsAutocommit() const;
    void SetProgressHandler(int instructions, ProgressRoutine routine = nullptr);
    SqliteStatement NextStatement(const SqliteStatement* after = nullptr) const;

  private:
    bool RunTableQuery(GbkView sql, const std::vector<int>* wantedColumns, ItemMatrix* matrix,
                       int& rows, int& columns, GbkText& error);

    int CloseWith(bool v2);
    void HandBusyRecordToConnection();
    SqliteStatement PrepareWithName(const char* sql, GbkView name);

    sqlite3* handle_ = nullptr;
    BusyRecord* busyRecord_ = nullptr;  // the busy handler's record, while one is set
};

}  // namespace varo
