#include "app/pages/filter/CheckCellDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace varo {
namespace {

constexpr Qt::KeyboardModifiers kSelectionModifiers = Qt::ShiftModifier | Qt::ControlModifier;

}  // namespace

void CheckCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    PaintCell(painter, option, index);
    // The current cell, where the space bar acts, framed so that it is seen
    // at a glance (the style's dotted focus line is faint on a selected row).
    if (option.state & QStyle::State_HasFocus) {
        painter->save();
        painter->setPen(
            QPen(option.palette.color(QPalette::Active, QPalette::Highlight).darker(160), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option.rect).adjusted(1, 1, -1, -1));
        painter->restore();
    }
}

void CheckCellDelegate::PaintCell(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    if (!(index.flags() & Qt::ItemIsUserCheckable)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    item.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    // The item's own option: Windows' styles read its checkState, others its state.
    QStyleOptionViewItem check = item;
    check.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QSize indicator(style->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget),
                          style->pixelMetric(QStyle::PM_IndicatorHeight, &option, widget));
    check.rect = QStyle::alignedRect(option.direction, Qt::AlignCenter, indicator, option.rect);
    check.state = (check.state & ~QStyle::State_HasFocus) | QStyle::State_Enabled;
    check.state |= index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked
                       ? QStyle::State_On
                       : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, widget);
}

bool CheckCellDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!(index.flags() & Qt::ItemIsUserCheckable)) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    bool toggle = false;
    switch (event->type()) {
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            toggle = mouse->button() == Qt::LeftButton &&
                     option.rect.contains(mouse->position().toPoint()) &&
                     !(mouse->modifiers() & kSelectionModifiers);
            break;
        }
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(event)->modifiers() & kSelectionModifiers) {
                return false;  // Shift and Ctrl clicks select rows, as elsewhere
            }
            // The clicked cell becomes the current one, so that the space
            // bar acts on it next; the release toggles.
            if (auto* view =
                    qobject_cast<QAbstractItemView*>(const_cast<QWidget*>(option.widget))) {
                view->setCurrentIndex(index);
            }
            return true;
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return false;
    }
    if (!toggle) {
        return false;
    }
    const bool checked = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

}  // namespace varo
