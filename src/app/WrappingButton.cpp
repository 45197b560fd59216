#include "app/WrappingButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace varo {

void WrappingButton::paintEvent(QPaintEvent* event) {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (fontMetrics().horizontalAdvance(text()) <= contents.width()) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(contents, Qt::AlignCenter | Qt::TextWrapAnywhere, text());
}

}  // namespace varo
