#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemError.h"

namespace varo {

// The window's remembered settings: names and UTF-8 values.
using Settings = std::map<std::string, std::string>;

// Reads the settings text (UTF-8): "name=value" lines (CR LF or LF); lines
// starting with ';' or '#', section lines "[...]" and lines without '=' are
// skipped. A value stands as it is, backslashes included. A name of
// characters other than ASCII letters, digits, '.', '_' and '/', a value that
// is not valid UTF-8 or holds a CR, a repeated name (the first counts), and everything after
// the first kMaxSettings names are ignored, so any bytes give some settings.
// Files written by the first version escaped "\\", "\n" and "\r" in values;
// such a file, known by its first line, is read with the escapes undone.
Settings ParseSettings(std::string_view text);

// The file ParseSettings reads back as the same settings, UTF-8 without a
// byte-order mark. Names it would ignore and values holding CR or LF (which
// no line can carry) are left out, and so are values that would make the
// file larger than the reader takes (kMaxSettingsFileSize), the longest
// first; the names of those go to `tooLong` when given.
std::string FormatSettings(const Settings& settings, std::vector<std::string>* tooLong = nullptr);

// The settings file `existing` (UTF-8 text) with our settings put in: each
// line of a name in `settings` within the [settings] section takes its value
// (once), names it lacks go at the end of that section, and every other line
// (comments, names of others, other sections) stays as it stands. Values are
// left out as FormatSettings leaves them, so that the file stays readable.
std::string MergeSettings(std::string_view existing, const Settings& settings,
                          std::vector<std::string>* tooLong = nullptr);

// A settings file's bytes as UTF-8 text, as editors save it: UTF-8 with or
// without a byte-order mark, UTF-16 LE or BE with one, and bytes that are
// not UTF-8 as GBK (Notepad's ANSI code page on Chinese Windows).
std::string DecodeSettingsText(std::string_view bytes);

// True when the text is a settings file: its first line that is neither
// empty nor a comment is "[settings]", or it is empty or white space (nothing
// would be lost by writing it). Comments alone are someone else's text.
bool IsSettingsText(std::string_view text);

// What the window found at its settings path when it started. Only a file
// that was absent or read as a settings file is ever replaced: any other
// file the path names (a database given by mistake, say) stays as it is.
struct SettingsFileState {
    enum class Kind {
        Absent,      // no file: the first run; written at close
        Settings,    // read; written back at close
        Foreign,     // a file that is no settings file: never written
        Unreadable,  // cannot be read (a directory, no permission): error
    };
    Kind kind = Kind::Absent;
    Settings settings;
    SystemError error;
    std::string text;  // Settings: the file as read (UTF-8), whose other lines are kept
};

SettingsFileState ReadSettingsFile(const std::string& path);

// What became of the settings at close.
struct SettingsSave {
    enum class Outcome {
        Written,
        Kept,    // not written on purpose: a read-only file, a foreign file
        Failed,  // error holds the reason
    };
    Outcome outcome = Outcome::Written;
    SystemError error;
    std::vector<std::string> tooLong;  // Written: the settings left out to keep the file readable
};

// Writes the settings in one step, creating the file's folder when needed,
// when `state` allows it and the file is not read-only (an administrator
// froze a profile). On failure the previous file stays as it was.
SettingsSave SaveSettingsFile(const std::string& path, const SettingsFileState& state,
                              const Settings& settings);

// More than the window ever writes; a larger file is not a settings file.
inline constexpr std::size_t kMaxSettings = 64;
inline constexpr std::size_t kMaxSettingsFileSize = 64 * 1024;

inline constexpr const char* kSettingsFileName = "varo-toolkit.ini";

}  // namespace varo
