#include "platform/FileIo.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/Path.h"
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

}  // namespace

// With the "\\?\" prefix std::filesystem reaches paths beyond 260 characters
// too; the program's own paths go without it.
std::filesystem::path FileSystemPath(const std::string& path) {
    return std::filesystem::path(WidePath(path));
}

std::string ProgramPath(const std::filesystem::path& path) {
    return DisplayPath(windows::Narrow(path.native()));
}

std::optional<std::vector<std::string>> FullPaths(const std::vector<std::string>& paths,
                                                  SystemError* error) {
    std::optional<std::vector<std::string>> full;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (path.rfind("\\\\?\\", 0) == 0) {
            continue;  // a listed name: its own spelling, trailing dots and all
        }
        // The system resolves relative and drive-relative paths, and gives
        // the one spelling under which the file is known.
        const std::wstring wide = WidePath(path);
        if (wide.rfind(L"\\\\.\\", 0) == 0) {
            continue;  // a device, refused when it is opened
        }
        if (wide.rfind(L"\\\\?\\", 0) != 0) {
            if (error != nullptr) {
                *error = ErrnoError(ENAMETOOLONG);
            }
            return std::nullopt;
        }
        std::string resolved = ProgramPath(std::filesystem::path(wide));
        if (resolved == path) {
            continue;
        }
        if (!full) {
            full.emplace(paths);
        }
        (*full)[i] = std::move(resolved);
    }
    return full;
}

bool IsReadOnlyFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_READONLY);
}

namespace {

std::int64_t FileTimeValue(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

// The state of an open file: size, times, volume and file index.
bool StateOfHandle(HANDLE file, FileState& state, DWORD& attributes) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) {
        return false;
    }
    attributes = information.dwFileAttributes;
    state.size =
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    state.modified = FileTimeValue(information.ftLastWriteTime);
    state.device = information.dwVolumeSerialNumber;
    state.file =
        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    // The change time (attributes, renames, content) is only in the basic information.
    FILE_BASIC_INFO basic{};
    state.changed = GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)
                        ? basic.ChangeTime.QuadPart
                        : state.modified;
    return true;
}

// The last part of a path, without the separators before it.
std::wstring_view LastName(std::wstring_view path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// For a path (as WidePath gives it) that would open a device rather than a
// file: kReservedDeviceName for a name such as aux.wzl or CON (which the
// system turns into \\.\AUX), kNotRegularFile for the rest of the device
// space (\\.\pipe\x, \\.\COM1 spelt out); 0 for a file's path.
int DeviceKind(std::wstring_view wide) {
    if (windows::IsReservedDeviceName(LastName(wide))) {
        return kReservedDeviceName;
    }
    return wide.rfind(L"\\\\.\\", 0) == 0 ? kNotRegularFile : 0;
}

}  // namespace

InputFile::~InputFile() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

bool InputFile::Open(const std::string& path, SystemError& error) {
    const std::wstring wide = WidePath(path);
    if (const int kind = DeviceKind(wide)) {
        error = ErrnoError(kind);
        return false;
    }
    // Others may go on reading, writing or renaming the file meanwhile.
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
    // A pipe or a console is no file on a disk: reading it may wait for good.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        error = ErrnoError(kNotRegularFile);
        CloseHandle(file);
        return false;
    }
    DWORD attributes = 0;
    if (!StateOfHandle(file, state_, attributes)) {
        error = SystemErrorOf(GetLastError());
        CloseHandle(file);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = ErrnoError(EISDIR);
        CloseHandle(file);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
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

std::int64_t InputFile::Read(void* buffer, std::size_t size, SystemError& error, bool& fromDisk) {
    // Windows cannot say where the bytes came from: a read of a cached file
    // takes microseconds, one from the disk far longer.
    const auto started = std::chrono::steady_clock::now();
    const std::int64_t count = Read(buffer, size, error);
    fromDisk = std::chrono::steady_clock::now() - started > std::chrono::microseconds(500);
    return count;
}

bool InputFile::Unchanged(const std::string& path, SystemError& error) const {
    FileState now;
    DWORD attributes = 0;
    if (!StateOfHandle(reinterpret_cast<HANDLE>(handle_), now, attributes)) {
        error = SystemErrorOf(GetLastError());
        return false;
    }
    // Written in place with its times put back, the change time still moves.
    // A file deleted while it is open stays reachable until its handles close.
    FILE_STANDARD_INFO standard{};
    const bool deleted =
        GetFileInformationByHandleEx(reinterpret_cast<HANDLE>(handle_), FileStandardInfo, &standard,
                                     sizeof standard) &&
        standard.DeletePending;
    if (now != state_ || deleted) {
        error = ErrnoError(kChangedWhileRead);
        return false;
    }
    // The name may lead elsewhere by now: to a file renamed over it, to nothing.
    FileState named;
    SystemError ignored;
    if (!StatFile(path, named, ignored) || named != state_) {
        error = ErrnoError(kChangedWhileRead);
        return false;
    }
    return true;
}

void InputFile::Prefetch(std::uint64_t bytes) const {
    // Windows has no call that only asks for the data: reading it with a
    // handle of its own fills the system's cache (FILE_FLAG_SEQUENTIAL_SCAN
    // lets the cache manager read further ahead), and the digest's own
    // handle then finds it there.
    // Each reader's own buffer on its own stack: nothing with a destructor
    // lives per thread, since MinGW's threads run such destructors at exit.
    char scratch[1 << 16];
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED at{};
    for (std::uint64_t offset = 0; offset < bytes;) {
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD count = 0;
        const DWORD wanted =
            static_cast<DWORD>(std::min<std::uint64_t>(sizeof scratch, bytes - offset));
        if (!ReadFile(file, scratch, wanted, &count, &at) || count == 0) {
            break;
        }
        offset += count;
    }
}

bool StatFile(const std::string& path, FileState& state, SystemError& error) {
    const std::wstring wide = WidePath(path);
    if (const int kind = DeviceKind(wide)) {
        error = ErrnoError(kind);
        return false;
    }
    // No access asked: the file's information only, whoever holds it open.
    const HANDLE file =
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemErrorOf(GetLastError());
        return false;
    }
    DWORD attributes = 0;
    bool ok = GetFileType(file) == FILE_TYPE_DISK;
    if (!ok) {
        error = ErrnoError(kNotRegularFile);
    } else if (!StateOfHandle(file, state, attributes)) {
        error = SystemErrorOf(GetLastError());
        ok = false;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = ErrnoError(EISDIR);
        ok = false;
    }
    CloseHandle(file);
    return ok;
}

