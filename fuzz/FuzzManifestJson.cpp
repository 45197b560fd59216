// BuildManifestBody and update.json on any list text: the output always
// parses as JSON with one entry per line of the list.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "JsonCheck.h"
#include "manifest/Manifest.h"
#include "text/GbkSearch.h"

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
    const std::size_t lines = varo::SplitUtf8(list, "\r\n").size();

    const std::string body = varo::BuildManifestBody(list, mode, setting);
    varo::fuzz::JsonCheck single("[" + body + "]");
    if (!single.Parse() || single.outerArrayLength != lines) {
        std::abort();
    }
    varo::fuzz::JsonCheck standalone(varo::BuildStandaloneManifest(body, setting));
    if (!standalone.Parse() || standalone.md5listLength != lines) {
        std::abort();
    }
    return 0;
}
