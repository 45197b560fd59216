#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "text/CodePage.h"

namespace varo {

// The page classes hold database text as GBK and widgets hold QString; these
// convert at the widget border.
inline QString FromGbk(GbkView gbk) {
    const std::string utf8 = GbkToUtf8(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// What GBK lacks becomes '?', as everywhere else on the pages.
inline GbkText ToGbk(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

inline QString FromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string ToUtf8(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

}  // namespace varo
