#pragma once
// Clocks and sleeping: Clock, TickClock and Sleeper, with their system implementations SystemClock,
// SystemTickClock and SystemSleeper (clock_posix.cpp, clock_win32.cpp); fakes: testing::FakeClock,
// testing::FakeTickClock and testing::RecordingSleeper (tests/support/fake_clocks.hpp).

#include <cstdint>

namespace quorvel {

// Wall-clock time as seconds since 1970-01-01 UTC, with microsecond resolution.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

// The system's precise wall clock.
class SystemClock final : public Clock {
public:
    double now() const override;
};

// A monotonic count of milliseconds since some fixed moment, for deadlines.
class TickClock {
public:
    virtual ~TickClock() = default;
    virtual std::uint64_t milliseconds() const = 0;
};

// The system's tick count.
class SystemTickClock final : public TickClock {
public:
    std::uint64_t milliseconds() const override;
};

// The waits of the flows, injectable.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleep(std::uint32_t milliseconds) = 0;
};

// Really waits: Sleep on Windows, the standard library's sleep elsewhere.
class SystemSleeper final : public Sleeper {
public:
    void sleep(std::uint32_t milliseconds) override;
};

}  // namespace quorvel
