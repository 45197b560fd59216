#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemError.h"
#include "text/GbkText.h"

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

// What speaks another language in a message, empty when nothing does: the
// Chinese characters and punctuation of an English text (beside the names of
// the window's buttons and columns), the English words of a Chinese text
// (beside options, file names, finding kinds, option values and the names
// and units both languages share).
std::string ChineseIn(std::string text);
std::string EnglishIn(std::string text);

// Sets an environment variable of this process; an empty value removes it.
void SetEnvironment(const char* name, const char* value);

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

// GBK text a test writes out byte by byte ("\xC4\xBE" for 木).
inline GbkView Gbk(std::string_view bytes) {
    return GbkView(bytes);
}
inline GbkText GbkString(std::string_view bytes) {
    return GbkText(GbkView(bytes));
}

}  // namespace varo::test

namespace varo {

// How GoogleTest prints a system error: its kind, code and message.
inline void PrintTo(const SystemError& error, std::ostream* out) {
    *out << "kind " << error.kind << ", code " << error.code << " (" << SystemErrorMessage(error)
         << ")";
}

// GBK text in a test's output: its bytes, those outside printable ASCII as \xNN.
inline std::ostream& operator<<(std::ostream& out, GbkView text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out << '"';
    for (const char c : text.Bytes()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out << c;
        } else {
            out << "\\x" << kDigits[byte >> 4] << kDigits[byte & 0xF];
        }
    }
    return out << '"';
}

}  // namespace varo
