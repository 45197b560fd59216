// The general-purpose surface of SqliteConnection: thin passes to SQLite.

#include <cstdlib>
#include <initializer_list>
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

// SQL text pieced together from GBK names and ASCII words.
GbkText Sql(std::initializer_list<GbkView> pieces) {
    GbkText text;
    for (const GbkView piece : pieces) {
        text += piece;
    }
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
                               Utf8Form) {
    ExecuteRecord* record = nullptr;
    if (row != nullptr) {
        record = NewRecord<ExecuteRecord>();
        record->row = row;
        record->user = user;
    }
    char* message = nullptr;
    const int result = VARO_SQLITE(sqlite3_exec)(
        handle_, std::string(sql).c_str(), record != nullptr ? Adapters().executeRow : nullptr,
        record, error != nullptr ? &message : nullptr);
    if (error != nullptr) {
        *error = message != nullptr ? std::string(message) : std::string();
        VARO_SQLITE(sqlite3_free)(message);
    }
    std::free(record);
    return result == SQLITE_OK;
}

bool SqliteConnection::Execute(GbkView sql, RowRoutine row, void* user, GbkText* error) {
    std::string utf8Error;
    const bool done =
        Execute(GbkToUtf8(sql), row, user, error != nullptr ? &utf8Error : nullptr, kUtf8);
    if (error != nullptr) {
        *error = Utf8ToGbk(utf8Error);
    }
    return done;
}

SqliteStatement SqliteConnection::PrepareWithName(const char* sql, GbkView name) {
    // The name is bound, never pasted into the SQL text: a quote in it is just a character.
    SqliteStatement statement = Prepare(sql, nullptr, kUtf8);
    statement.BindText(":name", name);
    return statement;
}

SqliteStatement SqliteConnection::ListTables() {
    return Prepare(
        "select tbl_name,sql from sqlite_master where type='table' and tbl_name!='sqlite_sequence'",
        nullptr, kUtf8);
}

SqliteStatement SqliteConnection::ListIndexes(GbkView table) {
    return PrepareWithName(
        "select name,sql from sqlite_master where type='index' and tbl_name=:name", table);
}

SqliteStatement SqliteConnection::ListViews() {
    return Prepare("select name,sql from sqlite_master where type='view'", nullptr, kUtf8);
}

SqliteStatement SqliteConnection::ListTriggers(GbkView table) {
    return PrepareWithName(
        "select name,sql from sqlite_master where type='trigger' and tbl_name=:name", table);
}

bool SqliteConnection::TableExists(GbkView name) {
    return PrepareWithName(
               "select count(*) from sqlite_master where type='table' and tbl_name=:name", name)
               .StepInt() != 0;
}

bool SqliteConnection::CreateTable(GbkView name, const std::vector<ColumnDefinition>& columns,
                                   GbkView uniqueColumns, GbkView primaryKeyColumns) {
    GbkText sql = Sql({"create table ", name, " ("});
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) {
            sql += ",";
        }
        sql += ColumnDefinitionSql(columns[i]);
    }
    if (!uniqueColumns.Empty()) {
        sql += Sql({",Unique(", uniqueColumns, ")"});
    }
    if (!primaryKeyColumns.Empty()) {
        sql += Sql({",primary key(", primaryKeyColumns, ")"});
    }
    sql += ")";
    return Execute(sql);
}

bool SqliteConnection::DropTable(GbkView name) {
    return Execute(Sql({"drop table if exists ", name}));
}

bool SqliteConnection::RenameTable(GbkView oldName, GbkView newName) {
    return Execute(Sql({"alter table ", oldName, " rename to ", newName}));
}

bool SqliteConnection::AddColumn(GbkView table, const ColumnDefinition& column) {
    return Execute(Sql({"alter table ", table, " add column ", ColumnDefinitionSql(column)}));
}

bool SqliteConnection::CreateIndex(GbkView name, GbkView table, GbkView columns, bool unique) {
    return Execute(Sql({"create ", unique ? GbkView("unique ") : GbkView(), "index if not exists ",
                        name, " on ", table, "(", columns, ")"}));
}

bool SqliteConnection::DropIndex(GbkView name) {
    return Execute(Sql({"drop index if exists ", name}));
}

bool SqliteConnection::CreateView(GbkView name, GbkView select, bool temporary) {
    return Execute(Sql(
        {"CREATE ", temporary ? GbkView("TEMPORARY ") : GbkView(), "VIEW ", name, " AS ", select}));
}

bool SqliteConnection::DropView(GbkView name) {
    return Execute(Sql({"DROP VIEW ", name}));
}

bool SqliteConnection::CreateTrigger(GbkView name, GbkView table, int timing, int event,
                                     GbkView body, GbkView columns, bool temporary) {
    GbkText sql =
        Sql({"CREATE ", temporary ? GbkView("TEMPORARY ") : GbkView(), "TRIGGER ", name, " "});
    sql += timing == 1 ? GbkView("BEFORE ") : timing == 2 ? GbkView("AFTER ") : GbkView();
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
            sql += Sql({"UPDATE OF ", columns, " "});
            break;
        default:
            break;
    }
    sql += Sql({"ON ", table, " BEGIN ", body, " END"});
    return Execute(sql);
}

bool SqliteConnection::DropTrigger(GbkView name) {
    return Execute(Sql({"DROP TRIGGER ", name}));
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
    return Execute("VACUUM");
}

bool SqliteConnection::Attach(GbkView path, GbkView name) {
    return Execute(Sql({"Attach Database '", path, "' as ", name}));
}

bool SqliteConnection::Detach(GbkView name) {
    return Execute(Sql({"Detach Database ", name}));
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

bool SqliteConnection::CreateScalarFunction(GbkView name, int argumentCount,
                                            FunctionRoutine routine, DestroyRoutine destroy,
                                            void* destroyArgument) {
    auto* record = NewRecord<FunctionRecord>();
    *record = {routine, nullptr, nullptr, destroy, destroyArgument};
    // SQLite calls the destroy adapter for the record, also when creating fails.
    return VARO_SQLITE(sqlite3_create_function_v2)(
               handle_, GbkToUtf8(name).c_str(), argumentCount, SQLITE_UTF8, record,
               Adapters().functionBody, nullptr, nullptr, Adapters().recordDestroy) == SQLITE_OK;
}

bool SqliteConnection::CreateAggregateFunction(GbkView name, int argumentCount,
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

std::string SqliteConnection::FileName(const std::string& schema, Utf8Form) const {
    const char* name = VARO_SQLITE(sqlite3_db_filename)(handle_, schema.c_str());
    return name != nullptr ? std::string(name) : std::string();
}

GbkText SqliteConnection::FileName(const std::string& schema) const {
    return Utf8ToGbk(FileName(schema, kUtf8));
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
