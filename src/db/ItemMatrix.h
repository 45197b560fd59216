#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/GbkText.h"

namespace varo {

// A table query result as GBK text cells, indexed from 1 in both dimensions:
// row 1 holds the column names, rows 2..Rows()+1 the data rows. The cells are
// stored back to back in one buffer. A matrix may keep the data cells of some
// columns only; the cells of the others read as empty text.
class ItemMatrix {
  public:
    int Rows() const;
    int Columns() const { return columns_; }
    bool Empty() const { return ends_.empty(); }

    // The cell at (row, column), 1-based; empty text outside the matrix.
    GbkView Cell(int row, int column) const;
    // The cell as the database held it (UTF-8, or bytes that are no UTF-8)
    // when its GBK text lost characters to '?'; empty text otherwise.
    std::string_view LostText(int row, int column) const;

    // Building: start with the column count (and the 1-based columns whose
    // data cells are kept, ascending; none given: all), then append the
    // column names and the kept cells row-major.
    void Reset(int columns, const std::vector<int>& keptColumns = {});
    GbkText& CellBuffer() { return text_; }  // append a cell's text here, then EndCell()
    // Before EndCell: the cell's own text, when its conversion lost characters.
    void KeepLostText(std::string_view original);
    // Appends a cell's text as SQLite gives it (UTF-8), up to its first zero
    // byte as in the C string of a table result: as GBK, keeping the text
    // itself when GBK lost characters.
    void AppendLibraryText(std::string_view utf8);
    // False when the matrix outgrew what a load may hold (kLargestItemTable).
    bool EndCell();

  private:
    // The index of a cell among the stored ones; -1 when it is not stored.
    std::ptrdiff_t CellIndex(int row, int column) const;

    int columns_ = 0;
    int keptCount_ = 0;
    std::vector<int> slotOfColumn_;  // per column: its place among the kept ones, or -1
    GbkText text_;
    std::vector<std::uint32_t> ends_;  // the header's cells, then the kept data cells
    // The cells that lost characters (few, if any): index and original text, by index.
    std::vector<std::pair<std::size_t, std::string>> lost_;
};

// The most an item table may hold in memory: text of all cells kept, and
// cells kept. A large database holds some 100,000 items of a few dozen
// bytes; past these a table is refused (a view that never ends, cells of
// hundreds of megabytes) before it takes the machine's memory.
struct LargestItemTable {
    static constexpr std::size_t kTextBytes = std::size_t{1} << 30;
    static constexpr std::size_t kCells = 64u << 20;
};

// The columns of a StdItems row that the tool reads, by 1-based position.
struct ItemRecord {
    static constexpr int kNameColumn = 2;
    static constexpr int kKindColumn = 3;
    static constexpr int kShineColumn = 38;
};

}  // namespace varo
