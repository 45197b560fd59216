#pragma once

namespace varo {

// Prepares the adapters through which SQLite calls back into the program
// (user functions, row routines, progress). Called once at start-up, before
// the main window is created.
void PrepareSqliteAdapters();

}  // namespace varo
