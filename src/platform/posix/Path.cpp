#include "platform/Path.h"

namespace varo {

std::string_view PathSeparators() {
    return "/";
}

char NativeSeparator() {
    return '/';
}

std::size_t DrivePrefixLength(std::string_view) {
    return 0;
}

bool NamesMayHoldQuotes() {
    return true;
}

std::string DisplayPath(std::string_view path) {
    return std::string(path);
}

std::string ExactPath(std::string_view path) {
    return std::string(path);
}

}  // namespace varo
