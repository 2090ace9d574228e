#pragma once
// The two clocks of the product, set by hand: the wall clock in seconds and the tick count in
// milliseconds.

#include "common/clock.hpp"
#include "common/tick_clock.hpp"

#include <cstdint>

namespace quorvel::testing {

struct FakeClock final : Clock {
    double time = 1'800'000'000.0;
    double now() const override { return time; }
};

struct FakeTickClock final : TickClock {
    std::uint64_t now = 5'000'000;
    std::uint64_t milliseconds() const override { return now; }
};

}  // namespace quorvel::testing