bool FileHoldsExactly(const std::string& path, std::string_view bytes) {
    const std::wstring wide = WidePath(path);
    if (DeviceKind(wide) != 0) {
        return false;
    }
    // Write access for the flush only; a file that refuses it is written as usual.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    struct Closer {
        HANDLE file;
        ~Closer() { CloseHandle(file); }
    } closer{file};
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        information.nNumberOfLinks != 1 ||
        ((static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) |
         information.nFileSizeLow) != bytes.size()) {
        return false;
    }
    std::vector<char> buffer(1 << 16);
    for (std::size_t at = 0; at <= bytes.size();) {
        DWORD count = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr)) {
            return false;
        }
        if (count == 0) {
            return at == bytes.size() && FlushFileBuffers(file);
        }
        if (count > bytes.size() - at ||
            std::memcmp(buffer.data(), bytes.data() + at, count) != 0) {
            return false;
        }
        at += count;
    }
    return false;
}

FolderLookup::~FolderLookup() = default;

bool FolderLookup::StatFile(const std::string& path, FileState& state, SystemError& error) {
    // Windows has no look-up relative to an open folder; the listing gives the states.
    return varo::StatFile(path, state, error);
}

std::int64_t FileTimeNow() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    return FileTimeValue(now);
}

std::int64_t FileTimeUnitsPerSecond() {
    return 10000000;  // FILETIME counts 100 ns
}

std::string UserCacheFolder() {
    const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring folder(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), size);
    return length > 0 && length < size ? windows::Narrow(std::wstring_view(folder.data(), length))
                                       : std::string();
}

