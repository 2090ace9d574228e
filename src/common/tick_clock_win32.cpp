#include "common/tick_clock.hpp"

#include <windows.h>

namespace quorvel {

std::uint64_t SystemTickClock::milliseconds() const {
    return GetTickCount64();
}

}  // namespace quorvel
