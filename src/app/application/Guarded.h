#pragma once

#include <exception>
#include <type_traits>
#include <utility>

namespace varo {

// Says in a warning that an action stopped because of an unexpected failure
// (memory ran out, say); the window and its data stay as they were.
void ReportUnexpectedFailure(std::exception_ptr failure) noexcept;

// The handler wrapped so that no exception leaves it into Qt's event
// handling: one that escapes is reported and the window goes on. Signal
// arguments the handler does not take are dropped.
template <typename Handler>
auto Guarded(Handler handler) {
    return [handler = std::move(handler)](auto&&... arguments) mutable {
        try {
            if constexpr (std::is_invocable_v<Handler&, decltype(arguments)...>) {
                handler(std::forward<decltype(arguments)>(arguments)...);
            } else {
                handler();
            }
        } catch (...) {
            ReportUnexpectedFailure(std::current_exception());
        }
    };
}

}  // namespace varo
