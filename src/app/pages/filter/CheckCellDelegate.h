#pragma once

#include <QStyledItemDelegate>

namespace varo {

// Draws check boxes centred in their cells and toggles them on a plain click
// anywhere in the cell (the view itself handles the space bar); Shift and
// Ctrl clicks select rows, as elsewhere. The current cell has a clear frame.
class CheckCellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

  private:
    // The cell itself: its text, or its check box centred.
    void PaintCell(QPainter* painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const;
};

}  // namespace varo
