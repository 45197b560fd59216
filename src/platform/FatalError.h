#pragma once

#include <string>

namespace varo {

// Called with the message of a fatal runtime error before the process ends.
// The window shows it in a message box; the default writes it to stderr.
using FatalErrorHook = void (*)(const std::string& message);

void SetFatalErrorHook(FatalErrorHook hook);

// Reports through the hook, then ends the process with exit code -1.
[[noreturn]] void FatalError(const std::string& message);

}  // namespace varo
