#pragma once

#include <string>

namespace varo {

// Text in code page 936 (GBK), held as raw bytes. Database text lives in memory
// in this form; it is converted to UTF-8 only where it leaves for SQLite or a file.
using GbkText = std::string;

}  // namespace varo
