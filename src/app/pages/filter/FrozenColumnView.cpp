#include "app/pages/filter/FrozenColumnView.h"

namespace varo {

FrozenColumnView::FrozenColumnView(QTableView* grid) : QTableView(grid), grid_(grid) {}

void FrozenColumnView::initViewItemOption(QStyleOptionViewItem* option) const {
    QTableView::initViewItemOption(option);
    if (grid_->hasFocus() && isActiveWindow()) {
        option->state |= QStyle::State_Active;
    }
}

}  // namespace varo
