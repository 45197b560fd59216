#include "platform/windows/WindowsText.h"

#include <windows.h>

#include <cerrno>

#include "text/Printable.h"

namespace varo::windows {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::wstring WidePath(std::string_view utf8) {
    std::wstring path = Widen(utf8);
    if (path.empty() || path.rfind(L"\\\\?\\", 0) == 0) {
        return path;
    }
    // Absolute and clean first: ".", "..", doubled and trailing separators,
    // forward slashes and relative paths of any length are resolved by the
    // system, which the "\\?\" form below would take literally.
    std::wstring full(path.size() + MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return path;  // the call that uses it reports why
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length + 1);
    }
    if (full.rfind(L"\\\\.\\", 0) == 0) {
        return full;  // a device such as \\.\COM1
    }
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
    }
    return L"\\\\?\\" + full;
}

std::string InCodePage(std::string_view utf8, unsigned codePage) {
    const std::wstring wide = Widen(utf8);
    std::string bytes;
    const auto convert = [codePage](const wchar_t* text, int length, std::string& out) {
        BOOL usedDefault = FALSE;
        const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, length, nullptr,
                                             0, nullptr, &usedDefault);
        if (size <= 0 || usedDefault) {
            return size > 0 ? 0 : -1;  // 0: a character is missing; -1: no such conversion
        }
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(size));
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, length, out.data() + start, size,
                            nullptr, nullptr);
        return 1;
    };
    const int whole = convert(wide.data(), static_cast<int>(wide.size()), bytes);
    if (whole != 0) {
        return whole > 0 ? bytes : std::string();
    }
    // One character at a time: a surrogate pair is one character.
    for (std::size_t i = 0; i < wide.size();) {
        const bool pair =
            i + 1 < wide.size() && IS_HIGH_SURROGATE(wide[i]) && IS_LOW_SURROGATE(wide[i + 1]);
        const int units = pair ? 2 : 1;
        if (convert(wide.data() + i, units, bytes) != 1) {
            const unsigned value = pair ? 0x10000u +
                                              ((static_cast<unsigned>(wide[i]) - 0xD800u) << 10) +
                                              (static_cast<unsigned>(wide[i + 1]) - 0xDC00u)
                                        : static_cast<unsigned>(wide[i]);
            bytes += CodePointEscape(value);
        }
        i += static_cast<std::size_t>(units);
    }
    return bytes;
}

bool IsReservedDeviceName(std::wstring_view name) {
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && (stem.back() == L' ' || stem.back() == L'.')) {
        stem.remove_suffix(1);
    }
    std::wstring upper(stem);
    for (wchar_t& c : upper) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL") {
        return true;
    }
    // COM1..COM9, LPT1..LPT9, and the superscript digits ¹ ² ³ Windows counts too.
    if (upper.size() == 4 && (upper.rfind(L"COM", 0) == 0 || upper.rfind(L"LPT", 0) == 0)) {
        const wchar_t digit = upper[3];
        return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
               digit == L'\u00B3';
    }
    return false;
}

int ErrnoOf(unsigned long windowsError) {
    switch (windowsError) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NETNAME_DELETED:
        case ERROR_REM_NOT_LIST:
            return EHOSTUNREACH;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return EBUSY;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return EINVAL;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_OPERATION_ABORTED:
            return ECANCELED;
        default:
            return EIO;
    }
}

SystemError SystemErrorOf(unsigned long windowsError) {
    return {ErrnoOf(windowsError), windowsError};
}

}  // namespace varo::windows
