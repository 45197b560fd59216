#include "manifest/Manifest.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "text/Ascii.h"
#include "text/CodePage.h"
#include "text/GbkSearch.h"

namespace varo {
namespace {

bool Contains(std::string_view text, std::string_view needle) {
    return text.find(needle) != std::string_view::npos;
}

// The hot-update directory by the extensions the name contains; a later rule
// wins: ".mp3" over ".map" over ".wzl"/".wzx".
std::optional<std::string_view> HotUpdateDirectory(std::string_view name) {
    if (Contains(name, ".mp3")) {
        return "wav/";
    }
    if (Contains(name, ".map")) {
        return "map/";
    }
    if (Contains(name, ".wzl") || Contains(name, ".wzx")) {
        return "data/";
    }
    return std::nullopt;
}

}  // namespace

ResourceLine ParseResourceLine(std::string_view line) {
    const std::size_t last = line.rfind(' ');
    if (last == std::string_view::npos) {
        return {line, {}, {}};
    }
    const std::size_t middle = last == 0 ? std::string_view::npos : line.rfind(' ', last - 1);
    if (middle == std::string_view::npos) {
        return {line.substr(0, last), line.substr(last + 1), {}};
    }
    return {line.substr(0, middle), line.substr(middle + 1, last - middle - 1),
            line.substr(last + 1)};
}

ManifestPathFault FaultOfManifestPath(std::string_view path) {
    if (path.empty()) {
        return ManifestPathFault::None;
    }
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    bool parent = false;
    bool emptyPart = false;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        parent = parent || part == "..";
        emptyPart = emptyPart || part.empty();
        if (end == path.size()) {
            break;
        }
        start = end + 1;
    }
    if (path.front() == '/' || drive || parent) {
        return ManifestPathFault::LeavesRoot;
    }
    if (path.find('\\') != std::string_view::npos) {
        return ManifestPathFault::Backslash;
    }
    return emptyPart ? ManifestPathFault::EmptyPart : ManifestPathFault::None;
}

bool StaysBelowRoot(std::string_view path) {
    std::string slashed(path);
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    return !path.empty() && path.find('\0') == std::string_view::npos &&
           FaultOfManifestPath(slashed) != ManifestPathFault::LeavesRoot;
}

std::string ManifestFileName(std::string_view name, ManifestMode mode, std::string_view directory) {
    switch (mode) {
        case ManifestMode::MicroClient:
            return std::string(name);
        case ManifestMode::CustomDirectory:
            return directory.empty() ? std::string(name)
                                     : std::string(directory) + "/" + std::string(name);
        case ManifestMode::HotUpdate:
            break;
    }
    // Names such as X.WZL find their directory without regard to case.
    std::optional<std::string_view> prefix = HotUpdateDirectory(name);
    if (!prefix) {
        prefix = HotUpdateDirectory(AsciiLower(name));
    }
    return prefix ? std::string(*prefix) + std::string(name) : std::string(name);
}

std::vector<FileTypeFilter> ResourceFileFilters(ManifestMode mode) {
    FileTypeFilter resources{"资源文件(*.wzl;*.wzx)", {"*.wzl", "*.wzx"}};
    switch (mode) {
        case ManifestMode::MicroClient:
            return {resources};
        case ManifestMode::HotUpdate:
            // The last entry takes every kind at once, for one import of a whole release.
            return {
                resources,
                {"地图文件(*.map)", {"*.map"}},
                {"声音文件(*.mp3)", {"*.mp3"}},
                {"全部热更资源(*.wzl;*.wzx;*.map;*.mp3)", {"*.wzl", "*.wzx", "*.map", "*.mp3"}}};
        case ManifestMode::CustomDirectory:
            break;
    }
    return {{"全部格式(*.*)", {"*"}}};  // every file, also one without a dot
}

bool ModeOffersFile(ManifestMode mode, std::string_view name) {
    // Each mode's patterns, made once: a folder of 100,000 names asks this for each.
    static const std::array<std::vector<std::string>, 3> kPatterns = [] {
        std::array<std::vector<std::string>, 3> patterns;
        for (const ManifestMode each :
             {ManifestMode::MicroClient, ManifestMode::HotUpdate, ManifestMode::CustomDirectory}) {
            for (const FileTypeFilter& filter : ResourceFileFilters(each)) {
                for (const std::string& pattern : filter.patterns) {
                    patterns[static_cast<std::size_t>(each)].push_back(pattern);
                }
            }
        }
        return patterns;
    }();
    for (const std::string& pattern : kPatterns[static_cast<std::size_t>(mode)]) {
        if (pattern == "*" || EndsWithIgnoringCase(name, std::string_view(pattern).substr(1))) {
            return true;
        }
    }
    return false;
}

