#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace varo {

// Names to numbers (1 and up) for the large look-ups of a job (100,000 file
// names, each side of a release): an open-addressing table of numbers only,
// twice as many slots as names, each name read back through `nameOf(number)`
// where it lives already. No name is copied and nothing is allocated per name.
template <typename NameOf>
class NameIndex {
  public:
    NameIndex(std::size_t names, NameOf nameOf) : nameOf_(std::move(nameOf)) {
        std::size_t slots = 16;
        while (slots < 2 * names) {
            slots *= 2;
        }
        slots_.assign(slots, 0);
    }

    // The number kept for `name`, 0 for none yet: set it to keep one. Keep
    // no more names than the table was made for.
    std::uint32_t& operator[](std::string_view name) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t slot = std::hash<std::string_view>{}(name)&mask;
        while (slots_[slot] != 0 && nameOf_(slots_[slot]) != name) {
            slot = (slot + 1) & mask;
        }
        return slots_[slot];
    }

  private:
    NameOf nameOf_;
    std::vector<std::uint32_t> slots_;
};

}  // namespace varo
