#pragma once
// Clock seam: SystemClock (clock_posix.cpp, clock_win32.cpp), fake FakeClock (support/fakes.hpp).

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

}  // namespace quorvel
