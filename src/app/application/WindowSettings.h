#pragma once

#include <string>

#include "settings/SettingsFile.h"

namespace varo {

class MainWindow;

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

// What the window remembers: the database path, the light-pillar parameters,
// the manifest mode, directory and version, the folder of each file dialog
// and the page shown.
Settings CaptureWindowSettings(const MainWindow& window);

// Puts remembered values back; a value that does not fit (an unknown mode, a
// page that does not exist) leaves its control as it is.
void RestoreWindowSettings(MainWindow& window, const Settings& settings);

}  // namespace varo
