#include "checks/Findings.h"

#include <algorithm>

#include "platform/FileIo.h"
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
    if (std::optional<std::string> gbk = StrictGbkToUtf8(original)) {
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
        if (name.find_first_of(breaking) != std::string::npos) {
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

}  // namespace

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
            const std::string_view shine = matrix.Cell(row, ItemRecord::kShineColumn);
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

std::vector<Finding> CheckFilterFile(const FilterRows& rows, const std::string& path) {
    const auto name = [](const FilterRow& row) -> const GbkText& { return row.itemName; };
    std::vector<Finding> findings;
    AddIf(findings, CheckUncarriableNames(rows, kFilterFileName, "\r\n", name));
    AddIf(findings, CheckLostCharacters(
                        rows, kFilterFileName, name,
                        [](const FilterRow& row) -> const std::string& { return row.lostName; }));
    AddIf(findings, CheckEmptyOverFile(rows.empty() ? "" : "rows", path));
    return findings;
}

std::vector<Finding> CheckSingleManifest(std::string_view body, const std::string& path) {
    std::vector<Finding> findings;
    AddIf(findings, CheckEmptyOverFile(body, path));
    return findings;
}

std::optional<Finding> CheckFilterFileSource(const std::string& path, const FilterFileRead& read,
                                             FilterFileUse use) {
    if (read.status != FilterFileRead::Status::Ok || read.looksLikeFilterFile) {
        return std::nullopt;
    }
    return NotAFilterFileFinding{path, use};
}

ReleaseCheckResult CheckRelease(const std::string& previousPath, std::string_view manifest,
                                std::string_view version) {
    ReleaseCheckResult result;
    const bool comparable = IsComparableVersion(version);
    if (!comparable) {
        result.findings.push_back(UncomparableVersionFinding{std::string(version)});
    }
    result.previous = ReadPreviousRelease(previousPath);
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
            previousPath, next.version, result.previous.manifest.version, *result.change});
    }
    if (next.entries.empty() && !result.previous.manifest.entries.empty()) {
        result.findings.push_back(EmptyResultFinding{previousPath, ExistingFileSize(previousPath),
                                                     result.previous.manifest.entries.size()});
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
