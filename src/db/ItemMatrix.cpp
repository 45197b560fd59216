#include "db/ItemMatrix.h"

#include <limits>

namespace varo {

std::string_view ItemMatrix::Cell(int row, int column) const {
    if (row < 1 || column < 1 || column > columns_) {
        return {};
    }
    const std::size_t index =
        static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_) +
        static_cast<std::size_t>(column - 1);
    if (index >= ends_.size()) {
        return {};
    }
    const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(text_).substr(begin, ends_[index] - begin);
}

void ItemMatrix::Reset(int columns) {
    columns_ = columns;
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
