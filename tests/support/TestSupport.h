#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/SystemError.h"

// Helpers for the tests of every front end. A setup step that fails throws,
// which the test frameworks report as a failed test.
namespace varo::test {

// A fresh directory under the system's temporary directory, removed with all
// its content when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

using Cell = std::optional<std::string>;  // nullopt is SQL NULL
using Row = std::vector<Cell>;

// Runs an SQL script on the database at `path`, creating it when missing.
// Returns SQLite's error message, or an empty text on success.
std::string RunSql(const std::string& path, const std::string& sql);

// Creates `path` with a StdItems table of `columns` text columns (c1, c2, ...)
// holding `rows`; a row shorter than the table leaves the rest NULL.
void CreateItemDatabase(const std::string& path, int columns, const std::vector<Row>& rows);

// A StdItems row of 40 columns with the name in column 2, the kind code in
// column 3 and the shine value in column 38, the way the engine lays them out.
Row ItemRow(const Cell& name, const Cell& kind, const Cell& shine);

void WriteFile(const std::string& path, const std::string& bytes);
std::optional<std::string> ReadFile(const std::string& path);

// A pipe no one writes to, whose reading would wait for good: a FIFO named
// `name` in `dir` on POSIX, a named pipe (\\.\pipe\...) on Windows, kept
// open until the process ends. Gives its path.
std::string MakePipe(const TempDir& dir, const std::string& name);

// The names of the entries of a directory, sorted.
std::vector<std::string> ListDirectory(const std::string& path);

}  // namespace varo::test

namespace varo {

// How GoogleTest prints a system error: its kind, code and message.
inline void PrintTo(const SystemError& error, std::ostream* out) {
    *out << "kind " << error.kind << ", code " << error.code << " (" << SystemErrorMessage(error)
         << ")";
}

}  // namespace varo
