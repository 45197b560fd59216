// The general-purpose surface of SqliteConnection: thin passes to SQLite.

#include <cstdlib>
#include <utility>

#include "db/SqliteApi.h"
#include "db/SqliteConnection.h"
#include "text/CodePage.h"

namespace varo {
namespace {

using KeyFunction = int (*)(sqlite3*, const void*, int);
using KeyFunctionV2 = int (*)(sqlite3*, const char*, const void*, int);

template <typename Record>
Record* NewRecord() {
    return static_cast<Record*>(std::calloc(1, sizeof(Record)));
}

std::string Joined(std::string_view a, std::string_view b) {
    std::string text(a);
    text += b;
    return text;
}

}  // namespace

int SqliteConnection::CloseV2() {
    return CloseWith(true);
}

namespace {

// A key call of an SQLite build with encryption; false where the build has none.
bool CallKeyFunction(sqlite3* handle, KeyFunction plain, KeyFunctionV2 withSchema,
                     std::string_view key, const std::optional<std::string>& schema) {
    const int length = static_cast<int>(key.size());
    if (schema) {
        return withSchema != nullptr &&
               withSchema(handle, schema->c_str(), key.data(), length) == 0;
    }
    return plain != nullptr && plain(handle, key.data(), length) == 0;
}

}  // namespace

bool SqliteConnection::SetKey(std::string_view key, const std::optional<std::string>& schema) {
    return CallKeyFunction(handle_, VARO_SQLITE_OPTIONAL(sqlite3_key, KeyFunction),
                           VARO_SQLITE_OPTIONAL(sqlite3_key_v2, KeyFunctionV2), key, schema);
}

bool SqliteConnection::ChangeKey(std::string_view key, const std::optional<std::string>& schema) {
    return CallKeyFunction(handle_, VARO_SQLITE_OPTIONAL(sqlite3_rekey, KeyFunction),
                           VARO_SQLITE_OPTIONAL(sqlite3_rekey_v2, KeyFunctionV2), key, schema);
}

bool SqliteConnection::Execute(std::string_view sql, RowRoutine row, void* user, std::string* error,
                               bool raw) {
    ExecuteRecord* record = nullptr;
    if (row != nullptr) {
        record = NewRecord<ExecuteRecord>();
        record->row = row;
        record->user = user;
    }
    char* message = nullptr;
    const int result = VARO_SQLITE(sqlite3_exec)(
        handle_, ToLibrary(sql, raw).c_str(), record != nullptr ? Adapters().executeRow : nullptr,
        record, error != nullptr ? &message : nullptr);
    if (error != nullptr) {
        *error = message == nullptr ? std::string()
                 : raw              ? std::string(message)
                                    : Utf8ToGbk(message);
        VARO_SQLITE(sqlite3_free)(message);
    }
    std::free(record);
    return result == SQLITE_OK;
}

SqliteStatement SqliteConnection::PrepareWithName(const char* sql, std::string_view name) {
    // The name is bound, never pasted into the SQL text: a quote in it is just a character.
    SqliteStatement statement = Prepare(sql, nullptr, true);
    statement.BindText(":name", name);
    return statement;
}

SqliteStatement SqliteConnection::ListTables() {
    return Prepare(
        "select tbl_name,sql from sqlite_master where type='table' and tbl_name!='sqlite_sequence'",
        nullptr, true);
}

SqliteStatement SqliteConnection::ListIndexes(std::string_view table) {
    return PrepareWithName(
        "select name,sql from sqlite_master where type='index' and tbl_name=:name", table);
}

SqliteStatement SqliteConnection::ListViews() {
    return Prepare("select name,sql from sqlite_master where type='view'", nullptr, true);
}

SqliteStatement SqliteConnection::ListTriggers(std::string_view table) {
    return PrepareWithName(
        "select name,sql from sqlite_master where type='trigger' and tbl_name=:name", table);
}

bool SqliteConnection::TableExists(std::string_view name) {
    return PrepareWithName(
               "select count(*) from sqlite_master where type='table' and tbl_name=:name", name)
               .StepInt() != 0;
}

bool SqliteConnection::ExecuteDefinition(const std::string& sql) {
    return Execute(sql);
}

bool SqliteConnection::CreateTable(std::string_view name,
                                   const std::vector<ColumnDefinition>& columns,
                                   std::string_view uniqueColumns,
                                   std::string_view primaryKeyColumns) {
    std::string sql = Joined("create table ", name) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) {
            sql += ',';
        }
        sql += ColumnDefinitionSql(columns[i]);
    }
    if (!uniqueColumns.empty()) {
        sql += Joined(",Unique(", uniqueColumns) + ")";
    }
    if (!primaryKeyColumns.empty()) {
        sql += Joined(",primary key(", primaryKeyColumns) + ")";
    }
    return ExecuteDefinition(sql + ")");
}

