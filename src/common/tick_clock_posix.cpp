#include "common/tick_clock.hpp"

#include <chrono>

namespace quorvel {

std::uint64_t SystemTickClock::milliseconds() const {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace quorvel
