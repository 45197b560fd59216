#include "manifest/ReleaseCheck.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <nlohmann/json.hpp>
#include <system_error>
#include <unordered_map>

#include "platform/FileIo.h"

namespace varo {
namespace {

// update.json of thousands of files is a few hundred KiB; anything this large
// is not one, and is not read into memory.
constexpr std::uint64_t kLargestManifest = 64u << 20;

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

bool StringMember(const nlohmann::json& object, const char* key, std::string& value) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        return false;
    }
    value = found->get<std::string>();
    return true;
}

}  // namespace

ParsedManifest ParseStandaloneManifest(std::string_view json) {
    ParsedManifest parsed;
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(json.begin(), json.end());
    } catch (const nlohmann::json::exception& error) {
        // "[json.exception.parse_error.101] parse error at …": the part after the tag
        const std::string_view what = error.what();
        const std::size_t tagEnd = what.find("] ");
        parsed.error = tagEnd == std::string_view::npos ? what : what.substr(tagEnd + 2);
        return parsed;
    }
    if (!document.is_object() || !StringMember(document, "assets_version", parsed.version)) {
        parsed.error = "no \"assets_version\" text";
        return parsed;
    }
    const auto list = document.find("md5list");
    if (list == document.end() || !list->is_array()) {
        parsed.error = "no \"md5list\" array";
        return parsed;
    }
    parsed.entries.reserve(list->size());
    for (const nlohmann::json& item : *list) {
        ManifestEntry entry;
        if (!item.is_object() || !StringMember(item, "filename", entry.filename) ||
            !StringMember(item, "md5", entry.md5) || !StringMember(item, "size", entry.size)) {
            parsed.error = "entry " + std::to_string(parsed.entries.size() + 1) +
                           " of \"md5list\" lacks \"filename\", \"md5\" or \"size\" text";
            parsed.entries.clear();
            return parsed;
        }
        parsed.entries.push_back(std::move(entry));
    }
    parsed.ok = true;
    return parsed;
}

ReleaseComparison CompareReleases(const ParsedManifest& previous, const ParsedManifest& next) {
    std::unordered_map<std::string_view, const ManifestEntry*> before;
    before.reserve(previous.entries.size());
    for (const ManifestEntry& entry : previous.entries) {
        before[entry.filename] = &entry;  // a repeated name: the later entry counts
    }
    ReleaseComparison comparison;
    for (const ManifestEntry& entry : next.entries) {
        const auto found = before.find(entry.filename);
        if (found == before.end()) {
            ++comparison.added;
        } else {
            const bool same = found->second->md5 == entry.md5 && found->second->size == entry.size;
            before.erase(found);  // what stays in `before` was removed
            if (same) {
                continue;
            }
            ++comparison.changed;
        }
        comparison.downloadBytes += SizeValue(entry.size);
    }
    comparison.removed = before.size();
    comparison.versionRaised = CompareVersions(next.version, previous.version) > 0;
    return comparison;
}

int CompareVersions(std::string_view a, std::string_view b) {
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

PreviousRelease ReadPreviousRelease(const std::string& path) {
    PreviousRelease previous;
    const std::optional<std::string> text = ReadWholeFile(path, kLargestManifest);
    if (!text) {
        const int error = errno;
        if (error != ENOENT && error != EISDIR) {  // a directory is no previous release
            previous.state = PreviousRelease::State::Unusable;
            previous.error =
                error == EFBIG ? "larger than 64 MiB" : std::generic_category().message(error);
        }
        return previous;
    }
    previous.manifest = ParseStandaloneManifest(*text);
    previous.state = previous.manifest.ok ? PreviousRelease::State::Present
                                          : PreviousRelease::State::Unusable;
    previous.error = previous.manifest.error;
    return previous;
}

}  // namespace varo
