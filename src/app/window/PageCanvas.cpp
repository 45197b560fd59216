#include "app/window/PageCanvas.h"

#include <QFontMetrics>
#include <QLabel>

#include "app/widgets/FontThatFits.h"

namespace varo {

PageCanvas::PageCanvas(QWidget* tabControl, QWidget* parent)
    : QWidget(parent), tabControl_(tabControl), canvas_(new QWidget(this)) {
    canvas_->setObjectName(QStringLiteral("pageCanvas"));
    canvas_->resize(tabControl->size());
}

void PageCanvas::Align() {
    if (isAncestorOf(tabControl_) || !tabControl_->isAncestorOf(this)) {
        return;
    }
    canvas_->resize(tabControl_->size());
    canvas_->move(-mapTo(tabControl_, QPoint(0, 0)));
}

void PageCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Align();
}

void PageCanvas::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Align();
    // A label whose one-line text is a pixel or two wider than its fixed
    // place gets a slightly smaller font rather than a cut-off last character.
    for (QLabel* label : canvas_->findChildren<QLabel*>()) {
        if (label->wordWrap() || label->textFormat() == Qt::RichText ||
            label->text().contains(QLatin1Char('\n'))) {
            continue;
        }
        const QFont font = FontThatFits(label->font(), [label](const QFont& candidate) {
            return QFontMetrics(candidate).horizontalAdvance(label->text()) <= label->width();
        });
        if (font != label->font()) {
            label->setFont(font);
        }
    }
}

}  // namespace varo
