#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "checks/Findings.h"

namespace varo {

// The pieces of the window's messages that come from data: names, paths and
// versions shown with their control characters as visible symbols (a tab as
// ␉, ESC as ␛), so that a message never breaks a line or hides a character
// where the data has one.
QString Visible(const QString& text);
// A path (UTF-8) as the user reads it: the system's form, control characters visible.
QString ShownPath(std::string_view path);
// A value quoted in a message at most one line long: a longer one (a whole
// text pasted into a box) keeps its start and its end around "…", so that a
// question never pushes its buttons off the screen.
QString WithinOneLine(const QString& text);
// Database text (GBK) as a message shows it, within one line.
QString ShownGbk(GbkView gbk);
// UTF-8 text from a file or a box, as a message shows it, within one line.
QString ShownUtf8(std::string_view utf8);

// A size limit as the messages give it: "64 MiB", one unbreakable unit.
QString SizeText(std::uint64_t bytes);

// `lines`, one per line, then "……另有N<unit>" for the rest of `total` (the
// count of all items).
QString WithRestCounted(const QStringList& lines, std::size_t total, const QString& unit);

// The first kItemsListed of `values` as `describe` words them, one per line,
// then how many more there are.
template <typename Values, typename Describe>
QString ListedLines(const Values& values, Describe describe, const QString& unit) {
    QStringList lines;
    for (std::size_t i = 0; i < values.size() && i < kItemsListed; ++i) {
        lines << describe(values[i]);
    }
    return WithRestCounted(lines, values.size(), unit);
}

}  // namespace varo
