#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "text/GbkText.h"

struct sqlite3_context;
struct sqlite3_value;

namespace varo {

// Program routines that SQLite calls back, through the adapters below.
using RowRoutine = int (*)(void* user, int columnCount, char** values, char** names);
using FunctionRoutine = void (*)(sqlite3_context* context, int argumentCount,
                                 sqlite3_value** arguments);
using FinalRoutine = void (*)(sqlite3_context* context);
using DestroyRoutine = void (*)(void* argument);
using ProgressRoutine = int (*)();
using BusyRoutine = int (*)(void* user, int attempts);

// The records passed to SQLite as user data: zero-filled blocks from the
// process heap, fields pointer-sized, in this order.
struct ExecuteRecord {
    RowRoutine row;
    void* user;
};

struct FunctionRecord {
    FunctionRoutine scalar;
    FunctionRoutine step;
    FinalRoutine final;
    DestroyRoutine destroy;
    void* destroyArgument;
};

struct BusyRecord {
    BusyRoutine routine;
    void* user;
};

// The fixed adapters SQLite calls: each finds the program routine in its
// record (or, for progress, in its user value) and calls it.
struct SqliteAdapters {
    void (*functionBody)(sqlite3_context*, int, sqlite3_value**);
    void (*aggregateStep)(sqlite3_context*, int, sqlite3_value**);
    void (*aggregateFinal)(sqlite3_context*);
    void (*recordDestroy)(void*);
    int (*executeRow)(void*, int, char**, char**);
    int (*progress)(void*);
    int (*busy)(void*, int);
};

// Prepares the adapters. Called once at start-up, before the main window is
// created; the surface also prepares them on first use.
void PrepareSqliteAdapters();
const SqliteAdapters& Adapters();

// One column of CreateTable and AddColumn.
struct ColumnDefinition {
    GbkText name;
    int type = 12;  // 1 Byte, 2 Smallint, 3 Integer, 4 BigInt, 5 Decimal, 6 Double, 7 Bit,
                    // 8 DateTime, 10 VarChar, 11 Blob, 12 Text
    std::optional<int> size;
    int constraints = 0;  // 1 Primary Key, 2 AutoIncrement, 4 Not Null, 8 Unique
    std::optional<GbkText> defaultValue;
    std::optional<GbkText> check;
};

// "name type(size) constraints Default value Check(expression)".
GbkText ColumnDefinitionSql(const ColumnDefinition& column);

}  // namespace varo
