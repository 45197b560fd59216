#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "db/ItemTable.h"
#include "filter/FilterFile.h"
#include "manifest/Manifest.h"
#include "manifest/ReleaseCheck.h"
#include "manifest/ResourceImport.h"
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
    std::string nextVersion;  // the previous one raised by one; empty when it is no dotted numbers
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

// A version clients cannot compare: not decimal numbers separated by dots,
// or such numbers with white space around them, which the file would keep.
struct UncomparableVersionFinding {
    std::string version;
    bool whiteSpace = false;  // dotted numbers, but with white space before or after
};

// Two files that give one entry name with other bytes: the manifest can list
// only one of them. From two folders of one import, or (in the window) a
// file whose line replaces that of an earlier import.
struct DuplicateNameFinding {
    struct Name {
        std::string name;
        std::string earlierPath;  // empty when not known
        std::string earlierMd5;
        std::uint64_t earlierSize = 0;
        std::string laterPath;
        std::string laterMd5;
        std::uint64_t laterSize = 0;
    };
    std::vector<Name> names;  // the later file is the one listed
};

// The custom folder would put entries where a client must not fetch them or
// cannot: outside the root ("..", an absolute path, a drive), behind a
// backslash, or under an empty folder name ("layout/", "a//b").
struct UnsafeFolderFinding {
    enum class Reason { LeavesRoot, Backslash, EmptyPart };
    std::string directory;
    Reason reason = Reason::LeavesRoot;
};

// The new update.json would drop more than half of the entries of the one
// there (one folder imported of three, the mode switched), whatever its version.
struct RemovalsFinding {
    std::string path;
    std::size_t previousEntries = 0;
    std::size_t removed = 0;
    std::size_t entries = 0;  // in the new one
};

// lsDefaultItemFilter.txt would be written in one form over a file of the
// other (UTF-8 names over GBK ones, or the reverse): one client loses its file.
struct OtherFormFinding {
    std::string path;
    FilterFileForm existing = FilterFileForm::Pc;
    FilterFileForm written = FilterFileForm::Mobile;
};

using Finding =
    std::variant<UnusableValuesFinding, NotAFilterFileFinding, VersionNotRaisedFinding,
                 UnreadablePreviousManifestFinding, EmptyResultFinding, UncarriableNamesFinding,
                 LostCharactersFinding, ShineOutOfRangeFinding, UncomparableVersionFinding,
                 DuplicateNameFinding, UnsafeFolderFinding, RemovalsFinding, OtherFormFinding>;

// The kind of a finding, one ASCII word that varo-cli prints with it and
// that --allow names: "empty-result", "duplicate-name" …
const char* FindingKind(const Finding& finding);
// Every kind, one per kind of finding.
const std::vector<std::string_view>& FindingKinds();

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

// Before lsDefaultItemFilter.txt is written at `path` in `form` as `bytes`.
std::vector<Finding> CheckFilterFile(const FilterRows& rows, const std::string& path,
                                     FilterFileForm form, std::string_view bytes);

// How a manifest names its entries: the mode and the custom folder.
struct ManifestNaming {
    ManifestMode mode = ManifestMode::MicroClient;
    std::string directory;
};

// The custom folder a manifest would name its entries under, when it is unsafe.
std::optional<Finding> CheckManifestFolder(const ManifestNaming& naming);

// Before 单json文件.json is written at `path`.
std::vector<Finding> CheckSingleManifest(std::string_view body, const std::string& path,
                                         const ManifestNaming& naming);

// Names that two files of one import give with other bytes (`digests` are
// those of plan.files), and names of `listed` lines ("name md5 size", as the
// window's list holds them) that another file of the import would replace
// with other bytes; `listedPath` gives the file a listed name came from, when
// known (the same file imported again after it changed is no finding).
std::optional<Finding> CheckDuplicateNames(
    const ResourceImportPlan& plan, const std::vector<FileDigest>& digests,
    std::string_view listed = {},
    const std::function<std::string(std::string_view name)>& listedPath = {});

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
// there is a previous one to compare it with. Also: the custom folder, and a
// list that drops more than half of the previous entries.
ReleaseCheckResult CheckRelease(const std::string& previousPath, std::string_view manifest,
                                std::string_view version, const ManifestNaming& naming);
// The same with the file at `previousPath` read already (ReadPreviousRelease).
ReleaseCheckResult CheckRelease(const std::string& previousPath, PreviousRelease previous,
                                std::string_view manifest, std::string_view version,
                                const ManifestNaming& naming);

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
