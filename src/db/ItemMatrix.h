#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/GbkText.h"

namespace varo {

// A table query result as GBK text cells, indexed from 1 in both dimensions:
// row 1 holds the column names, rows 2..Rows()+1 the data rows. The cells are
// stored back to back in one buffer.
class ItemMatrix {
  public:
    int Rows() const { return columns_ == 0 ? 0 : static_cast<int>(ends_.size()) / columns_ - 1; }
    int Columns() const { return columns_; }
    bool Empty() const { return ends_.empty(); }

    // The cell at (row, column), 1-based; empty text outside the matrix.
    std::string_view Cell(int row, int column) const;

    // Building: start with the column count, then append cells row-major.
    void Reset(int columns);
    GbkText& CellBuffer() { return text_; }  // append a cell's bytes here, then EndCell()
    bool EndCell();                          // false when the buffer outgrew 32-bit offsets

  private:
    int columns_ = 0;
    GbkText text_;
    std::vector<std::uint32_t> ends_;
};

// The columns of a StdItems row that the tool reads, by 1-based position.
struct ItemRecord {
    static constexpr int kNameColumn = 2;
    static constexpr int kKindColumn = 3;
    static constexpr int kShineColumn = 38;
};

}  // namespace varo
