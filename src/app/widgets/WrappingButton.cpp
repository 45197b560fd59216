#include "app/widgets/WrappingButton.h"

#include <QKeyEvent>

#include <QFontMetrics>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <limits>
#include <optional>

#include "app/widgets/FontThatFits.h"

namespace varo {
namespace {

bool IsWide(QChar c) {
    return c.unicode() >= 0x2E80;  // CJK characters and full-width forms
}

bool OpensBracket(QChar c) {
    return QStringLiteral("([（【“").contains(c);
}

bool ClosesBracket(QChar c) {
    return QStringLiteral(")]）】”，。、：").contains(c);
}

// True when a line may break before text[at]: at a space, between two
// Chinese characters, or where Chinese meets Latin, but not inside a Latin
// word, after an opening or before a closing bracket.
bool MayBreakBefore(const QString& text, qsizetype at) {
    const QChar before = text[at - 1];
    const QChar after = text[at];
    if (before.isSpace() || after.isSpace()) {
        return true;
    }
    if (OpensBracket(before) || ClosesBracket(after)) {
        return false;
    }
    return IsWide(before) || IsWide(after);
}

// The caption in one line, or broken in two with each line at least two
// characters long, the widest line as narrow as can be; nothing when it
// does not fit `room` in `font`.
std::optional<QStringList> Lines(const QString& text, const QFont& font, const QSize& room) {
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(text) <= room.width() && metrics.height() <= room.height()) {
        return QStringList{text};
    }
    if (2 * metrics.height() > room.height()) {
        return std::nullopt;
    }
    std::optional<QStringList> best;
    int bestWidth = std::numeric_limits<int>::max();
    for (qsizetype at = 1; at < text.size(); ++at) {
        if (!MayBreakBefore(text, at)) {
            continue;
        }
        const QString first = text.left(at).trimmed();
        const QString second = text.mid(at).trimmed();
        if (first.size() < 2 || second.size() < 2) {
            continue;
        }
        const int width =
            std::max(metrics.horizontalAdvance(first), metrics.horizontalAdvance(second));
        if (width <= room.width() && width < bestWidth) {
            bestWidth = width;
            best = QStringList{first, second};
        }
    }
    return best;
}

}  // namespace

ButtonTextLayout LayOutButtonText(const QString& text, const QFont& font, const QSize& room) {
    QStringList lines{text};
    const QFont fitting = FontThatFits(font, [&](const QFont& candidate) {
        const std::optional<QStringList> laidOut = Lines(text, candidate, room);
        if (laidOut) {
            lines = *laidOut;
        }
        return laidOut.has_value();
    });
    return {fitting, lines};
}

QSize WrappingButton::TextRoom() const {
    return TextRect().size();
}

QRect WrappingButton::TextRect() const {
    // Across, the style's contents (its padding is where captions got cut);
    // down, all within the frame, as two lines in a 32-pixel button need.
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    return QRect(contents.left(), frame, contents.width(), height() - 2 * frame);
}

void WrappingButton::paintEvent(QPaintEvent* event) {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect room = TextRect();
    const ButtonTextLayout layout = LayOutButtonText(text(), font(), room.size());
    if (layout.lines.size() == 1 && layout.font == font()) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setFont(layout.font);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(room, Qt::AlignCenter, layout.lines.join(QLatin1Char('\n')));
}

void WrappingButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier && isEnabled()) {
        animateClick();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

}  // namespace varo
