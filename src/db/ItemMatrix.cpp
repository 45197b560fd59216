#include "db/ItemMatrix.h"

#include <algorithm>
#include <limits>

#include "text/CodePage.h"

namespace varo {

int ItemMatrix::Rows() const {
    if (keptCount_ == 0 || ends_.size() < static_cast<std::size_t>(columns_)) {
        return 0;
    }
    return static_cast<int>((ends_.size() - static_cast<std::size_t>(columns_)) /
                            static_cast<std::size_t>(keptCount_));
}

std::ptrdiff_t ItemMatrix::CellIndex(int row, int column) const {
    if (row < 1 || column < 1 || column > columns_) {
        return -1;
    }
    std::size_t index = static_cast<std::size_t>(column - 1);
    if (row > 1) {
        const int slot = slotOfColumn_[index];
        if (slot < 0) {
            return -1;
        }
        index = static_cast<std::size_t>(columns_) +
                static_cast<std::size_t>(row - 2) * static_cast<std::size_t>(keptCount_) +
                static_cast<std::size_t>(slot);
    }
    return index < ends_.size() ? static_cast<std::ptrdiff_t>(index) : -1;
}

GbkView ItemMatrix::Cell(int row, int column) const {
    const std::ptrdiff_t found = CellIndex(row, column);
    if (found < 0) {
        return {};
    }
    const auto index = static_cast<std::size_t>(found);
    const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return text_.View().Part(begin, ends_[index] - begin);
}

std::string_view ItemMatrix::LostText(int row, int column) const {
    const std::ptrdiff_t index = CellIndex(row, column);
    if (index < 0 || lost_.empty()) {
        return {};
    }
    const auto found = std::lower_bound(lost_.begin(), lost_.end(), static_cast<std::size_t>(index),
                                        [](const std::pair<std::size_t, std::string>& cell,
                                           std::size_t at) { return cell.first < at; });
    return found != lost_.end() && found->first == static_cast<std::size_t>(index)
               ? std::string_view(found->second)
               : std::string_view();
}

void ItemMatrix::KeepLostText(std::string_view original) {
    lost_.emplace_back(ends_.size(), std::string(original));
}

void ItemMatrix::AppendLibraryText(std::string_view utf8) {
    const std::string_view text = utf8.substr(0, utf8.find('\0'));
    if (!AppendUtf8AsGbk(text_, text)) {
        KeepLostText(text);
    }
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
    text_.Buffer().clear();
    ends_.clear();
    lost_.clear();
}

bool ItemMatrix::EndCell() {
    if (text_.Size() > LargestItemTable::kTextBytes || ends_.size() >= LargestItemTable::kCells) {
        return false;
    }
    ends_.push_back(static_cast<std::uint32_t>(text_.Size()));
    return true;
}

}  // namespace varo