void AppendResourceLine(std::string& lines, std::string_view name, std::string_view md5,
                        std::uint64_t size) {
    char digits[20];
    const std::size_t count =
        static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, size).ptr - digits);
    lines.append(name).append(1, ' ').append(md5).append(1, ' ').append(digits, count);
    lines.append("\r\n");
}

bool ResourceListCanCarry(std::string_view name) {
    // Printable ASCII holds none of them (every file name of an import is asked).
    if (std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
        return true;
    }
    // Everything the list's text takes for the end of a line or a paragraph.
    static constexpr std::string_view kBreaks[] = {"\r",     "\n",     "\v",     "\f",    "\u0085",
                                                   "\u2028", "\u2029", "\uFDD0", "\uFDD1"};
    return std::none_of(std::begin(kBreaks), std::end(kBreaks),
                        [&](std::string_view line) { return Contains(name, line); });
}

namespace {

// True when no name has two lines in `lines`, each line ending in CR LF (an
// import's lines are so).
bool EachNameOnce(std::string_view lines) {
    if (!lines.empty() && !lines.ends_with("\r\n")) {
        return false;
    }
    std::unordered_set<std::string_view> names;
    for (std::size_t start = 0; start < lines.size();) {
        const std::size_t end = lines.find("\r\n", start);
        if (!names.insert(ParseResourceLine(lines.substr(start, end - start)).name).second) {
            return false;
        }
        start = end + 2;
    }
    return true;
}

}  // namespace

std::string MergeResourceLines(std::string_view listText, std::string_view newLines) {
    // Into an empty list, lines that name each file once are the merge as
    // they are: spared a copy of every line (an import of 100,000 files).
    if (listText.empty() && EachNameOnce(newLines)) {
        return std::string(newLines);
    }
    std::vector<std::string> lines;
    std::unordered_map<std::string, std::size_t> lineOfName;
    for (const std::string_view text : {listText, newLines}) {
        for (const std::string_view line : SplitUtf8(text, "\r\n")) {
            const std::string name(ParseResourceLine(line).name);
            const auto [at, added] = lineOfName.try_emplace(name, lines.size());
            if (added) {
                lines.emplace_back(line);
            } else {
                lines[at->second] = line;  // the newer digest and size, in the older place
            }
        }
    }
    std::string merged;
    merged.reserve(listText.size() + newLines.size());
    for (const std::string& line : lines) {
        merged += line;
        merged += "\r\n";
    }
    return merged;
}

std::string BuildManifestBody(std::string_view listText, ManifestMode mode,
                              std::string_view directory) {
    std::string body;
    body.reserve(listText.size() * 2);
    std::string filename;  // one buffer for every line
    // The lines as SplitUtf8 gives them, without a list of them: every piece
    // between CR LF, empty ones too, but none after the last CR LF.
    for (std::size_t start = 0; start < listText.size();) {
        const std::size_t end = listText.find("\r\n", start);
        const ResourceLine line = ParseResourceLine(listText.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start));
        start = end == std::string_view::npos ? listText.size() : end + 2;
        filename = ManifestFileName(line.name, mode, directory);
        body += "{\r\n  \"filename\":\"";
        AppendJsonEscaped(body, filename);
        body += "\",\r\n  \"md5\":\"";
        AppendJsonEscaped(body, line.md5);
        body += "\",\r\n  \"size\":\"";
        AppendJsonEscaped(body, line.size);
        body += "\"\r\n},\r\n";
    }
    // Drop the comma and the line break after the last entry.
    body.resize(body.size() >= 3 ? body.size() - 3 : 0);
    return body;
}

std::string BuildStandaloneManifest(std::string_view body, std::string_view version) {
    std::string manifest;
    manifest.reserve(body.size() + version.size() + 64);
    manifest = "{\r\n  \"assets_version\":\"";
    AppendJsonEscaped(manifest, version);
    manifest += "\",\r\n  \"md5list\":[\r\n";
    manifest += body;
    manifest += "\r\n  ]\r\n}";
    return manifest;
}

std::string JsonEscape(std::string_view text) {
    std::string escaped;
    AppendJsonEscaped(escaped, text);
    return escaped;
}

void AppendJsonEscaped(std::string& escaped, std::string_view text) {
    // Most values (digests, sizes, ASCII names) need nothing escaped.
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte >= 0x80 || c == '"' || c == '\\';
    });
    if (plain) {
        escaped += text;
        return;
    }
    const std::string valid = IsValidUtf8(text) ? std::string(text) : ToValidUtf8(text);
    for (const char c : valid) {
        switch (c) {
            case '"':
                escaped += "\\\"";
                break;
            case '\\':
                escaped += "\\\\";
                break;
            case '\b':
                escaped += "\\b";
                break;
            case '\f':
                escaped += "\\f";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case '\t':
                escaped += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char code[8];
                    std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
                    escaped += code;
                } else {
                    escaped += c;
                }
        }
    }
}

}  // namespace varo
