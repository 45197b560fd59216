#include "app/widgets/GridFindBox.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "app/application/Guarded.h"

namespace varo {

GridFindBox::GridFindBox(QAbstractScrollArea* area, FindRoutine find)
    : QFrame(area),
      area_(area),
      find_(std::move(find)),
      edit_(new QLineEdit(this)),
      status_(new QLabel(this)) {
    setObjectName(QStringLiteral("findBox"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    layout->setSpacing(4);
    layout->addWidget(new QLabel(QStringLiteral("查找："), this));
    edit_->setPlaceholderText(QStringLiteral("物品名字"));
    edit_->setFixedWidth(130);
    layout->addWidget(edit_);
    status_->setMinimumWidth(
        status_->fontMetrics().horizontalAdvance(QStringLiteral("第 999 / 999 个")));
    layout->addWidget(status_);
    auto* close = new QToolButton(this);
    close->setText(QStringLiteral("×"));
    close->setToolTip(QStringLiteral("关闭（Esc）"));
    close->setAutoRaise(true);
    close->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(close);
    hide();

    connect(edit_, &QLineEdit::textEdited, this, [this] { Find(1, true); });
    connect(close, &QToolButton::clicked, this, [this] { Close(); });
    edit_->installEventFilter(this);
    area_->installEventFilter(this);  // follows the area's size
}

void GridFindBox::Open() {
    Place();
    show();
    raise();
    edit_->selectAll();
    edit_->setFocus(Qt::ShortcutFocusReason);
}

void GridFindBox::FindAgain(int step) {
    if (isHidden()) {
        Open();
    }
    Find(step, false);
}

void GridFindBox::Close() {
    // The focus goes back first: hiding the box while it holds the focus
    // would pass it on as Tab does, and a grid takes Tab as a step to the
    // next column.
    area_->setFocus(Qt::OtherFocusReason);
    hide();
    clearBottom_ = -1;
    status_->clear();
}

void GridFindBox::Find(int step, bool includeCurrent) {
    // Typing, Enter and F3 all come here: nothing thrown leaves it.
    Guarded([&] {
        if (edit_->text().isEmpty()) {
            status_->clear();
            return;
        }
        const Outcome outcome = find_(edit_->text(), step, includeCurrent);
        if (!outcome.found) {
            status_->setText(QStringLiteral("无匹配"));
            return;
        }
        QString text = QStringLiteral("第 %1 / %2 个").arg(outcome.ordinal).arg(outcome.count);
        if (outcome.wrapped) {
            text += step < 0 ? QStringLiteral("，已从末尾重新开始")
                             : QStringLiteral("，已从头重新开始");
        }
        status_->setText(text);
        Place();  // the status may have grown
    })();
}

void GridFindBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    QFrame::keyPressEvent(event);
}

bool GridFindBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == area_ && event->type() == QEvent::Resize) {
        Place();
    } else if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Find(key->modifiers() & Qt::ShiftModifier ? -1 : 1, false);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void GridFindBox::KeepClearOf(int top, int bottom) {
    clearTop_ = top;
    clearBottom_ = bottom;
    Place();
}

void GridFindBox::Place() {
    // Bottom right of the rows, above the horizontal scroll bar; top right,
    // below the header, when that would cover the rows to keep clear of.
    resize(sizeHint());
    const QRect rows = area_->viewport()->geometry();
    const int left = std::max(rows.left(), rows.right() - width() - 1);
    int top = rows.bottom() - height() - 1;
    if (clearTop_ <= top + height() && top <= clearBottom_) {
        top = rows.top() + 1;
    }
    move(left, top);
}

}  // namespace varo