PathKind KindOfPath(const std::string& path, SystemError* error) {
    const std::wstring wide = WidePath(path);
    if (DeviceKind(wide) != 0) {
        return PathKind::Other;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (error != nullptr) {
            *error = SystemErrorOf(GetLastError());
        }
        return PathKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

namespace {

// One entry of a folder's listing, with the state of a regular file (its
// volume's serial given, when the folder's own information could be had).
FolderEntry ListedEntry(const std::wstring& base, const std::string& narrowBase,
                        const FILE_ID_BOTH_DIR_INFO& info, std::wstring_view name,
                        const std::optional<DWORD>& volume) {
    FolderEntry entry;
    entry.name = windows::Narrow(name);
    entry.path = narrowBase + entry.name;
    DWORD attributes = info.FileAttributes;
    if (windows::IsReservedDeviceName(name)) {
        entry.error = ErrnoError(kReservedDeviceName);
        return entry;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link: the kind of what it leads to.
        const std::wstring wide = base + std::wstring(name);
        const HANDLE target =
            CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        FileState ignored;
        if (target == INVALID_HANDLE_VALUE || !StateOfHandle(target, ignored, attributes)) {
            entry.error = SystemErrorOf(GetLastError());
            if (target != INVALID_HANDLE_VALUE) {
                CloseHandle(target);
            }
            return entry;
        }
        CloseHandle(target);
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && volume && info.FileId.QuadPart != 0) {
        // (A file system that lists no file ids, FAT on a stick say, has its
        // files looked at one by one, as they always were.)
        FileState state;
        state.size = static_cast<std::uint64_t>(info.EndOfFile.QuadPart);
        state.modified = info.LastWriteTime.QuadPart;
        state.changed = info.ChangeTime.QuadPart;
        state.device = *volume;
        state.file = static_cast<std::uint64_t>(info.FileId.QuadPart);
        entry.state = state;
    }
    entry.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FolderEntry::Kind::Folder
                                                         : FolderEntry::Kind::File;
    return entry;
}

}  // namespace

bool FolderListingGivesStates() {
    return true;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, SystemError& error) {
    // The "\\?\" form all through: folders of any length are listed, and the
    // names come back as they are, trailing dots included.
    std::wstring base = WidePath(folder);
    if (base.empty()) {
        base = WidePath(".");
    }
    if (base.back() != L'\\') {
        base += L'\\';
    }
    const std::string narrowBase = windows::Narrow(base);
    // One handle on the folder: its entries come many to a call with every
    // key field a file's handle would give (size, times, file id), and the
    // volume's serial is asked once.
    const HANDLE folderHandle = CreateFileW(
        base.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folderHandle == INVALID_HANDLE_VALUE) {
        error = SystemErrorOf(GetLastError());
        return false;
    }
    std::optional<DWORD> volume;
    BY_HANDLE_FILE_INFORMATION self{};
    if (GetFileInformationByHandle(folderHandle, &self)) {
        if (!(self.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            CloseHandle(folderHandle);
            error = ErrnoError(ENOTDIR);
            return false;
        }
        volume = self.dwVolumeSerialNumber;
    }
    std::vector<std::uint64_t> buffer(64 * 1024 / sizeof(std::uint64_t));  // 8-byte aligned
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(folderHandle, request, buffer.data(),
                                          static_cast<DWORD>(buffer.size() * sizeof buffer[0]))) {
            const DWORD windowsError = GetLastError();
            CloseHandle(folderHandle);
            if (windowsError == ERROR_NO_MORE_FILES) {
                return true;
            }
            error = SystemErrorOf(windowsError);
            return false;
        }
        request = FileIdBothDirectoryInfo;
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto& info = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
            const std::wstring_view name(info.FileName, info.FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                entries.push_back(ListedEntry(base, narrowBase, info, name, volume));
            }
            if (info.NextEntryOffset == 0) {
                break;
            }
            bytes += info.NextEntryOffset;
        }
    }
}

namespace {

// Marks the open file to be deleted when its last handle closes (true), or
// no longer (false).
bool SetDeleteOnClose(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// Renames the open file over `target` (replacing it) through its own handle.
bool RenameOver(HANDLE file, const std::wstring& target) {
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target.c_str(), target.size() * sizeof(wchar_t));
    return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

}  // namespace

FileWriteResult WriteFileAtomically(const std::string& path, const ByteProducer& produce,
                                    bool durable) {
    const std::wstring target = WidePath(path);
    if (const int kind = DeviceKind(target)) {
        return {false, ErrnoError(kind)};  // a device or a pipe: no file to replace
    }
    // Windows refuses to replace a read-only file (some emulations do not):
    // the file stays as it is and the message says why.
    if (IsReadOnlyFile(path)) {
        return {false, ErrnoError(kReadOnlyTarget)};
    }
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = TemporaryPathBeside(path, RandomSuffix());
        file = CreateFileW(WidePath(temporary).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return {false, SystemErrorOf(GetLastError())};
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return {false, SystemErrorOf(ERROR_FILE_EXISTS)};
    }
    // Until it is renamed into place the file goes when its handle closes: a
    // program that dies while it writes leaves nothing behind.
    const bool disposable = SetDeleteOnClose(file, true);
    SystemError error;
    const SystemError stopped = produce([&](std::string_view bytes) {
        if (!error && !WriteAll(file, bytes)) {
            error = SystemErrorOf(GetLastError());
        }
        return !error;
    });
    if (!error && stopped) {
        error = stopped;
    }
    if (!error && durable && !FlushFileBuffers(file)) {
        error = SystemErrorOf(GetLastError());
    }
    // A target another program holds open without sharing refuses the
    // replacement: the error names it, and the previous file stays.
    if (!error && disposable) {
        if (!SetDeleteOnClose(file, false)) {
            error = SystemErrorOf(GetLastError());
        } else if (!RenameOver(file, target)) {
            error = ReplacementFailure(path, GetLastError());
            SetDeleteOnClose(file, true);
        }
        CloseHandle(file);
    } else {
        CloseHandle(file);
        if (!error &&
            !MoveFileExW(WidePath(temporary).c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0))) {
            error = ReplacementFailure(path, GetLastError());
        }
    }
    if (error) {
        DeleteFileW(WidePath(temporary).c_str());
        return {false, error};
    }
    return {true, {}};
}

}  // namespace varo
