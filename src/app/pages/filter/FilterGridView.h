#pragma once

#include <QTableView>

#include <utility>
#include <vector>

namespace varo {

// A table view whose first column stays in view when the grid scrolls
// sideways: a second view over the left edge shows that column alone.
// Check-box cells toggle on a click anywhere in the cell. Rows are selected
// by click, Shift and Ctrl; the space bar sets the current cell's check-box
// column of every selected row to the opposite of the current cell.
class FilterGridView : public QTableView {
  public:
    // The width of every column before the grid is filled.
    static constexpr int kDesignColumnWidth = 60;

    explicit FilterGridView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    QTableView* FrozenColumn() const { return frozen_; }
    // Makes `row` the current and only selected row, in the current column,
    // and scrolls it to the middle of the view.
    void GoToRow(int row);
    // The selected rows and the current one as sorted, disjoint [first, last] ranges.
    std::vector<std::pair<int, int>> SelectedRowRanges() const;
    // Where a column's title is drawn in the header, by the header's style.
    QRect HeaderLabelRect(int section) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    // The header, the scroll bars or the viewport changed size: the frozen
    // column follows, so that both views always have the same rows in view.
    void updateGeometries() override;

  private:
    void UpdateFrozenGeometry();
    // The header's font: the grid's, or a smaller one when a title is wider
    // than its column.
    void FitHeaderFont();

    QTableView* frozen_;
};

}  // namespace varo
