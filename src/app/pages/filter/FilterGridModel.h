#pragma once

#include <QAbstractTableModel>

#include <utility>
#include <vector>

#include "filter/FilterFile.h"

namespace varo {

// The filter grid: one row per item (name, kind label, three check boxes)
// under a header row that carries the five titles after a load and none after
// an import. This model is the only store of the filter.
class FilterGridModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows including the header row, as the grid counts them.
    int GridRowCount() const { return static_cast<int>(rows_.size()) + 1; }
    const FilterRows& Rows() const { return rows_; }
    bool Titled() const { return titled_; }
    bool HasCheckBoxColumns() const { return checkBoxColumns_; }

    // Fills the grid from the item table: titles on, every flag unchecked.
    void Load(FilterRows rows);
    // Fills the grid from a filter file: no titles, flags as read.
    void Import(FilterRows rows);
    void SetFlagForAll(int column, bool value);
    // Sets one flag column for the rows of the given [first, last] ranges.
    void SetFlagForRows(int column, const std::vector<std::pair<int, int>>& rowRanges, bool value);
    // Sets the flags of the rows whose names a filter file holds.
    FilterApplication ApplyFilterRows(const FilterRows& file);
    // The rows whose flags differ from those they had when the grid was
    // loaded, imported or last written: hand work a new load would replace.
    std::size_t ChangedRows() const;
    // The grid was written: its flags as they are now are saved.
    void MarkWritten();

    static const char* const kTitles[kFilterColumnCount];

  private:
    void Replace(FilterRows rows, bool titled);

    FilterRows rows_;
    std::vector<unsigned char> savedFlags_;  // per row, as of the last load, import or write
    bool titled_ = false;
    bool checkBoxColumns_ = false;  // none before the first load or import
};

}  // namespace varo
