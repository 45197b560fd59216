#pragma once

#include <string>
#include <string_view>

namespace varo {

// The directory that holds the running executable, without a trailing separator.
std::string ProgramDirectory();

// The program directory joined with a file name: where the output files go.
std::string ProgramFilePath(std::string_view fileName);

}  // namespace varo
