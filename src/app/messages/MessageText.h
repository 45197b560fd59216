#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <string_view>

namespace varo {

// The pieces of the window's messages that come from data: names, paths and
// versions shown with their control characters as visible symbols (a tab as
// ␉, ESC as ␛), so that a message never breaks a line or hides a character
// where the data has one.
QString Visible(const QString& text);
// A path (UTF-8) as the user reads it: the system's form, control characters visible.
QString ShownPath(std::string_view path);
// Database text (GBK) as a message shows it.
QString ShownGbk(std::string_view gbk);
// UTF-8 text from a file or a box, as a message shows it.
QString ShownUtf8(std::string_view utf8);

// How many items a list in a message names before it says how many more
// there are, so that a box never grows past the screen.
inline constexpr std::size_t kMessageItemsListed = 10;

// The first kMessageItemsListed of `items`, one per line, then
// "……另有N<unit>" for the rest of `total` (the count of all items).
QString ListedLines(const QStringList& items, std::size_t total, const QString& unit);

}  // namespace varo
