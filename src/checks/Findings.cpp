#include "checks/Findings.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/FileIo.h"
#include "platform/Path.h"
#include "text/CodePage.h"
#include "text/TextToInt.h"

namespace varo {
namespace {

// The size of the regular file at `path`; 0 when there is none (or it is
// something else: a folder refuses the write on its own).
std::uint64_t ExistingFileSize(const std::string& path) {
    FileState state;
    SystemError ignored;
    return StatFile(path, state, ignored) ? state.size : 0;
}

std::optional<Finding> CheckEmptyOverFile(std::string_view content, const std::string& path) {
    if (!content.empty()) {
        return std::nullopt;
    }
    const std::uint64_t size = ExistingFileSize(path);
    if (size == 0) {
        return std::nullopt;  // nothing to lose: the empty file may be written
    }
    return EmptyResultFinding{path, size, 0};
}

// The name shown for one that lost characters: its own UTF-8, or, for bytes
// that are no UTF-8 (a database holding GBK), their GBK reading when they have one.
std::string ShownOriginal(std::string_view original) {
    if (IsValidUtf8(original)) {
        return std::string(original);
    }
    if (std::optional<std::string> gbk = StrictGbkToUtf8(GbkView(original))) {
        return *gbk;
    }
    return ToValidUtf8(original);
}

template <typename Rows, typename NameOf, typename LostOf>
std::optional<Finding> CheckLostCharacters(const Rows& rows, const char* fileName, NameOf nameOf,
                                           LostOf lostOf) {
    LostCharactersFinding finding{fileName, {}};
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const std::string& lost = lostOf(rows[row]);
        if (!lost.empty()) {
            finding.names.push_back({row, ShownOriginal(lost), nameOf(rows[row])});
        }
    }
    if (finding.names.empty()) {
        return std::nullopt;
    }
    return finding;
}

template <typename Rows, typename NameOf>
std::optional<Finding> CheckUncarriableNames(const Rows& rows, const char* fileName,
                                             std::string_view breaking, NameOf nameOf) {
    UncarriableNamesFinding finding{fileName, {}};
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const GbkText& name = nameOf(rows[row]);
        // Tab, CR and LF are never part of a GBK character.
        if (name.Bytes().find_first_of(breaking) != std::string::npos) {
            finding.names.push_back({row, name});
        }
    }
    if (finding.names.empty()) {
        return std::nullopt;
    }
    return finding;
}

void AddIf(std::vector<Finding>& findings, std::optional<Finding> finding) {
    if (finding) {
        findings.push_back(std::move(*finding));
    }
}

