#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "filter/FilterFile.h"
#include "manifest/ReleaseCheck.h"
#include "pillar/LightPillar.h"
#include "platform/SystemError.h"
#include "text/GbkText.h"

// The checks made before a file is written, and what they find. Each front
// end phrases a finding in its own way: the window asks whether to go on
// (否 by default), varo-cli refuses unless --force.
namespace varo {

// Light-pillar values a client cannot use, in row order.
struct UnusableValuesFinding {
    struct Value {
        std::size_t row = 0;  // 0-based
        int column = 0;       // a LightPillarColumn
        GbkText itemName;
        GbkText text;
    };
    std::vector<Value> values;
};

// How many of the values a message lists before it says how many more there are.
inline constexpr std::size_t kUnusableValuesListed = 10;

// What a filter file is read for.
enum class FilterFileUse { Import, Apply };

// A file chosen for import or apply that does not look like a filter file
// (most lines lack the five fields, or a line holds a tab).
struct NotAFilterFileFinding {
    std::string path;
    FilterFileUse use = FilterFileUse::Import;
};

// Entries differ from the previous update.json, but the version is not
// greater than its version: clients would not fetch the change.
struct VersionNotRaisedFinding {
    std::string path;
    std::string version;
    std::string previousVersion;
    ReleaseComparison change;
};

// The previous update.json cannot be read or is no manifest, so the new one
// cannot be checked against it.
struct UnreadablePreviousManifestFinding {
    std::string path;
    SystemError error;   // it could not be read (kind EFBIG: larger than 64 MiB)
    std::string detail;  // or else: why it is no manifest (English)
};

using Finding = std::variant<UnusableValuesFinding, NotAFilterFileFinding, VersionNotRaisedFinding,
                             UnreadablePreviousManifestFinding>;

// Lambdas combined into one visitor, for std::visit over a Finding.
template <typename... Handlers>
struct FindingVisitor : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
FindingVisitor(Handlers...) -> FindingVisitor<Handlers...>;

std::optional<Finding> CheckLightPillarValues(const LightPillarList& rows);

// `read` is the file at `path` as ReadFilterFile gave it.
std::optional<Finding> CheckFilterFileSource(const std::string& path, const FilterFileRead& read,
                                             FilterFileUse use);

// The new update.json against the one at `previousPath`: the comparison
// (when there was a readable one) and the finding, if any.
struct ReleaseCheckResult {
    PreviousRelease previous;
    std::optional<ReleaseComparison> change;
    std::optional<Finding> finding;
};
ReleaseCheckResult CheckRelease(const std::string& previousPath, std::string_view manifest);

}  // namespace varo
