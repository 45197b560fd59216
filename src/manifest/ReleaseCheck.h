#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "manifest/PreviousRelease.h"

namespace varo {

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

}  // namespace varo
