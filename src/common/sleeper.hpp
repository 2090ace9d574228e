#pragma once
// Sleeper: the waits of the flows, injectable. Implementations: SystemSleeper (sleeper_posix.cpp,
// sleeper_win32.cpp); fake: testing::RecordingSleeper in tests/support/fake_window_system.hpp.

#include <cstdint>

namespace quorvel {

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
