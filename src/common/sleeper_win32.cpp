#include "common/sleeper.hpp"

#include <windows.h>

namespace quorvel {

void SystemSleeper::sleep(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

}  // namespace quorvel
