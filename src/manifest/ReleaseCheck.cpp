#include "manifest/ReleaseCheck.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <system_error>
#include <vector>

#include "text/NameIndex.h"

namespace varo {
namespace {

bool IsNumber(std::string_view part) {
    return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
}

// Two digit strings by their value, without overflow: fewer significant
// digits is less, equal length compares as text.
int CompareNumbers(std::string_view a, std::string_view b) {
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b);
}

std::string_view NextPart(std::string_view& version) {
    const std::size_t dot = version.find('.');
    const std::string_view part = version.substr(0, dot);
    version = dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
    return part;
}

std::uint64_t SizeValue(const std::string& size) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(size.data(), size.data() + size.size(), value);
    return error == std::errc() && end == size.data() + size.size() ? value : 0;
}

// A version without the white space around it (ASCII, and the ideographic
// space a Chinese input method types).
std::string_view TrimmedVersion(std::string_view version) {
    constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
    constexpr std::string_view kAsciiSpace = " \t\r\n\v\f";
    for (;;) {
        if (!version.empty() && kAsciiSpace.find(version.front()) != std::string_view::npos) {
            version.remove_prefix(1);
        } else if (version.substr(0, 3) == kIdeographicSpace) {
            version.remove_prefix(3);
        } else {
            break;
        }
    }
    for (;;) {
        if (!version.empty() && kAsciiSpace.find(version.back()) != std::string_view::npos) {
            version.remove_suffix(1);
        } else if (version.size() >= 3 && version.substr(version.size() - 3) == kIdeographicSpace) {
            version.remove_suffix(3);
        } else {
            break;
        }
    }
    return version;
}

}  // namespace

ReleaseComparison CompareReleases(const ParsedManifest& previous, const ParsedManifest& next) {
    // The previous entries by name, a repeated name by its later entry.
    NameIndex before(previous.entries.size(), [&](std::uint32_t number) -> std::string_view {
        return previous.entries[number - 1].filename;
    });
    std::size_t names = 0;
    for (std::size_t i = 0; i < previous.entries.size(); ++i) {
        std::uint32_t& at = before[previous.entries[i].filename];
        names += at == 0 ? 1 : 0;
        at = static_cast<std::uint32_t>(i + 1);
    }
    ReleaseComparison comparison;
    std::vector<bool> met(previous.entries.size(), false);  // what stays unmet was removed
    std::size_t metNames = 0;
    for (const ManifestEntry& entry : next.entries) {
        const std::uint32_t at = before[entry.filename];
        if (at == 0 || met[at - 1]) {
            ++comparison.added;  // a name new, or given twice
        } else {
            const ManifestEntry& earlier = previous.entries[at - 1];
            met[at - 1] = true;
            ++metNames;
            if (earlier.md5 == entry.md5 && earlier.size == entry.size) {
                continue;
            }
            ++comparison.changed;
        }
        comparison.downloadBytes += SizeValue(entry.size);
    }
    comparison.removed = names - metNames;
    comparison.versionRaised = CompareVersions(next.version, previous.version) > 0;
    return comparison;
}

bool IsComparableVersion(std::string_view version) {
    version = TrimmedVersion(version);
    if (version.empty()) {
        return false;
    }
    while (!version.empty()) {
        const bool last = version.find('.') == std::string_view::npos;
        if (!IsNumber(NextPart(version)) || (!last && version.empty())) {
            return false;  // an empty or non-digit part, or a dot at the end
        }
    }
    return true;
}

bool HasSurroundingSpace(std::string_view version) {
    return TrimmedVersion(version).size() != version.size();
}

std::optional<std::string> NextVersion(std::string_view previous) {
    previous = TrimmedVersion(previous);
    if (!IsComparableVersion(previous)) {
        return std::nullopt;
    }
    std::string next(previous);
    // Decimal addition on the last part's digits, however long it is.
    std::size_t at = next.size();
    while (at > 0 && next[at - 1] != '.') {
        --at;
        if (next[at] != '9') {
            ++next[at];
            return next;
        }
        next[at] = '0';
    }
    next.insert(at, 1, '1');
    return next;
}

int CompareVersions(std::string_view a, std::string_view b) {
    a = TrimmedVersion(a);
    b = TrimmedVersion(b);
    while (!a.empty() || !b.empty()) {
        std::string_view left = NextPart(a);
        std::string_view right = NextPart(b);
        const std::string_view x = left.empty() ? std::string_view("0") : left;
        const std::string_view y = right.empty() ? std::string_view("0") : right;
        const int order = IsNumber(x) && IsNumber(y) ? CompareNumbers(x, y) : x.compare(y);
        if (order != 0) {
            return order < 0 ? -1 : 1;
        }
    }
    return 0;
}

}  // namespace varo
