#pragma once

#include <map>
#include <string>
#include <string_view>

namespace varo {

// The window's remembered settings: names and UTF-8 values.
using Settings = std::map<std::string, std::string>;

// Reads the settings file: "name=value" lines (CR LF or LF); lines starting
// with ';' or '#', section lines "[...]" and lines without '=' are skipped.
// In a value, "\\", "\n" and "\r" stand for a backslash, LF and CR. A name of
// characters other than ASCII letters, digits, '.', '_' and '/', a value that
// is not valid UTF-8, a repeated name (the first counts), and everything after
// the first kMaxSettings names are ignored, so any bytes give some settings.
Settings ParseSettings(std::string_view text);

// The file ParseSettings reads back as the same settings (names it would
// ignore are left out).
std::string FormatSettings(const Settings& settings);

// More than the window ever writes; a larger file is not read.
inline constexpr std::size_t kMaxSettings = 64;
inline constexpr std::size_t kMaxSettingsFileSize = 64 * 1024;

inline constexpr const char* kSettingsFileName = "varo-toolkit.ini";

}  // namespace varo
