#pragma once

#include <string>

#include "settings/SettingsFile.h"

namespace varo {

// Where the settings file lives: in the program folder when files can be
// created there (the tool is used unpacked, like a portable program),
// otherwise in the user's configuration folder.
std::string SettingsFilePath(const std::string& programDirectory);

// At start: says once, in a warning, that the file at `path` is no settings
// file and will not be written.
void ReportSettingsFileAtStart(const std::string& path, const SettingsFileState& state);

// At close: saves the settings when the file may be written; a failure shows
// a warning that names the file and the reason.
void SaveSettingsAtClose(const std::string& path, const SettingsFileState& state,
                         const Settings& settings);

}  // namespace varo
