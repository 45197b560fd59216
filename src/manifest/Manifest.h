#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varo {

// Which client update the manifest page serves. File names and manifests are
// UTF-8, as the file system gives the names.
enum class ManifestMode { MicroClient, HotUpdate, CustomDirectory };

// The "filename" value of a manifest entry for a bare file name: the name
// itself for the micro-client; "data/", "map/" or "wav/" before it by its
// extension for a hot update; the custom directory, a slash and the name in
// the custom mode (the bare name when the directory text is empty).
std::string ManifestFileName(std::string_view name, ManifestMode mode, std::string_view directory);

// A file-type choice of the resource dialog: its caption and its patterns.
struct FileTypeFilter {
    std::string description;
    std::vector<std::string> patterns;  // "*.wzl", or "*" for every file
};

// The file types the resource dialog offers in a mode, the first selected.
std::vector<FileTypeFilter> ResourceFileFilters(ManifestMode mode);

// True when a mode's dialog offers this file name: "*" offers every name,
// "*.ext" the names that end in ".ext" in any letter case. The dialog and
// varo-cli's directory expansion both follow this rule.
bool ModeOffersFile(ManifestMode mode, std::string_view name);

// One line of the resource list, added to the end of `lines`: the name, one
// space, the digest, one space, the byte count, CR LF.
void AppendResourceLine(std::string& lines, std::string_view name, std::string_view md5,
                        std::uint64_t size);

// One line of the resource list, split: "name md5 size", the last two fields
// at the last two spaces, so a name may hold spaces. A line with fewer
// fields fills them from the left.
struct ResourceLine {
    std::string_view name;
    std::string_view md5;
    std::string_view size;
};
ResourceLine ParseResourceLine(std::string_view line);

// False for a name that a line of the list cannot carry: it holds a character
// that ends a line or a paragraph of the list's text.
bool ResourceListCanCarry(std::string_view name);

// The resource list with `newLines` added: a line whose name the list holds
// already replaces that line in its place, so no name has two entries.
std::string MergeResourceLines(std::string_view listText, std::string_view newLines);

// The entries of the manifests from the resource list text: one JSON object
// per line, joined by ",\r\n", with no comma after the last one. The digest and
// the size are the last two space-separated fields of a line, the name all
// before them.
std::string BuildManifestBody(std::string_view listText, ManifestMode mode,
                              std::string_view directory);

// update.json: the header with the version, the body, the footer.
std::string BuildStandaloneManifest(std::string_view body, std::string_view version);

// The text as the content of a JSON string: quotes, backslashes and control
// characters escaped, ill-formed UTF-8 replaced by U+FFFD.
std::string JsonEscape(std::string_view text);
// JsonEscape appending to `out`.
void AppendJsonEscaped(std::string& out, std::string_view text);

// What is wrong with a path of a manifest (a "filename", the custom folder)
// for a client that fetches it below the server's root.
enum class ManifestPathFault {
    None,
    LeavesRoot,  // "..", an absolute path, a drive: outside the root
    Backslash,   // a separator on Windows only
    EmptyPart,   // "layout/", "a//b"
};
ManifestPathFault FaultOfManifestPath(std::string_view path);

// True when a path of a manifest stays below the root on every system: no
// part leaves it, whichever of '/' and '\\' separates the parts. A name
// that fails this is never opened.
bool StaysBelowRoot(std::string_view path);

inline constexpr const char* kSingleManifestFileName = "单json文件.json";
inline constexpr const char* kStandaloneManifestFileName = "update.json";

}  // namespace varo
