#pragma once

#include <string>

#include "settings/SettingsFile.h"

namespace varo {

class MainWindow;

// Where the settings file lives: in the program folder when files can be
// created there (the tool is used unpacked, like a portable program),
// otherwise in the user's configuration folder.
std::string SettingsFilePath(const std::string& programDirectory);

// The settings in the file; none (the first-run values) when it is missing,
// unreadable or larger than any the window writes.
Settings LoadSettingsFile(const std::string& path);

// Writes the settings in one step, creating the file's folder when needed;
// false when that fails (the previous file then stays as it was).
bool SaveSettingsFile(const std::string& path, const Settings& settings);

// What the window remembers: the database path, the light-pillar parameters,
// the manifest mode, directory and version, the folder of each file dialog
// and the page shown.
Settings CaptureWindowSettings(const MainWindow& window);

// Puts remembered values back; a value that does not fit (an unknown mode, a
// page that does not exist) leaves its control as it is.
void RestoreWindowSettings(MainWindow& window, const Settings& settings);

}  // namespace varo
