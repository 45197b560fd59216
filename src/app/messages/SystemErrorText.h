#pragma once

#include <QString>

#include "cache/DigestCache.h"
#include "db/ItemTable.h"
#include "manifest/ReleaseCheck.h"
#include "platform/SystemError.h"

namespace varo {

// Whether a failure happened while reading or while writing: a folder where
// a file was expected reads differently in each.
enum class FileAccess { Read, Write };

// The reason of a failed file operation for the messages of the window: the
// kind of failure in Chinese, then the system's own message in brackets.
QString SystemErrorText(const SystemError& error, FileAccess access = FileAccess::Write);

// Why the item table could not be loaded, in Chinese: what the path names
// (no file, a folder, an empty file …), no StdItems table, or SQLite's
// failure by its result code, SQLite's own English text in brackets.
QString ItemTableProblemText(const ItemTable& table);
// What a path offered as the database names, when it is none.
QString DatabaseFileProblemText(const DatabaseFileCheck& check);

// Why a text is no update.json, in Chinese, with its line and column.
QString ManifestFaultText(const ManifestFault& fault);

// Why the digest cache could not be used, in Chinese.
QString CacheProblemText(const CacheProblem& problem);

}  // namespace varo
