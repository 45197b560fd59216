// The settings file on any bytes: never more than the limit, and what is
// read is written back so that it reads the same.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const varo::Settings settings = varo::ParseSettings(varo::DecodeSettingsText(text));
    if (settings.size() > varo::kMaxSettings ||
        varo::ParseSettings(varo::FormatSettings(settings)) != settings) {
        std::abort();
    }
    return 0;
}
