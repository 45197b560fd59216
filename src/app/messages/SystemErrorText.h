#pragma once

#include <QString>

#include "checks/Words.h"
#include "platform/SystemError.h"

namespace varo {

// The reason of a failed file operation for the messages of the window: the
// kind of failure in Chinese, then the system's own message in brackets.
QString SystemErrorText(const SystemError& error, FileAccess access = FileAccess::Write);

}  // namespace varo
