#pragma once

#include <QString>

namespace varo {

// The reason of a failed file operation (an errno value) in Chinese, for the
// messages of the window.
QString SystemErrorText(int error);

}  // namespace varo
