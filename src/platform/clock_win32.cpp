#include "platform/clock.hpp"

#include <windows.h>

#include <cstdint>

namespace quorvel {

double SystemClock::now() const {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    // 100-ns ticks since 1601-01-01 to whole microseconds since 1970-01-01.
    constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;
    const std::uint64_t micros = (ticks - kEpochDifference) / 10;
    return static_cast<double>(micros) / 1'000'000.0;
}

std::uint64_t SystemTickClock::milliseconds() const {
    return GetTickCount64();
}

void SystemSleeper::sleep(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

}  // namespace quorvel
