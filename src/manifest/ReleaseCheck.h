#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemError.h"

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
};

// Reads update.json text: an object with a string "assets_version" and an
// array "md5list" of objects with string "filename", "md5" and "size". Any
// other shape, ill-formed JSON or ill-formed UTF-8, or nesting deeper than
// a manifest ever has gives ok = false. Memory stays near the size of the
// entries read.
ParsedManifest ParseStandaloneManifest(std::string_view json);

// How the new list differs from the previous one, by filename.
struct ReleaseComparison {
    std::size_t added = 0;
    std::size_t changed = 0;  // the digest or the size differs
    std::size_t removed = 0;
    std::uint64_t downloadBytes = 0;  // sizes of the added and changed entries
    bool versionRaised = false;       // the new version is greater than the previous one

    bool AnythingChanged() const { return added + changed + removed > 0; }
    // Something changed but the clients would not be told to fetch it.
    bool NeedsNewVersion() const { return AnythingChanged() && !versionRaised; }
};

ReleaseComparison CompareReleases(const ParsedManifest& previous, const ParsedManifest& next);

// True for a version clients can compare: decimal numbers separated by single
// dots ("1.2.5", "10"), once white space around it is set aside. "v1.3",
// "1.2.11-beta", "abc" and the empty text are not.
bool IsComparableVersion(std::string_view version);

// True when the version has white space before or after it ("1.4 ", "\t1.4"):
// written as typed, the clients would compare it with the space.
bool HasSurroundingSpace(std::string_view version);

// The version after `previous`, a version of dotted decimal numbers (white
// space around it set aside): its last number raised by one ("1.3.9" gives
// "1.3.10"). Nothing for any other text.
std::optional<std::string> NextVersion(std::string_view previous);

// Compares dotted versions part by part: parts of digits by their number,
// any other pair of parts as text; a missing part counts as "0". White space
// around a version is ignored. Negative, zero or positive like strcmp.
int CompareVersions(std::string_view a, std::string_view b);

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
