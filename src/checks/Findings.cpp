#include "checks/Findings.h"

namespace varo {

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

std::optional<Finding> CheckFilterFileSource(const std::string& path, const FilterFileRead& read,
                                             FilterFileUse use) {
    if (read.status != FilterFileRead::Status::Ok || read.looksLikeFilterFile) {
        return std::nullopt;
    }
    return NotAFilterFileFinding{path, use};
}

ReleaseCheckResult CheckRelease(const std::string& previousPath, std::string_view manifest) {
    ReleaseCheckResult result;
    result.previous = ReadPreviousRelease(previousPath);
    switch (result.previous.state) {
        case PreviousRelease::State::Absent:
            return result;
        case PreviousRelease::State::Unusable:
            result.finding = UnreadablePreviousManifestFinding{
                previousPath, result.previous.readError, result.previous.error};
            return result;
        case PreviousRelease::State::Present:
            break;
    }
    const ParsedManifest next = ParseStandaloneManifest(manifest);
    result.change = CompareReleases(result.previous.manifest, next);
    if (result.change->NeedsNewVersion()) {
        result.finding = VersionNotRaisedFinding{previousPath, next.version,
                                                 result.previous.manifest.version, *result.change};
    }
    return result;
}

}  // namespace varo
