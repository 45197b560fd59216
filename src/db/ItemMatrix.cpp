#include "db/ItemMatrix.h"

#include <algorithm>
#include <limits>

namespace varo {

int ItemMatrix::Rows() const {
    if (keptCount_ == 0 || ends_.size() < static_cast<std::size_t>(columns_)) {
        return 0;
    }
    return static_cast<int>((ends_.size() - static_cast<std::size_t>(columns_)) /
                            static_cast<std::size_t>(keptCount_));
}

std::string_view ItemMatrix::Cell(int row, int column) const {
    if (row < 1 || column < 1 || column > columns_) {
        return {};
    }
    std::size_t index = static_cast<std::size_t>(column - 1);
    if (row > 1) {
        const int slot = slotOfColumn_[index];
        if (slot < 0) {
            return {};
        }
        index = static_cast<std::size_t>(columns_) +
                static_cast<std::size_t>(row - 2) * static_cast<std::size_t>(keptCount_) +
                static_cast<std::size_t>(slot);
    }
    if (index >= ends_.size()) {
        return {};
    }
    const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(text_).substr(begin, ends_[index] - begin);
}

void ItemMatrix::Reset(int columns, const std::vector<int>& keptColumns) {
    columns_ = columns;
    slotOfColumn_.assign(static_cast<std::size_t>(columns), keptColumns.empty() ? 0 : -1);
    keptCount_ = 0;
    for (int column = 1; column <= columns; ++column) {
        const bool kept = keptColumns.empty() || std::find(keptColumns.begin(), keptColumns.end(),
                                                           column) != keptColumns.end();
        if (kept) {
            slotOfColumn_[static_cast<std::size_t>(column - 1)] = keptCount_++;
        }
    }
    text_.clear();
    ends_.clear();
}

bool ItemMatrix::EndCell() {
    if (text_.size() > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    ends_.push_back(static_cast<std::uint32_t>(text_.size()));
    return true;
}

}  // namespace varo
