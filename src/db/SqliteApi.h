#pragma once

// Run-time binding of the SQLite library. Only the db sources include this
// header; sqlite3.h supplies types and constants, never a link dependency.

#include <sqlite3.h>

#include "platform/SharedLibrary.h"

namespace varo::sqlite {

SharedLibrary& Library();

}  // namespace varo::sqlite

// The SQLite function `fn`, looked up by name on its first use at this call
// site; a missing library or function ends the process through FatalError.
#define VARO_SQLITE(fn)                                                     \
    (reinterpret_cast<decltype(&::fn)>([]() -> void* {                      \
        static void* const address = ::varo::sqlite::Library().Symbol(#fn); \
        return address;                                                     \
    }()))

// The same for functions that some SQLite builds lack: null when missing.
#define VARO_SQLITE_OPTIONAL(fn, type)                                         \
    (reinterpret_cast<type>([]() -> void* {                                    \
        static void* const address = ::varo::sqlite::Library().TrySymbol(#fn); \
        return address;                                                        \
    }()))
