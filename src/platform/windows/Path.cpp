#include "platform/Path.h"

#include <windows.h>

#include <algorithm>

#include "platform/windows/WindowsText.h"

namespace varo {

using windows::WidePath;

namespace {

// A path without the "\\?\" prefix of the long form: \\?\UNC\server\x is
// \\server\x, \\?\D:\x is D:\x.
std::string WithoutLongPathPrefix(std::string_view path) {
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
        return "\\\\" + std::string(path.substr(8));
    }
    if (path.rfind("\\\\?\\", 0) == 0) {
        path.remove_prefix(4);
    }
    return std::string(path);
}

}  // namespace

std::string_view PathSeparators() {
    return "/\\";
}

char NativeSeparator() {
    return '\\';
}

std::size_t DrivePrefixLength(std::string_view path) {
    const bool letter =
        !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

bool NamesMayHoldQuotes() {
    return false;
}

std::string DisplayPath(std::string_view path) {
    // The long-path forms as the user knows them.
    std::string shown = WithoutLongPathPrefix(path);
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown;
}

std::string ExactPath(std::string_view path) {
    // The form every reader of the program opens (WidePath): full, "\\?\".
    return windows::Narrow(WidePath(path));
}

}  // namespace varo
