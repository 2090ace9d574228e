#pragma once
// TickClock seam: SystemTickClock (tick_clock_{posix,win32}.cpp), fake FakeTickClock (support/fake_http_transport.hpp).

#include <cstdint>

namespace quorvel {

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

}  // namespace quorvel
