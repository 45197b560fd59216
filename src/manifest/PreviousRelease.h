#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemError.h"

// The reader of an update.json already on disk: the previous release that
// a new manifest is compared with (and `--version next` counts on).
namespace varo {

// One entry of a manifest as a client reads it.
struct ManifestEntry {
    std::string filename;
    std::string md5;
    std::string size;
};

// Why a text is no update.json, for each front end to phrase.
struct ManifestFault {
    enum class Kind {
        None,
        Syntax,     // no JSON (or no UTF-8) at line, column
        NoVersion,  // no "assets_version" text
        NoList,     // no "md5list" array
        BadEntry,   // entry `entry` of md5list lacks "filename", "md5" or "size" text
        TooDeep,    // nested deeper than a manifest ever is
    };
    Kind kind = Kind::None;
    std::size_t line = 0;    // Syntax: 1-based line
    std::size_t column = 0;  // Syntax: 1-based column, in characters
    std::size_t entry = 0;   // BadEntry: 1-based
};

// An update.json read back: its version and entries, or why it cannot be used.
struct ParsedManifest {
    bool ok = false;
    std::string error;  // English, for varo-cli; the window phrases `fault`
    ManifestFault fault;
    std::string version;
    std::vector<ManifestEntry> entries;
    bool entriesOnly = false;  // read as 单json文件.json: no version
};

// Reads update.json text: an object with a string "assets_version" and an
// array "md5list" of objects with string "filename", "md5" and "size". Any
// other shape, ill-formed JSON or ill-formed UTF-8, or nesting deeper than
// a manifest ever has gives ok = false. Memory stays near the size of the
// entries read.
ParsedManifest ParseStandaloneManifest(std::string_view json);

// Reads 单json文件.json text: the entry objects of an md5list, separated by
// commas, without the brackets around them (none at all: no entries).
ParsedManifest ParseManifestEntries(std::string_view body);

// A manifest of either form, as the text shows it: update.json, or the
// entries of 单json文件.json. A text of neither form is refused with the fault
// of the form `entriesExpected` says (the file's name, say).
ParsedManifest ParseAnyManifest(std::string_view text, bool entriesExpected);

// Where a previous update.json stands before a new one is written.
struct PreviousRelease {
    enum class State { Absent, Unusable, Present } state = State::Absent;
    SystemError readError;        // Unusable because it could not be read (EFBIG: over sizeLimit)
    std::uint64_t sizeLimit = 0;  // the largest file read, in bytes
    std::string error;            // Unusable because it is no manifest: why, English
    ManifestFault fault;          // and why, for the window
    ParsedManifest manifest;
};

// Reads the update.json at `path`: Absent when there is no file (or a
// folder of that name), Unusable when it cannot be read or parsed.
PreviousRelease ReadPreviousRelease(const std::string& path);

}  // namespace varo
