#pragma once

#include <QString>

#include "cache/DigestCache.h"
#include "db/ItemTable.h"
#include "manifest/PreviousRelease.h"

// The core's problems (item table, manifest, cache) in the window's words.
namespace varo {

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
