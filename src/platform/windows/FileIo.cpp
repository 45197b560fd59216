#include "platform/FileIo.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "platform/windows/WindowsText.h"

namespace varo {
namespace {

using windows::SystemErrorOf;
using windows::WidePath;

// Why writing over `path` was refused with `windowsError`. Windows answers
// "access denied" for a target that is a directory, and often for a file
// another program holds open too: a second look tells them apart.
SystemError ReplacementFailure(const std::string& path, DWORD windowsError) {
    if (windowsError == ERROR_ACCESS_DENIED) {
        const std::wstring target = WidePath(path);
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return {EISDIR, windowsError};
        }
        const HANDLE probe = CreateFileW(target.c_str(), DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
            return SystemErrorOf(ERROR_SHARING_VIOLATION);
        }
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
        }
    }
    return SystemErrorOf(windowsError);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD piece =
            bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), piece, &written, nullptr)) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// Six random letters and digits: the temporary name's suffix.
std::string RandomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kLetters[random() % (sizeof kLetters - 1)];
    }
    return suffix;
}

}  // namespace

// With the "\\?\" prefix std::filesystem reaches paths beyond 260 characters
// too; the program's own paths go without it.
std::filesystem::path FileSystemPath(const std::string& path) {
    return std::filesystem::path(WidePath(path));
}

std::string ProgramPath(const std::filesystem::path& path) {
    std::wstring_view native = path.native();
    if (native.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return "\\\\" + windows::Narrow(native.substr(8));
    }
    if (native.rfind(L"\\\\?\\", 0) == 0) {
        native.remove_prefix(4);
    }
    return windows::Narrow(native);
}

std::string_view PathSeparators() {
    return "/\\";
}

char NativeSeparator() {
    return '\\';
}

bool IsReadOnlyFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_READONLY);
}

InputFile::~InputFile() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

bool InputFile::Open(const std::string& path, SystemError& error) {
    // Others may go on reading, writing or renaming the file meanwhile.
    const std::wstring wide = WidePath(path);
    const HANDLE file = CreateFileW(
        wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD windowsError = GetLastError();
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        error = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                    ? SystemError{EISDIR, windowsError}
                    : SystemErrorOf(windowsError);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) {
        error = SystemErrorOf(GetLastError());
        CloseHandle(file);
        return false;
    }
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = ErrnoError(EISDIR);
        CloseHandle(file);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    size_ =
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    return true;
}

std::int64_t InputFile::Read(void* buffer, std::size_t size, SystemError& error) {
    DWORD count = 0;
    const DWORD wanted = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, wanted, &count, nullptr)) {
        error = SystemErrorOf(GetLastError());
        return -1;
    }
    error = {};
    return count;
}

FileWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = TemporaryPathBeside(path, RandomSuffix());
        file = CreateFileW(WidePath(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return {false, SystemErrorOf(GetLastError())};
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return {false, SystemErrorOf(ERROR_FILE_EXISTS)};
    }
    SystemError error;
    if (!WriteAll(file, bytes) || !FlushFileBuffers(file)) {
        error = SystemErrorOf(GetLastError());
    }
    CloseHandle(file);
    // A target another program holds open without sharing refuses the
    // replacement: the error names it, and the previous file stays.
    if (!error && !MoveFileExW(WidePath(temporary).c_str(), WidePath(path).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ReplacementFailure(path, GetLastError());
    }
    if (error) {
        DeleteFileW(WidePath(temporary).c_str());
        return {false, error};
    }
    return {true, {}};
}

}  // namespace varo
