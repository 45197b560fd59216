#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "manifest/PreviousRelease.h"

// The words both front ends put into their messages where the core hands
// them a number, a size or a reason: the window says them in Chinese,
// varo-cli in the user's language. UTF-8.
namespace varo {

enum class Language { English, Chinese };

// Whether a failure happened while reading or while writing: a folder where
// a file was expected reads differently in each.
enum class FileAccess { Read, Write };

// A size limit: "64 MiB" (a no-break space in Chinese), else the bytes
// counted: "1 byte", "5 bytes", "5字节".
std::string SizeWords(std::uint64_t bytes, Language language);

// What follows the first items of a long list: "and 5 more", "……另有5个"
// (`unit`, Chinese only, is the measure word of the items: 个, 处).
std::string RestWords(std::size_t rest, std::string_view unit, Language language);

// The kind of a failed file operation (an errno value or one of the
// program's own kinds, see SystemError.h), without the system's message.
std::string SystemErrorKindWords(int kind, FileAccess access, Language language);

// SQLite's primary result codes a user can meet.
std::string SqliteCodeWords(int code, Language language);

// Why a text is no update.json.
std::string ManifestFaultWords(const ManifestFault& fault, Language language);

}  // namespace varo
