#include "platform/Path.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace varo {
namespace {

bool IsSeparator(char c) {
    return c == '/' || (c == '\\' && NativeSeparator() == '\\');
}

// The place of the last separator, or npos: called for every file of a
// large import, so a plain backward search, the system asked once.
std::size_t LastSeparator(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (NativeSeparator() != '\\') {
        return slash;
    }
    const std::size_t backslash = path.rfind('\\');
    return slash == std::string_view::npos       ? backslash
           : backslash == std::string_view::npos ? slash
                                                 : std::max(slash, backslash);
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
    if (folder.empty() || folder == ".") {
        return std::string(name);
    }
    std::string path(folder);
    if (!IsSeparator(path.back()) && path.size() != DrivePrefixLength(path)) {
        path += NativeSeparator();
    }
    path += name;
    return path;
}

std::string PathFolder(std::string_view path) {
    const std::size_t drive = DrivePrefixLength(path);
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos) {
        return drive > 0 ? std::string(path.substr(0, drive)) : ".";
    }
    // The separators before the name, all of them: "a//b" is in "a".
    std::size_t end = separator;
    while (end > drive && IsSeparator(path[end - 1])) {
        --end;
    }
    // A file in the root ("/c", "D:\c") is in the root itself, its separator kept.
    return std::string(end == drive ? path.substr(0, drive + 1) : path.substr(0, end));
}

std::string_view PathFileNameView(std::string_view path) {
    const std::size_t separator = LastSeparator(path);
    return separator == std::string_view::npos ? path.substr(DrivePrefixLength(path))
                                               : path.substr(separator + 1);
}

std::string PathFileName(std::string_view path) {
    return std::string(PathFileNameView(path));
}

std::string UnquotedPath(std::string_view path) {
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = path.substr(1, path.size() - 2);
    } else if (!NamesMayHoldQuotes() && !path.empty() && path.back() == '"') {
        path.remove_suffix(1);
    }
    return std::string(path);
}

std::string TemporaryPathBeside(std::string_view path, std::string_view suffix) {
    const std::size_t separator = LastSeparator(path);
    const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    std::string temporary(path.substr(0, nameStart));
    temporary += '.';
    temporary += path.substr(nameStart);
    temporary += '.';
    temporary += suffix;
    return temporary;
}

std::string RandomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    // A counter mixed with the clock and where the program was loaded (which
    // differs between processes): no state per thread, and no call that can fail.
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t value =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&counter)) << 16) ^
        (++counter * 0x9E3779B97F4A7C15ull);
    value ^= value >> 31;
    value *= 0xBF58476D1CE4E5B9ull;
    value ^= value >> 29;
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kLetters[value % (sizeof kLetters - 1)];
        value /= sizeof kLetters - 1;
    }
    return suffix;
}

}  // namespace varo
