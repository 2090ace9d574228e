#pragma once
// The two clocks of the product, set by hand (the wall clock in seconds and the tick count in
// milliseconds), and a sleeper that counts the waits instead of waiting.

#include "platform/clock.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::testing {

struct FakeClock final : Clock {
    double time = 1'800'000'000.0;
    double now() const override { return time; }
};

struct FakeTickClock final : TickClock {
    std::uint64_t now = 5'000'000;
    std::uint64_t milliseconds() const override { return now; }
};

struct RecordingSleeper final : Sleeper {
    std::vector<std::uint32_t> waits;
    std::vector<std::string>* log = nullptr;               // also gets "sleep <ms>" when set
    std::function<void(std::size_t sleepNumber)> onSleep;  // runs after each wait is recorded (1 = first)

    void sleep(std::uint32_t milliseconds) override {
        waits.push_back(milliseconds);
        if (log != nullptr) log->push_back("sleep " + std::to_string(milliseconds));
        if (onSleep) onSleep(waits.size());
    }
};

}  // namespace quorvel::testing
