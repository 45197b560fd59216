// BuildManifestBody and update.json on any list text: the output always
// parses as JSON with one entry per line of the list, each holding the line's
// fields. Any text read back as a previous update.json never crashes, and a
// release compared with itself has no change.

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "manifest/Manifest.h"
#include "manifest/ReleaseCheck.h"
#include "text/CodePage.h"
#include "text/GbkSearch.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const auto mode = static_cast<varo::ManifestMode>(data[0] % 3);
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    // The first line is the directory and version text, the rest the list.
    const std::size_t newline = input.find('\n');
    const std::string_view setting =
        newline == std::string_view::npos ? std::string_view() : input.substr(0, newline);
    const std::string_view list =
        newline == std::string_view::npos ? input : input.substr(newline + 1);
    const std::vector<std::string_view> lines = varo::SplitUtf8(list, "\r\n");

    const std::string body = varo::BuildManifestBody(list, mode, setting);
    const nlohmann::json single = nlohmann::json::parse("[" + body + "]", nullptr, false);
    Require(single.is_array() && single.size() == lines.size());
    for (const nlohmann::json& entry : single) {
        Require(entry.is_object() && entry.size() == 3 && entry["md5"].is_string());
    }

    const varo::ParsedManifest standalone =
        varo::ParseStandaloneManifest(varo::BuildStandaloneManifest(body, setting));
    Require(standalone.ok && standalone.entries.size() == lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // The size is the text after the last space of a line that has two.
        const std::string_view line = lines[i];
        const std::size_t last = line.rfind(' ');
        const bool twoSpaces = last != std::string_view::npos && last > 0 &&
                               line.rfind(' ', last - 1) != std::string_view::npos;
        if (twoSpaces && varo::IsValidUtf8(line)) {
            Require(standalone.entries[i].size == line.substr(last + 1));
        }
    }

    const varo::ParsedManifest hostile = varo::ParseStandaloneManifest(input);
    Require(hostile.ok || !hostile.error.empty());
    if (hostile.ok) {
        // Compared with itself nothing is removed, and with one entry per
        // name nothing changed either.
        const varo::ReleaseComparison same = varo::CompareReleases(hostile, hostile);
        std::set<std::string_view> names;
        for (const varo::ManifestEntry& entry : hostile.entries) {
            names.insert(entry.filename);
        }
        Require(same.removed == 0);
        Require(names.size() < hostile.entries.size() || !same.AnythingChanged());
    }
    return 0;
}
