#pragma once

#include <QTableView>

namespace varo {

// A table view whose first column stays in view when the grid scrolls
// sideways: a second view over the left edge shows that column alone.
// Check-box cells toggle on a click anywhere in the cell and on the space bar.
class FilterGridView : public QTableView {
  public:
    explicit FilterGridView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    QTableView* FrozenColumn() const { return frozen_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

  private:
    void UpdateFrozenGeometry();

    QTableView* frozen_;
};

}  // namespace varo
