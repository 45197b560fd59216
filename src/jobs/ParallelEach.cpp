#include "jobs/ParallelEach.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace varo {

void ParallelEach(std::size_t count, int threads, const std::function<void(std::size_t)>& work,
                  const std::atomic<bool>* stop) {
    std::atomic<std::size_t> next{0};
    const auto take = [&] {
        while (stop == nullptr || !stop->load()) {
            const std::size_t i = next++;
            if (i >= count) {
                break;
            }
            work(i);
        }
    };
    const std::size_t wanted =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), count);
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(wanted);
        for (std::size_t t = 1; t < wanted; ++t) {
            helpers.emplace_back(take);
        }
    } catch (const std::exception&) {
        // Fewer threads than asked: those running take the rest.
    }
    take();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

}  // namespace varo