bool SqliteConnection::DropTable(std::string_view name) {
    return ExecuteDefinition(Joined("drop table if exists ", name));
}

bool SqliteConnection::RenameTable(std::string_view oldName, std::string_view newName) {
    return ExecuteDefinition(Joined("alter table ", oldName) + Joined(" rename to ", newName));
}

bool SqliteConnection::AddColumn(std::string_view table, const ColumnDefinition& column) {
    return ExecuteDefinition(Joined("alter table ", table) + " add column " +
                             ColumnDefinitionSql(column));
}

bool SqliteConnection::CreateIndex(std::string_view name, std::string_view table,
                                   std::string_view columns, bool unique) {
    return ExecuteDefinition(std::string("create ") + (unique ? "unique " : "") +
                             Joined("index if not exists ", name) + Joined(" on ", table) +
                             Joined("(", columns) + ")");
}

bool SqliteConnection::DropIndex(std::string_view name) {
    return ExecuteDefinition(Joined("drop index if exists ", name));
}

bool SqliteConnection::CreateView(std::string_view name, std::string_view select, bool temporary) {
    return ExecuteDefinition(std::string("CREATE ") + (temporary ? "TEMPORARY " : "") +
                             Joined("VIEW ", name) + Joined(" AS ", select));
}

bool SqliteConnection::DropView(std::string_view name) {
    return ExecuteDefinition(Joined("DROP VIEW ", name));
}

bool SqliteConnection::CreateTrigger(std::string_view name, std::string_view table, int timing,
                                     int event, std::string_view body, std::string_view columns,
                                     bool temporary) {
    std::string sql =
        std::string("CREATE ") + (temporary ? "TEMPORARY " : "") + Joined("TRIGGER ", name) + " ";
    sql += timing == 1 ? "BEFORE " : timing == 2 ? "AFTER " : "";
    switch (event) {
        case 0:
            sql += "INSERT ";
            break;
        case 1:
            sql += "DELETE ";
            break;
        case 2:
            sql += "UPDATE ";
            break;
        case 3:
            sql += Joined("UPDATE OF ", columns) + " ";
            break;
        default:
            break;
    }
    return ExecuteDefinition(sql + Joined("ON ", table) + Joined(" BEGIN ", body) + " END");
}

bool SqliteConnection::DropTrigger(std::string_view name) {
    return ExecuteDefinition(Joined("DROP TRIGGER ", name));
}

int SqliteConnection::Begin(int mode) {
    const char* sql = mode == 1 ? "BEGIN IMMEDIATE" : mode == 2 ? "BEGIN EXCLUSIVE" : "BEGIN";
    return VARO_SQLITE(sqlite3_exec)(handle_, sql, nullptr, nullptr, nullptr);
}

int SqliteConnection::Begin(const std::string& savepoint) {
    return VARO_SQLITE(sqlite3_exec)(handle_, ("SAVEPOINT " + savepoint).c_str(), nullptr, nullptr,
                                     nullptr);
}

int SqliteConnection::Commit(const std::optional<std::string>& savepoint) {
    const std::string sql = savepoint ? "RELEASE " + *savepoint : std::string("COMMIT");
    return VARO_SQLITE(sqlite3_exec)(handle_, sql.c_str(), nullptr, nullptr, nullptr);
}

int SqliteConnection::Rollback(const std::optional<std::string>& savepoint) {
    const std::string sql = savepoint ? "ROLLBACK TO " + *savepoint : std::string("ROLLBACK");
    return VARO_SQLITE(sqlite3_exec)(handle_, sql.c_str(), nullptr, nullptr, nullptr);
}

void SqliteConnection::Interrupt() {
    VARO_SQLITE(sqlite3_interrupt)(handle_);
}

int SqliteConnection::Changes() const {
    return VARO_SQLITE(sqlite3_changes)(handle_);
}

int SqliteConnection::TotalChanges() const {
    return VARO_SQLITE(sqlite3_total_changes)(handle_);
}

std::int64_t SqliteConnection::LastInsertRowId() const {
    return VARO_SQLITE(sqlite3_last_insert_rowid)(handle_);
}

bool SqliteConnection::Vacuum() {
    return ExecuteDefinition("VACUUM");
}

bool SqliteConnection::Attach(std::string_view path, std::string_view name) {
    return ExecuteDefinition(Joined("Attach Database '", path) + Joined("' as ", name));
}

bool SqliteConnection::Detach(std::string_view name) {
    return ExecuteDefinition(Joined("Detach Database ", name));
}

