#pragma once

#include <QAbstractTableModel>

#include <unordered_set>

#include "pillar/LightPillar.h"

namespace varo {

// The light-pillar list as the list view shows it: five text columns over the
// rows of the core, which stay GBK. This model is the only store of the list.
class LightPillarModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const LightPillarList& Rows() const { return rows_; }
    void ReplaceRows(LightPillarList rows);
    const GbkText& CellText(int row, int column) const;
    // Out-of-range cells are ignored: the list may have been replaced meanwhile.
    // `lostText` is the name as typed when GBK lacks some of its characters
    // (kItemNameColumn only); a name set to the text it has keeps what it lost.
    void SetCellText(int row, int column, GbkText text, std::string lostText = {});
    // How many cells took another text by hand since the rows were computed:
    // a new computation would replace them.
    std::size_t EditedCells() const { return edited_.size(); }

    static const char* const kTitles[kLightPillarColumnCount];
    static const int kWidths[kLightPillarColumnCount];

  private:
    LightPillarList rows_;
    std::unordered_set<std::size_t> edited_;  // row * column count + column
};

}  // namespace varo
