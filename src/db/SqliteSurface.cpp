#include "db/SqliteSurface.h"

#include <cstdlib>

#include "db/SqliteApi.h"

namespace varo {
namespace {

FunctionRecord* RecordOf(sqlite3_context* context) {
    return static_cast<FunctionRecord*>(VARO_SQLITE(sqlite3_user_data)(context));
}

void FunctionBody(sqlite3_context* context, int count, sqlite3_value** arguments) {
    if (FunctionRecord* record = RecordOf(context);
        record != nullptr && record->scalar != nullptr) {
        record->scalar(context, count, arguments);
    }
}

void AggregateStep(sqlite3_context* context, int count, sqlite3_value** arguments) {
    if (FunctionRecord* record = RecordOf(context); record != nullptr && record->step != nullptr) {
        record->step(context, count, arguments);
    }
}

void AggregateFinal(sqlite3_context* context) {
    if (FunctionRecord* record = RecordOf(context); record != nullptr && record->final != nullptr) {
        record->final(context);
    }
}

void RecordDestroy(void* block) {
    auto* record = static_cast<FunctionRecord*>(block);
    if (record != nullptr && record->destroy != nullptr) {
        record->destroy(record->destroyArgument);
    }
    std::free(block);
}

int ExecuteRow(void* block, int count, char** values, char** names) {
    auto* record = static_cast<ExecuteRecord*>(block);
    return record->row(record->user, count, values, names);
}

int Progress(void* routine) {
    return reinterpret_cast<ProgressRoutine>(routine)();
}

int Busy(void* block, int attempts) {
    auto* record = static_cast<BusyRecord*>(block);
    return record->routine(record->user, attempts);
}

const char* TypeWord(int type) {
    switch (type) {
        case 1:
            return "Byte";
        case 2:
            return "Smallint";
        case 3:
            return "Integer";
        case 4:
            return "BigInt";
        case 5:
            return "Decimal";
        case 6:
            return "Double";
        case 7:
            return "Bit";
        case 8:
            return "DateTime";
        case 10:
            return "VarChar";
        case 11:
            return "Blob";
        case 12:
            return "Text";
        default:
            return "";
    }
}

}  // namespace

const SqliteAdapters& Adapters() {
    static const SqliteAdapters adapters{&FunctionBody,  &AggregateStep, &AggregateFinal,
                                         &RecordDestroy, &ExecuteRow,    &Progress,
                                         &Busy};
    return adapters;
}

void PrepareSqliteAdapters() {
    Adapters();
}

GbkText ColumnDefinitionSql(const ColumnDefinition& column) {
    // Names and values are GBK; the words and numbers around them ASCII.
    std::string sql = column.name.Bytes() + " " + TypeWord(column.type);
    if (column.size) {
        // Appended piece by piece: "(" + std::to_string(...) trips a false
        // -Wrestrict of GCC 12 in optimised builds.
        sql += '(';
        sql += std::to_string(*column.size);
        sql += ')';
    }
    sql += " ";
    if (column.constraints & 1) {
        sql += "Primary Key";
    }
    if (column.constraints & 2) {
        sql += " AutoIncrement";
    }
    if (column.constraints & 4) {
        sql += " Not Null";
    }
    if (column.constraints & 8) {
        sql += " Unique";
    }
    if (column.defaultValue) {
        sql += " Default " + column.defaultValue->Bytes();
    }
    if (column.check) {
        sql += " Check(" + column.check->Bytes() + ")";
    }
    return GbkText(std::move(sql));
}

}  // namespace varo