bool SqliteConnection::BackupTo(SqliteConnection& target, const std::string& sourceName,
                                const std::string& targetName,
                                const std::function<void(int remaining, int pageCount)>& progress) {
    sqlite3_backup* backup = VARO_SQLITE(sqlite3_backup_init)(target.handle_, targetName.c_str(),
                                                              handle_, sourceName.c_str());
    if (backup == nullptr) {
        return false;
    }
    int step = SQLITE_OK;
    do {
        step = VARO_SQLITE(sqlite3_backup_step)(backup, 5);
        if (progress) {
            progress(VARO_SQLITE(sqlite3_backup_remaining)(backup),
                     VARO_SQLITE(sqlite3_backup_pagecount)(backup));
        }
        if (step == SQLITE_BUSY || step == SQLITE_LOCKED) {
            VARO_SQLITE(sqlite3_sleep)(250);
        }
    } while (step == SQLITE_OK || step == SQLITE_BUSY || step == SQLITE_LOCKED);
    return VARO_SQLITE(sqlite3_backup_finish)(backup) == SQLITE_OK;
}

int SqliteConnection::Configure(std::string_view parameter, int value) {
    using ConfigFunction = int (*)(sqlite3*, const char*, int);
    auto config = VARO_SQLITE_OPTIONAL(wxsqlite3_config, ConfigFunction);
    return config != nullptr ? config(handle_, std::string(parameter).c_str(), value)
                             : SQLITE_ERROR;
}

int SqliteConnection::ConfigureCipher(std::string_view cipher, std::string_view parameter,
                                      int value) {
    using CipherFunction = int (*)(sqlite3*, const char*, const char*, int);
    auto config = VARO_SQLITE_OPTIONAL(wxsqlite3_config_cipher, CipherFunction);
    return config != nullptr
               ? config(handle_, std::string(cipher).c_str(), std::string(parameter).c_str(), value)
               : SQLITE_ERROR;
}

bool SqliteConnection::CreateScalarFunction(std::string_view name, int argumentCount,
                                            FunctionRoutine routine, DestroyRoutine destroy,
                                            void* destroyArgument) {
    auto* record = NewRecord<FunctionRecord>();
    *record = {routine, nullptr, nullptr, destroy, destroyArgument};
    // SQLite calls the destroy adapter for the record, also when creating fails.
    return VARO_SQLITE(sqlite3_create_function_v2)(
               handle_, GbkToUtf8(name).c_str(), argumentCount, SQLITE_UTF8, record,
               Adapters().functionBody, nullptr, nullptr, Adapters().recordDestroy) == SQLITE_OK;
}

bool SqliteConnection::CreateAggregateFunction(std::string_view name, int argumentCount,
                                               FunctionRoutine step, FinalRoutine final,
                                               DestroyRoutine destroy, void* destroyArgument) {
    auto* record = NewRecord<FunctionRecord>();
    *record = {nullptr, step, final, destroy, destroyArgument};
    return VARO_SQLITE(sqlite3_create_function_v2)(
               handle_, GbkToUtf8(name).c_str(), argumentCount, SQLITE_UTF8, record, nullptr,
               Adapters().aggregateStep, Adapters().aggregateFinal,
               Adapters().recordDestroy) == SQLITE_OK;
}

int SqliteConnection::SetBusyTimeout(int milliseconds) {
    return VARO_SQLITE(sqlite3_busy_timeout)(handle_, milliseconds);
}

int SqliteConnection::SetBusyHandler(BusyRoutine routine, void* user) {
    BusyRecord* record = nullptr;
    if (routine != nullptr) {
        record = NewRecord<BusyRecord>();
        *record = {routine, user};
    }
    const int result = VARO_SQLITE(sqlite3_busy_handler)(
        handle_, record != nullptr ? Adapters().busy : nullptr, record);
    std::free(std::exchange(busyRecord_, record));
    return result;
}

std::string SqliteConnection::FileName(const std::string& schema, bool raw) const {
    const char* name = VARO_SQLITE(sqlite3_db_filename)(handle_, schema.c_str());
    return name == nullptr ? std::string() : raw ? std::string(name) : Utf8ToGbk(name);
}

int SqliteConnection::IsReadOnly(const std::string& schema) const {
    return VARO_SQLITE(sqlite3_db_readonly)(handle_, schema.c_str());
}

void* SqliteConnection::Mutex() const {
    return VARO_SQLITE(sqlite3_db_mutex)(handle_);
}

bool SqliteConnection::IsAutocommit() const {
    return VARO_SQLITE(sqlite3_get_autocommit)(handle_) != 0;
}

void SqliteConnection::SetProgressHandler(int instructions, ProgressRoutine routine) {
    if (routine == nullptr) {
        VARO_SQLITE(sqlite3_progress_handler)(handle_, instructions, nullptr, nullptr);
        return;
    }
    VARO_SQLITE(sqlite3_progress_handler)
    (handle_, instructions, Adapters().progress, reinterpret_cast<void*>(routine));
}

SqliteStatement SqliteConnection::NextStatement(const SqliteStatement* after) const {
    return SqliteStatement(
        VARO_SQLITE(sqlite3_next_stmt)(handle_, after != nullptr ? after->GetHandle() : nullptr),
        false);
}

}  // namespace varo
