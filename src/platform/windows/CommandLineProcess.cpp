#include "platform/CommandLineProcess.h"

#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/windows/WindowsText.h"

namespace varo {

namespace {

// Text to a console as wide characters, whatever its code page; anything
// else (a file, a pipe) gets the console's output code page, UTF-8 when it
// is 65001 or there is no console (a scheduled task).
void Write(DWORD stream, FILE* file, std::string_view utf8) {
    std::fflush(file);
    const HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring wide = windows::Widen(utf8);
        std::size_t written = 0;
        while (written < wide.size()) {
            DWORD count = 0;
            const DWORD piece =
                static_cast<DWORD>(std::min<std::size_t>(wide.size() - written, 8192));
            if (!WriteConsoleW(handle, wide.data() + written, piece, &count, nullptr) ||
                count == 0) {
                break;
            }
            written += count;
        }
        return;
    }
    const UINT codePage = GetConsoleOutputCP();
    if (codePage != 0 && codePage != CP_UTF8) {
        const std::string bytes = windows::InCodePage(utf8, codePage);
        if (!bytes.empty()) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fflush(file);
            return;
        }
    }
    std::fwrite(utf8.data(), 1, utf8.size(), file);
    std::fflush(file);
}

}  // namespace

void PrepareCommandLineProcess() {}

void WriteStandardOutput(std::string_view utf8) {
    Write(STD_OUTPUT_HANDLE, stdout, utf8);
}

void WriteStandardError(std::string_view utf8) {
    Write(STD_ERROR_HANDLE, stderr, utf8);
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

int StandardErrorColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
        return 80;
    }
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? columns : 80;
}

bool UserInterfaceIsChinese() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
}

}  // namespace varo
