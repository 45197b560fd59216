#include "platform/Console.h"

#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/windows/WindowsText.h"

namespace varo {

void PrepareCommandLineProcess() {
    // A console shows the UTF-8 the program prints; a pipe or a file gets the
    // same bytes as on Linux.
    SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(windows::Narrow(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace varo
