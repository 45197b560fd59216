#pragma once

#include <QTableView>

namespace varo {

// The first column, drawn as part of the grid: its selection shows in the
// active colour whenever the grid has the focus (a view without the focus
// draws it grey, and this view never takes the focus).
class FrozenColumnView : public QTableView {
  public:
    explicit FrozenColumnView(QTableView* grid);

  protected:
    void initViewItemOption(QStyleOptionViewItem* option) const override;

  private:
    QTableView* grid_;
};

}  // namespace varo
