// Reads back what Explorer shows of a program (Windows only):
//   varo-read-version PROGRAM.exe
// prints its product name, file description and versions from the version
// resource (GetFileVersionInfoW), whether it holds an icon and a manifest,
// one per line, as UTF-8.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/windows/WindowsText.h"

namespace {

std::wstring Value(const std::vector<char>& block, const wchar_t* name) {
    wchar_t* text = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) ||
        text == nullptr) {
        return L"(none)";
    }
    return std::wstring(text, length > 0 ? length - 1 : 0);
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 2) {
        std::fprintf(stderr, "usage: varo-read-version PROGRAM.exe\n");
        return 2;
    }
    const wchar_t* program = arguments[1];
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program, &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoW(program, 0, size, block.data())) {
        std::fprintf(stderr, "no version information (error %lu)\n", GetLastError());
        return 1;
    }
    for (const wchar_t* name : {L"ProductName", L"FileDescription", L"FileVersion",
                                L"ProductVersion", L"LegalCopyright"}) {
        std::printf("%s: %s\n", varo::windows::Narrow(name).c_str(),
                    varo::windows::Narrow(Value(block, name)).c_str());
    }
    // RT_GROUP_ICON is type 14, RT_MANIFEST type 24.
    const HMODULE module = LoadLibraryExW(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const bool icon =
        module != nullptr && FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
    const bool manifest =
        module != nullptr && FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    std::printf("Icon: %s\nManifest: %s\n", icon ? "yes" : "no", manifest ? "yes" : "no");
    return icon && manifest ? 0 : 1;
}
