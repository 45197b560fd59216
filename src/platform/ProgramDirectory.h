#pragma once

#include <string>
#include <string_view>

#include "platform/Path.h"

namespace varo {

// The directory that holds the running executable, without a trailing separator.
std::string ProgramDirectory();

// The program directory joined with a file name: where the output files go.
inline std::string ProgramFilePath(std::string_view fileName) {
    return JoinPath(ProgramDirectory(), fileName);
}

}  // namespace varo
