#include "app/pages/pillar/LightPillarModel.h"

#include "app/messages/TextBridge.h"

namespace varo {

const char* const LightPillarModel::kTitles[kLightPillarColumnCount] = {
    "物品名字", "颜色(1-255)", "计算Shine值", "特效图片数量", "光柱文件编号"};
const int LightPillarModel::kWidths[kLightPillarColumnCount] = {160, 130, 125, 125, 125};

int LightPillarModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LightPillarModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLightPillarColumnCount;
}

QVariant LightPillarModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return FromGbk(rows_[static_cast<std::size_t>(index.row())].fields[index.column()]);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(
            Qt::AlignVCenter |
            (index.column() == kItemNameColumn ? Qt::AlignLeft : Qt::AlignHCenter));
    }
    return {};
}

QVariant LightPillarModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kLightPillarColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromUtf8(kTitles[section]);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (section == kItemNameColumn ? Qt::AlignLeft : Qt::AlignHCenter));
    }
    return {};
}

void LightPillarModel::ReplaceRows(LightPillarList rows) {
    beginResetModel();
    rows_ = std::move(rows);
    edited_.clear();
    endResetModel();
}

const GbkText& LightPillarModel::CellText(int row, int column) const {
    static const GbkText empty;
    if (row < 0 || row >= rowCount() || column < 0 || column >= kLightPillarColumnCount) {
        return empty;
    }
    return rows_[static_cast<std::size_t>(row)].fields[column];
}

void LightPillarModel::SetCellText(int row, int column, GbkText text, std::string lostText) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= kLightPillarColumnCount) {
        return;
    }
    LightPillarRow& edited = rows_[static_cast<std::size_t>(row)];
    if (edited.fields[column] != text) {
        edited_.insert(static_cast<std::size_t>(row) * kLightPillarColumnCount +
                       static_cast<std::size_t>(column));
    }
    if (column == kItemNameColumn && (edited.fields[column] != text || !lostText.empty())) {
        edited.lostName = std::move(lostText);
    }
    edited.fields[column] = std::move(text);
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

}  // namespace varo
