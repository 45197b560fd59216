#pragma once

#include <string>
#include <string_view>

namespace varo {

// Writes `bytes` as `fileName` in `directory` (a path in the file system's own
// bytes) in one step. When that fails, a warning names the file and the
// reason (a folder that takes no file, with what to do about it) and, when
// there was a previous file, says that it is unchanged; the result is then
// false.
bool WriteOutputFile(const std::string& directory, std::string_view fileName,
                     std::string_view bytes);

}  // namespace varo
