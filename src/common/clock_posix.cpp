#include "common/clock.hpp"

#include <chrono>

namespace quorvel {

double SystemClock::now() const {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
    return static_cast<double>(micros.count()) / 1'000'000.0;
}

}  // namespace quorvel
