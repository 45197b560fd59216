#pragma once

// pages: one folder per tab (pillar, filter, manifest, about), each with
// its page, model, views, editors and background work; the item-table load
// the pillar and filter pages share (here).

#include <QString>

#include <optional>
#include <vector>

#include "db/ItemTable.h"

namespace varo {

// Reads the item table for a page (the given 1-based columns). When that
// fails, a warning names the path and the reason and the result is nothing,
// so that the page keeps what it shows.
std::optional<ItemTable> LoadItemTableOrWarn(SqliteConnection& connection, const QString& path,
                                             const std::vector<int>& columns);

}  // namespace varo
