#include "app/pages/filter/FilterGridModel.h"

#include "app/messages/TextBridge.h"

#include <algorithm>

namespace varo {

const char* const FilterGridModel::kTitles[kFilterColumnCount] = {
    "物品名字", "物品类型", "是否显示极品(红字)", "自动捡取", "显示名字"};

namespace {

bool IsFlagColumn(int column) {
    return column >= kFilterBestColumn && column <= kFilterShowNameColumn;
}

}  // namespace

int FilterGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FilterGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFilterColumnCount;
}

QVariant FilterGridModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const FilterRow& row = rows_[static_cast<std::size_t>(index.row())];
    if (IsFlagColumn(index.column())) {
        if (role == Qt::CheckStateRole && checkBoxColumns_) {
            return row.Flag(index.column()) ? Qt::Checked : Qt::Unchecked;
        }
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return FromGbk(index.column() == kFilterNameColumn ? row.itemName : row.itemKind);
    }
    return {};
}

bool FilterGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return false;
    }
    FilterRow& row = rows_[static_cast<std::size_t>(index.row())];
    if (IsFlagColumn(index.column()) && role == Qt::CheckStateRole && checkBoxColumns_) {
        row.Flag(index.column()) = value.value<Qt::CheckState>() == Qt::Checked;
    } else if (index.column() == kFilterKindColumn && role == Qt::EditRole) {
        row.itemKind = ToGbk(value.toString());
    } else if (index.column() == kFilterNameColumn && role == Qt::EditRole) {
        // A name with a character GBK lacks keeps its own text beside the
        // '?' the file would hold; a name set to the text it has keeps what it lost.
        const std::string typed = ToUtf8(value.toString());
        const std::optional<GbkText> exact = StrictUtf8ToGbk(typed);
        GbkText name = exact ? *exact : Utf8ToGbk(typed);
        if (name != row.itemName || !exact) {
            row.lostName = exact ? std::string() : typed;
        }
        row.itemName = std::move(name);
    } else {
        return false;
    }
    emit dataChanged(index, index, {role == Qt::EditRole ? Qt::DisplayRole : role});
    return true;
}

Qt::ItemFlags FilterGridModel::flags(const QModelIndex& index) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return Qt::NoItemFlags;
    }
    if (IsFlagColumn(index.column())) {
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable |
               (checkBoxColumns_ ? Qt::ItemIsUserCheckable : Qt::NoItemFlags);
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant FilterGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kFilterColumnCount) {
        return titled_ ? QString::fromUtf8(kTitles[section]) : QString();
    }
    return {};
}

void FilterGridModel::Replace(FilterRows rows, bool titled) {
    beginResetModel();
    rows_ = std::move(rows);
    titled_ = titled;
    checkBoxColumns_ = true;
    MarkWritten();  // what comes in is nobody's hand work yet
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, kFilterColumnCount - 1);
}

void FilterGridModel::Load(FilterRows rows) {
    Replace(std::move(rows), true);
}

void FilterGridModel::Import(FilterRows rows) {
    Replace(std::move(rows), false);
}

void FilterGridModel::SetFlagForAll(int column, bool value) {
    if (rows_.empty() || !IsFlagColumn(column)) {
        return;
    }
    varo::SetFlagForAll(rows_, column, value);
    emit dataChanged(index(0, column), index(rowCount() - 1, column), {Qt::CheckStateRole});
}

void FilterGridModel::SetFlagForRows(int column, const std::vector<std::pair<int, int>>& rowRanges,
                                     bool value) {
    if (!IsFlagColumn(column) || !checkBoxColumns_) {
        return;
    }
    for (const auto& [first, last] : rowRanges) {
        const int from = std::max(first, 0);
        const int to = std::min(last, rowCount() - 1);
        if (from > to) {
            continue;
        }
        for (int row = from; row <= to; ++row) {
            rows_[static_cast<std::size_t>(row)].Flag(column) = value;
        }
        emit dataChanged(index(from, column), index(to, column), {Qt::CheckStateRole});
    }
}

FilterApplication FilterGridModel::ApplyFilterRows(const FilterRows& file) {
    FilterApplication applied = varo::ApplyFilterRows(rows_, file);
    if (!rows_.empty()) {
        emit dataChanged(index(0, kFilterBestColumn), index(rowCount() - 1, kFilterShowNameColumn),
                         {Qt::CheckStateRole});
    }
    return applied;
}

namespace {

unsigned char FlagsOf(const FilterRow& row) {
    return static_cast<unsigned char>((row.best ? 1 : 0) | (row.autoPickUp ? 2 : 0) |
                                      (row.showName ? 4 : 0));
}

}  // namespace

std::size_t FilterGridModel::ChangedRows() const {
    std::size_t changed = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        changed += i >= savedFlags_.size() || savedFlags_[i] != FlagsOf(rows_[i]) ? 1 : 0;
    }
    return changed;
}

void FilterGridModel::MarkWritten() {
    savedFlags_.resize(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        savedFlags_[i] = FlagsOf(rows_[i]);
    }
}

}  // namespace varo
