#pragma once

#include <cstdint>
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

// An update.json read back: its version and entries, or why it cannot be used.
struct ParsedManifest {
    bool ok = false;
    std::string error;  // English, for varo-cli; the window gives its own text
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

// Compares dotted versions part by part: parts of digits by their number,
// any other pair of parts as text; a missing part counts as "0". White space
// around a version is ignored. Negative, zero or positive like strcmp.
int CompareVersions(std::string_view a, std::string_view b);

// Where a previous update.json stands before a new one is written.
struct PreviousRelease {
    enum class State { Absent, Unusable, Present } state = State::Absent;
    SystemError readError;  // Unusable because it could not be read (EFBIG: over 64 MiB)
    std::string error;      // Unusable because it is no manifest: why, English
    ParsedManifest manifest;
};

// Reads the update.json at `path`: Absent when there is no file (or a
// folder of that name), Unusable when it cannot be read or parsed.
PreviousRelease ReadPreviousRelease(const std::string& path);

}  // namespace varo
