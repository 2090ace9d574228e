#include "platform/clock.hpp"

#include <chrono>
#include <thread>

namespace quorvel {

double SystemClock::now() const {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
    return static_cast<double>(micros.count()) / 1'000'000.0;
}

std::uint64_t SystemTickClock::milliseconds() const {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SystemSleeper::sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quorvel
