#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

namespace varo {

// Calls `work(i)` for every i below `count` on up to `threads` threads (the
// calling one among them), each taking the next index in turn; once `stop`
// (when given) turns true no index is taken any more. A thread the system
// will not start leaves its share to the others. Returns when every call
// has returned.
void ParallelEach(std::size_t count, int threads, const std::function<void(std::size_t)>& work,
                  const std::atomic<bool>* stop = nullptr);

}  // namespace varo
