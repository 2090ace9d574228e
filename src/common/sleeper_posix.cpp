#include "common/sleeper.hpp"

#include <chrono>
#include <thread>

namespace quorvel {

void SystemSleeper::sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quorvel
