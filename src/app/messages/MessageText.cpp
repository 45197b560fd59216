#include "app/messages/MessageText.h"

#include "app/widgets/TextBridge.h"
#include "platform/Path.h"

namespace varo {

QString Visible(const QString& text) {
    QString visible = text;
    for (QChar& c : visible) {
        const char16_t unit = c.unicode();
        if (unit < 0x20) {
            c = QChar(static_cast<char16_t>(0x2400 + unit));  // ␀ … ␟
        } else if (unit == 0x7F) {
            c = QChar(static_cast<char16_t>(0x2421));  // ␡
        }
    }
    return visible;
}

QString ShownPath(std::string_view path) {
    return Visible(FromUtf8(DisplayPath(path)));
}

QString ShownGbk(std::string_view gbk) {
    return Visible(FromGbk(gbk));
}

QString ShownUtf8(std::string_view utf8) {
    return Visible(FromUtf8(utf8));
}

QString SizeText(std::uint64_t bytes) {
    return bytes % (1u << 20) == 0 ? QStringLiteral("%1\u00A0MiB").arg(bytes >> 20)
                                   : QStringLiteral("%1字节").arg(bytes);
}

QString WithRestCounted(const QStringList& lines, std::size_t total, const QString& unit) {
    QString text = lines.join(QLatin1Char('\n'));
    if (total > static_cast<std::size_t>(lines.size())) {
        text += QStringLiteral("\n……另有%1%2")
                    .arg(total - static_cast<std::size_t>(lines.size()))
                    .arg(unit);
    }
    return text;
}

}  // namespace varo
