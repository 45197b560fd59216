#include "app/pages/filter/FilterGridView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyleOptionHeader>

#include <algorithm>

#include "app/pages/filter/CheckCellDelegate.h"
#include "app/pages/filter/FilterGridModel.h"
#include "app/pages/filter/FrozenColumnView.h"
#include "app/widgets/FontThatFits.h"

namespace varo {
namespace {

constexpr int kRowHeight = 24;

void ConfigureGrid(QTableView* view) {
    view->setItemDelegate(new CheckCellDelegate(view));
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(kRowHeight);
    view->horizontalHeader()->setDefaultSectionSize(FilterGridView::kDesignColumnWidth);
    view->horizontalHeader()->setMinimumSectionSize(8);
    view->horizontalHeader()->setHighlightSections(false);
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setWordWrap(false);
}

}  // namespace

FilterGridView::FilterGridView(QWidget* parent)
    : QTableView(parent), frozen_(new FrozenColumnView(this)) {
    ConfigureGrid(this);
    ConfigureGrid(frozen_);
    frozen_->setObjectName(QStringLiteral("frozenColumn"));
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setFrameShape(QFrame::NoFrame);
    frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    viewport()->stackUnder(frozen_);
    // The first column is the frozen view's: its right-click opens the
    // grid's own menu, at the same place.
    frozen_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(frozen_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        emit customContextMenuRequested(
            viewport()->mapFromGlobal(frozen_->viewport()->mapToGlobal(at)));
    });
    // Titles wider than their column get the canvas' smaller font.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { FitHeaderFont(); });

    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (section == 0) {
                    frozen_->setColumnWidth(0, size);
                    UpdateFrozenGeometry();
                }
            });
    connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
            &QAbstractSlider::setValue);
}

void FilterGridView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    frozen_->setModel(model);
    frozen_->setSelectionModel(selectionModel());
    for (int column = 1; column < model->columnCount(); ++column) {
        frozen_->setColumnHidden(column, true);
    }
    frozen_->setColumnWidth(0, columnWidth(0));
    frozen_->show();
    UpdateFrozenGeometry();
    // New content (a load, an import) is shown from its first row and column.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        scrollToTop();
        horizontalScrollBar()->setValue(0);
    });
    connect(model, &QAbstractItemModel::headerDataChanged, this, [this] { FitHeaderFont(); });
    FitHeaderFont();
}

QRect FilterGridView::HeaderLabelRect(int section) const {
    QHeaderView* header = horizontalHeader();
    QStyleOptionHeader option;
    option.initFrom(header);
    option.rect = QRect(0, 0, header->sectionSize(section), header->height());
    option.section = section;
    option.text = model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
    option.textAlignment = header->defaultAlignment();
    return header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
}

void FilterGridView::FitHeaderFont() {
    QHeaderView* header = horizontalHeader();
    if (model() == nullptr) {
        return;
    }
    const QFont fitting = FontThatFits(font(), [&](const QFont& candidate) {
        const QFontMetrics metrics(candidate);
        for (int section = 0; section < header->count(); ++section) {
            const QString title =
                model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
            if (metrics.horizontalAdvance(title) > HeaderLabelRect(section).width()) {
                return false;
            }
        }
        return true;
    });
    header->setFont(fitting);
    frozen_->horizontalHeader()->setFont(fitting);
}

void FilterGridView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    frozen_->viewport()->update();
}

void FilterGridView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    frozen_->viewport()->update();
}

void FilterGridView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    UpdateFrozenGeometry();
}

QModelIndex FilterGridView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
    // Keep a cell that the keyboard moves to out from under the frozen column.
    if (cursorAction == MoveLeft && current.column() > 0 &&
        visualRect(current).topLeft().x() < frozen_->columnWidth(0)) {
        const int newValue = horizontalScrollBar()->value() + visualRect(current).topLeft().x() -
                             frozen_->columnWidth(0);
        horizontalScrollBar()->setValue(newValue);
    }
    return current;
}

void FilterGridView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    // The frozen column is always in view: only scroll to its row.
    const int horizontal = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    if (index.column() == 0) {
        horizontalScrollBar()->setValue(horizontal);
    }
}

void FilterGridView::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    auto* grid = dynamic_cast<FilterGridModel*>(model());
    const bool toggle = (event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) &&
                        !(event->modifiers() & Qt::ControlModifier);
    if (!toggle || grid == nullptr) {
        QTableView::keyPressEvent(event);
        return;
    }
    // Space toggles or does nothing: on a name it would start the view's
    // search for a name beginning with a space.
    if (!(current.flags() & Qt::ItemIsUserCheckable)) {
        event->accept();
        return;
    }
    const bool checked = current.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    grid->SetFlagForRows(current.column(), SelectedRowRanges(), !checked);
    event->accept();
}

std::vector<std::pair<int, int>> FilterGridView::SelectedRowRanges() const {
    std::vector<std::pair<int, int>> ranges;
    if (currentIndex().isValid()) {
        ranges.emplace_back(currentIndex().row(), currentIndex().row());
    }
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        ranges.emplace_back(range.top(), range.bottom());
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<std::pair<int, int>> merged;
    for (const auto& range : ranges) {
        if (!merged.empty() && range.first <= merged.back().second + 1) {
            merged.back().second = std::max(merged.back().second, range.second);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

void FilterGridView::GoToRow(int row) {
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex target = model()->index(row, column);
    selectionModel()->setCurrentIndex(
        target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(target, PositionAtCenter);
}

void FilterGridView::updateGeometries() {
    QTableView::updateGeometries();
    UpdateFrozenGeometry();
}

void FilterGridView::UpdateFrozenGeometry() {
    // The same header height and the same viewport height as the grid: then
    // both views scroll alike to the last row (a view whose viewport is a few
    // pixels shorter shows the end a few pixels higher).
    frozen_->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    frozen_->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), columnWidth(0),
                         viewport()->height() + horizontalHeader()->height());
}

}  // namespace varo
