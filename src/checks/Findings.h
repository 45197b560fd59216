#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "db/ItemTable.h"
#include "filter/FilterFile.h"
#include "manifest/ReleaseCheck.h"
#include "pillar/LightPillar.h"
#include "platform/SystemError.h"
#include "text/GbkText.h"

// The checks made before a file is written, and what they find. Each front
// end phrases a finding in its own way: the window asks whether to go on
// (否 by default), varo-cli refuses unless --force. The checks guard the
// user's files: nothing a client reads is written empty, cut or with '?'
// for a character without the user's say.
namespace varo {

// How many items a message lists (a finding's values, the names of a filter
// file that no row holds, the files an import passed over) before it says
// how many more there are, so that no message grows past a screen.
inline constexpr std::size_t kItemsListed = 10;

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
    SystemError error;  // it could not be read (kind EFBIG: larger than sizeLimit)
    std::uint64_t sizeLimit = 0;
    std::string detail;   // or else: why it is no manifest (English)
    ManifestFault fault;  // and the same for the window
};

// The file would be written empty over one that holds something: a list not
// loaded yet, a table without rows. An update.json counts as empty when its
// md5list would be, and the one on disk has entries.
struct EmptyResultFinding {
    std::string path;
    std::uint64_t previousSize = 0;   // the bytes of the file there now
    std::size_t previousEntries = 0;  // update.json: the entries it has now
};

// Names the file's lines cannot carry: a tab, CR or LF in a light-pillar
// name splits its tab-separated line; CR or LF in a filter file name splits
// its line. The import would then refuse the program's own output.
struct UncarriableNamesFinding {
    struct Name {
        std::size_t row = 0;  // 0-based
        GbkText name;
    };
    std::string fileName;
    std::vector<Name> names;
};

// Names holding characters that code page 936 lacks: the file gets '?' for
// them and no longer matches the server's names.
struct LostCharactersFinding {
    struct Name {
        std::size_t row = 0;   // 0-based
        std::string original;  // as the database or the user gave it, UTF-8 to show
        GbkText written;       // what the file would hold
    };
    std::string fileName;
    std::vector<Name> names;
};

// Shine values (column 38) whose leading integer lies outside 32 bits: the
// computation's 32-bit value is wrong for them, and such a row may drop out
// of the list unseen. Every row of the table is looked at.
struct ShineOutOfRangeFinding {
    struct Value {
        std::size_t item = 0;  // 1-based, in table order
        GbkText itemName;
        GbkText text;
    };
    std::vector<Value> values;
};

// A version clients cannot compare: not decimal numbers separated by dots.
struct UncomparableVersionFinding {
    std::string version;
};

using Finding =
    std::variant<UnusableValuesFinding, NotAFilterFileFinding, VersionNotRaisedFinding,
                 UnreadablePreviousManifestFinding, EmptyResultFinding, UncarriableNamesFinding,
                 LostCharactersFinding, ShineOutOfRangeFinding, UncomparableVersionFinding>;

// Lambdas combined into one visitor, for std::visit over a Finding.
template <typename... Handlers>
struct FindingVisitor : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
FindingVisitor(Handlers...) -> FindingVisitor<Handlers...>;

std::optional<Finding> CheckLightPillarValues(const LightPillarList& rows);

// Before CustomItemNameColors.txt is written at `path`: names its lines
// cannot carry, characters GBK lacks, values a client cannot use, and an
// empty list over a file that holds rows.
std::vector<Finding> CheckLightPillarFile(const LightPillarList& rows, const std::string& path);

// Before light-pillar rows are computed from the table: shine values beyond 32 bits.
std::optional<Finding> CheckShineValues(const ItemMatrix& matrix);

// Before lsDefaultItemFilter.txt is written at `path` (either form).
std::vector<Finding> CheckFilterFile(const FilterRows& rows, const std::string& path);

// Before 单json文件.json is written at `path`.
std::vector<Finding> CheckSingleManifest(std::string_view body, const std::string& path);

// `read` is the file at `path` as ReadFilterFile gave it.
std::optional<Finding> CheckFilterFileSource(const std::string& path, const FilterFileRead& read,
                                             FilterFileUse use);

// The new update.json against the one at `previousPath`: the comparison
// (when there was a readable one) and the findings: a version clients
// cannot compare, changes under a version that is not greater, a previous
// file that cannot be read, an empty list over one with entries.
struct ReleaseCheckResult {
    PreviousRelease previous;
    std::optional<ReleaseComparison> change;
    std::vector<Finding> findings;
};
// `version` is the one `manifest` holds; the manifest is read back only when
// there is a previous one to compare it with.
ReleaseCheckResult CheckRelease(const std::string& previousPath, std::string_view manifest,
                                std::string_view version);

// Why a table gave an empty list or grid, said as a note, not an error.
struct EmptyTableNote {
    enum class Reason {
        NoItems,        // StdItems holds no row
        TooFewColumns,  // no column 38: `columns` is how many there are
        NoShineValue,   // no shine value of 100 or more
    };
    Reason reason = Reason::NoItems;
    int columns = 0;
};
// After DB一键计算 / pillar: nothing when the list has rows.
std::optional<EmptyTableNote> ExplainEmptyLightPillarList(const ItemTable& table, std::size_t rows);
// After 载入数据库 / filter --db: nothing when the table has items.
std::optional<EmptyTableNote> ExplainEmptyFilterGrid(const ItemTable& table);

}  // namespace varo
