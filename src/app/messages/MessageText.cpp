#include "app/messages/MessageText.h"

#include "app/messages/TextBridge.h"
#include "checks/Words.h"
#include "platform/Path.h"
#include "text/Printable.h"

namespace varo {

QString Visible(const QString& text) {
    QString visible;
    visible.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < 0x20) {
            visible += QChar(static_cast<char16_t>(0x2400 + unit));  // ␀ … ␟
        } else if (unit == 0x7F) {
            visible += QChar(static_cast<char16_t>(0x2421));  // ␡
        } else if (IsHiddenControl(unit)) {
            // C1 controls and direction overrides would reorder the message.
            visible += QString::fromStdString(CodePointEscape(unit));
        } else {
            visible += c;
        }
    }
    return visible;
}

QString ShownPath(std::string_view path) {
    // A name in another encoding than UTF-8 shows its own bytes.
    return Visible(FromUtf8(EscapeInvalidUtf8(DisplayPath(path))));
}

QString WithinOneLine(const QString& text) {
    constexpr qsizetype kMost = 80;
    constexpr qsizetype kEach = 38;
    if (text.size() <= kMost) {
        return text;
    }
    // Never half of a character outside the basic plane.
    qsizetype head = kEach;
    if (text.at(head - 1).isHighSurrogate()) {
        --head;
    }
    qsizetype tail = text.size() - kEach;
    if (text.at(tail).isLowSurrogate()) {
        ++tail;
    }
    return text.left(head) + QStringLiteral("…") + text.mid(tail);
}

QString ShownGbk(GbkView gbk) {
    return WithinOneLine(Visible(FromGbk(gbk)));
}

QString ShownUtf8(std::string_view utf8) {
    return WithinOneLine(Visible(FromUtf8(EscapeInvalidUtf8(utf8))));
}

QString SizeText(std::uint64_t bytes) {
    return FromUtf8(SizeWords(bytes, Language::Chinese));
}

QString WithRestCounted(const QStringList& lines, std::size_t total, const QString& unit) {
    QString text = lines.join(QLatin1Char('\n'));
    if (total > static_cast<std::size_t>(lines.size())) {
        text +=
            QLatin1Char('\n') + FromUtf8(RestWords(total - static_cast<std::size_t>(lines.size()),
                                                   ToUtf8(unit), Language::Chinese));
    }
    return text;
}

}  // namespace varo
