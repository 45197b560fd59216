#pragma once

#include <string>
#include <string_view>

#include "platform/SystemError.h"

// The one border between the program's UTF-8 and the wide text of the
// Windows API.
namespace varo::windows {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// A UTF-8 path as the wide API takes it: backslashes, and the "\\?\" prefix
// on absolute paths, so that paths longer than 260 characters work.
std::wstring WidePath(std::string_view utf8);

// UTF-8 text in a Windows code page (the console's output code page for
// redirected output, so that `varo-cli … >> log.txt` in a .bat matches what
// its own echo writes there). A character the code page lacks is written
// as \u{…}, never as '?'. Empty when the code page cannot be converted to.
std::string InCodePage(std::string_view utf8, unsigned codePage);

// True for a name Windows keeps for a device: CON, PRN, AUX, NUL, COM1 to
// COM9 and LPT1 to LPT9 in any letter case, alone or before a dot (aux.wzl),
// with trailing spaces or dots.
bool IsReservedDeviceName(std::wstring_view name);

// The errno value closest to a Windows error code.
int ErrnoOf(unsigned long windowsError);

// A Windows error code with the errno value closest to it.
SystemError SystemErrorOf(unsigned long windowsError);

}  // namespace varo::windows
