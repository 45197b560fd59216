#pragma once

#include <string>
#include <string_view>

// One home for the rules of paths: joining, splitting, the separator shown.
// Paths are UTF-8 on Windows and the file system's own bytes elsewhere.
namespace varo {

// The characters that separate the parts of a path: "/", and on Windows "\\" too.
std::string_view PathSeparators();
// The separator the system shows and the program adds: '/' or '\\'.
char NativeSeparator();

// The length of the drive a path starts with: 2 for "D:" on Windows ("D:\x"
// and the drive-relative "D:x" alike), 0 for every other path and system.
std::size_t DrivePrefixLength(std::string_view path);
// False on Windows, where a double quote can never be part of a name.
bool NamesMayHoldQuotes();

// `name` in `folder`, with one separator between them ("." or empty folder:
// the name alone); a separator that ends the folder is not doubled, and a
// bare drive ("D:", its current folder) takes the name without one.
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder that holds `path`: "." when it names none, the root for a file
// in the root, the drive for "D:x".
std::string PathFolder(std::string_view path);
// The part after the last separator (and after a drive: "D:x" gives "x").
std::string PathFileName(std::string_view path);
// The same part, as a view into `path`.
std::string_view PathFileNameView(std::string_view path);
// The path as the user reads it: with the system's own separator only, and
// on Windows without the "\\?\" prefix of long paths.
std::string DisplayPath(std::string_view path);
// A path as pasted from Explorer's 复制为路径, wrapped in one pair of double
// quotes, without them; any other text as it is. Where names hold no quotes
// (Windows), a lone quote at the end goes too: the command line of
// `"D:\out\"` gives `D:\out"`, its backslash taken as quoting the quote.
std::string UnquotedPath(std::string_view path);
// The path in the form that names exactly the file the program's own
// readers open, for a library that opens it by its UTF-8 name (SQLite): on
// Windows the full "\\?\" form, in which a name ending in a space or a dot
// stays its own (the short form drops them and reaches another file);
// elsewhere the path itself.
std::string ExactPath(std::string_view path);
// A hidden name beside `path` for a file that is written and then renamed
// over it: ".name.SUFFIX" in the same folder.
std::string TemporaryPathBeside(std::string_view path, std::string_view suffix);
// Six letters and digits, another on each call: a temporary name's suffix.
// A name made of it may exist already; the caller tries another.
std::string RandomSuffix();

}  // namespace varo
