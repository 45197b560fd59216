#pragma once

#include <QString>

#include "platform/SystemError.h"

namespace varo {

// Whether a failure happened while reading or while writing: a folder where
// a file was expected reads differently in each.
enum class FileAccess { Read, Write };

// The reason of a failed file operation for the messages of the window: the
// kind of failure in Chinese, then the system's own message in brackets.
QString SystemErrorText(const SystemError& error, FileAccess access = FileAccess::Write);

}  // namespace varo