bool HasNonAscii(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The filter file at `path` in the other form than `form`, when both it and
// `bytes` hold text outside ASCII (an ASCII file reads the same in both).
std::optional<Finding> CheckOtherForm(const std::string& path, FilterFileForm form,
                                      std::string_view bytes) {
    if (!HasNonAscii(bytes)) {
        return std::nullopt;
    }
    const FilterFileRead read = ReadFilterFile(path);
    if (read.status != FilterFileRead::Status::Ok || !HasNonAscii(read.bytes)) {
        return std::nullopt;
    }
    const FilterFileForm existing = read.utf8 ? FilterFileForm::Mobile : FilterFileForm::Pc;
    if (existing == form) {
        return std::nullopt;
    }
    return OtherFormFinding{path, existing, form};
}

// A line of the resource list: "name md5 size", the name all before the last two fields.
struct ListLine {
    std::string_view name;
    std::string_view md5;
    std::uint64_t size = 0;
};

std::optional<ListLine> ParseListLine(std::string_view line) {
    const std::size_t sizeAt = line.rfind(' ');
    if (sizeAt == std::string_view::npos || sizeAt == 0) {
        return std::nullopt;
    }
    const std::size_t md5At = line.rfind(' ', sizeAt - 1);
    if (md5At == std::string_view::npos) {
        return std::nullopt;
    }
    ListLine parsed{line.substr(0, md5At), line.substr(md5At + 1, sizeAt - md5At - 1), 0};
    for (const char c : line.substr(sizeAt + 1)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        parsed.size = parsed.size * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return parsed;
}

}  // namespace

const char* FindingKind(const Finding& finding) {
    return std::visit(
        FindingVisitor{
            [](const UnusableValuesFinding&) { return "pillar-values"; },
            [](const NotAFilterFileFinding&) { return "not-filter-file"; },
            [](const VersionNotRaisedFinding&) { return "release-version"; },
            [](const UnreadablePreviousManifestFinding&) { return "unreadable-previous"; },
            [](const EmptyResultFinding&) { return "empty-result"; },
            [](const UncarriableNamesFinding&) { return "uncarriable-name"; },
            [](const LostCharactersFinding&) { return "lost-characters"; },
            [](const ShineOutOfRangeFinding&) { return "shine-range"; },
            [](const UncomparableVersionFinding&) { return "version-format"; },
            [](const DuplicateNameFinding&) { return "duplicate-name"; },
            [](const UnsafeFolderFinding&) { return "unsafe-folder"; },
            [](const RemovalsFinding&) { return "removals"; },
            [](const OtherFormFinding&) { return "other-form"; },
        },
        finding);
}

namespace {

template <std::size_t... Kinds>
std::vector<std::string_view> KindsOf(std::index_sequence<Kinds...>) {
    return {FindingKind(Finding(std::in_place_index<Kinds>))...};
}

}  // namespace

const std::vector<std::string_view>& FindingKinds() {
    // Named once, by FindingKind: one per kind of finding.
    static const std::vector<std::string_view> kinds =
        KindsOf(std::make_index_sequence<std::variant_size_v<Finding>>());
    return kinds;
}

std::optional<Finding> CheckLightPillarValues(const LightPillarList& rows) {
    const std::vector<UnusableLightPillarValue> unusable = FindUnusableLightPillarValues(rows);
    if (unusable.empty()) {
        return std::nullopt;
    }
    UnusableValuesFinding finding;
    for (const UnusableLightPillarValue& value : unusable) {
        const LightPillarRow& row = rows[value.row];
        finding.values.push_back(
            {value.row, value.column, row.fields[kItemNameColumn], row.fields[value.column]});
    }
    return finding;
}

std::vector<Finding> CheckLightPillarFile(const LightPillarList& rows, const std::string& path) {
    const auto name = [](const LightPillarRow& row) -> const GbkText& {
        return row.fields[kItemNameColumn];
    };
    std::vector<Finding> findings;
    AddIf(findings, CheckUncarriableNames(rows, kLightPillarFileName, "\t\r\n", name));
    AddIf(findings, CheckLostCharacters(rows, kLightPillarFileName, name,
                                        [](const LightPillarRow& row) -> const std::string& {
                                            return row.lostName;
                                        }));
    AddIf(findings, CheckLightPillarValues(rows));
    AddIf(findings, CheckEmptyOverFile(rows.empty() ? "" : "rows", path));
    return findings;
}

std::optional<Finding> CheckShineValues(const ItemMatrix& matrix) {
    ShineOutOfRangeFinding finding;
    if (matrix.Columns() >= ItemRecord::kShineColumn) {
        for (int row = 2; row <= matrix.Rows() + 1; ++row) {
            const GbkView shine = matrix.Cell(row, ItemRecord::kShineColumn);
            if (!TextToIntFits(shine)) {
                finding.values.push_back({static_cast<std::size_t>(row - 1),
                                          GbkText(matrix.Cell(row, ItemRecord::kNameColumn)),
                                          GbkText(shine)});
            }
        }
    }
    if (finding.values.empty()) {
        return std::nullopt;
    }
    return finding;
}

std::vector<Finding> CheckFilterFile(const FilterRows& rows, const std::string& path,
                                     FilterFileForm form, std::string_view bytes) {
    const auto name = [](const FilterRow& row) -> const GbkText& { return row.itemName; };
    std::vector<Finding> findings;
    // A tab too: the import takes a line holding one for another kind of file.
    AddIf(findings, CheckUncarriableNames(rows, kFilterFileName, "\t\r\n", name));
    AddIf(findings, CheckLostCharacters(
                        rows, kFilterFileName, name,
                        [](const FilterRow& row) -> const std::string& { return row.lostName; }));
    AddIf(findings, CheckEmptyOverFile(rows.empty() ? "" : "rows", path));
    AddIf(findings, CheckOtherForm(path, form, bytes));
    return findings;
}

std::optional<Finding> CheckManifestFolder(const ManifestNaming& naming) {
    const std::string_view folder = naming.directory;
    if (naming.mode != ManifestMode::CustomDirectory) {
        return std::nullopt;
    }
    switch (FaultOfManifestPath(folder)) {
        case ManifestPathFault::None:
            return std::nullopt;
        case ManifestPathFault::LeavesRoot:
            return UnsafeFolderFinding{std::string(folder),
                                       UnsafeFolderFinding::Reason::LeavesRoot};
        case ManifestPathFault::Backslash:
            return UnsafeFolderFinding{std::string(folder), UnsafeFolderFinding::Reason::Backslash};
        case ManifestPathFault::EmptyPart:
            return UnsafeFolderFinding{std::string(folder), UnsafeFolderFinding::Reason::EmptyPart};
    }
    return std::nullopt;
}

std::vector<Finding> CheckSingleManifest(std::string_view body, const std::string& path,
                                         const ManifestNaming& naming) {
    std::vector<Finding> findings;
    AddIf(findings, CheckManifestFolder(naming));
    AddIf(findings, CheckEmptyOverFile(body, path));
    return findings;
}

std::optional<Finding> CheckDuplicateNames(
    const ResourceImportPlan& plan, const std::vector<FileDigest>& digests, std::string_view listed,
    const std::function<std::string(std::string_view name)>& listedPath) {
    DuplicateNameFinding finding;
    for (const ResourceImportPlan::SharedName& shared : plan.sharedNames) {
        if (shared.laterFile >= digests.size()) {
            continue;
        }
        const FileDigest& earlier = digests[shared.earlierFile];
        const FileDigest& later = digests[shared.laterFile];
        if (earlier.ok && later.ok && !SameBytes(earlier, later)) {
            finding.names.push_back({shared.name, shared.earlier, earlier.md5, earlier.size,
                                     shared.later, later.md5, later.size});
        }
    }
    if (!listed.empty()) {
        std::unordered_map<std::string_view, std::size_t> fileOfName;
        for (const std::size_t i : FileOfEachLine(plan, digests)) {
            if (i < plan.files.size()) {
                fileOfName.emplace(PathFileNameView(plan.files[i]), i);
            }
        }
        for (std::size_t start = 0; start < listed.size();) {
            const std::size_t end = std::min(listed.find("\r\n", start), listed.size());
            const std::optional<ListLine> line = ParseListLine(listed.substr(start, end - start));
            start = end + 2;
            if (!line) {
                continue;
            }
            const auto found = fileOfName.find(line->name);
            if (found == fileOfName.end()) {
                continue;
            }
            const FileDigest& later = digests[found->second];
            const std::string& laterPath = plan.files[found->second];
            std::string earlierPath = listedPath ? listedPath(line->name) : std::string();
            // The same file imported again after it changed is an update, not another file.
            if ((later.md5 != line->md5 || later.size != line->size) && earlierPath != laterPath) {
                finding.names.push_back({std::string(line->name), std::move(earlierPath),
                                         std::string(line->md5), line->size, laterPath, later.md5,
                                         later.size});
            }
        }
    }
    if (finding.names.empty()) {
        return std::nullopt;
    }
    return finding;
}

std::optional<Finding> CheckFilterFileSource(const std::string& path, const FilterFileRead& read,
                                             FilterFileUse use) {
    if (read.status != FilterFileRead::Status::Ok || read.looksLikeFilterFile) {
        return std::nullopt;
    }
    return NotAFilterFileFinding{path, use};
}

ReleaseCheckResult CheckRelease(const std::string& previousPath, std::string_view manifest,
                                std::string_view version, const ManifestNaming& naming) {
    return CheckRelease(previousPath, ReadPreviousRelease(previousPath), manifest, version, naming);
}

ReleaseCheckResult CheckRelease(const std::string& previousPath, PreviousRelease previous,
                                std::string_view manifest, std::string_view version,
                                const ManifestNaming& naming) {
    ReleaseCheckResult result;
    AddIf(result.findings, CheckManifestFolder(naming));
    const bool comparable = IsComparableVersion(version);
    if (!comparable || HasSurroundingSpace(version)) {
        result.findings.push_back(UncomparableVersionFinding{std::string(version), comparable});
    }
    result.previous = std::move(previous);
    switch (result.previous.state) {
        case PreviousRelease::State::Absent:
            return result;
        case PreviousRelease::State::Unusable:
            result.findings.push_back(UnreadablePreviousManifestFinding{
                previousPath, result.previous.readError, result.previous.sizeLimit,
                result.previous.error, result.previous.fault});
            return result;
        case PreviousRelease::State::Present:
            break;
    }
    const ParsedManifest next = ParseStandaloneManifest(manifest);
    result.change = CompareReleases(result.previous.manifest, next);
    // A version that cannot be compared was asked about already.
    if (comparable && result.change->NeedsNewVersion()) {
        result.findings.push_back(VersionNotRaisedFinding{
            previousPath, next.version, result.previous.manifest.version, *result.change,
            NextVersion(result.previous.manifest.version).value_or(std::string())});
    }
    const std::size_t previousEntries = result.previous.manifest.entries.size();
    if (next.entries.empty() && previousEntries > 0) {
        result.findings.push_back(
            EmptyResultFinding{previousPath, ExistingFileSize(previousPath), previousEntries});
    } else if (result.change->removed * 2 > previousEntries) {
        result.findings.push_back(RemovalsFinding{previousPath, previousEntries,
                                                  result.change->removed, next.entries.size()});
    }
    return result;
}

std::optional<EmptyTableNote> ExplainEmptyLightPillarList(const ItemTable& table,
                                                          std::size_t rows) {
    if (rows > 0) {
        return std::nullopt;
    }
    if (table.rows == 0) {
        return EmptyTableNote{EmptyTableNote::Reason::NoItems, table.columns};
    }
    if (table.columns < ItemRecord::kShineColumn) {
        return EmptyTableNote{EmptyTableNote::Reason::TooFewColumns, table.columns};
    }
    return EmptyTableNote{EmptyTableNote::Reason::NoShineValue, table.columns};
}

std::optional<EmptyTableNote> ExplainEmptyFilterGrid(const ItemTable& table) {
    if (table.rows > 0) {
        return std::nullopt;
    }
    return EmptyTableNote{EmptyTableNote::Reason::NoItems, table.columns};
}

}  // namespace varo
