#pragma once
// ProcessWaiter: waiting for another process to end. Implementation: Win32ProcessWaiter
// (process_waiter_win32.hpp); fake: testing::FakeProcessWaiter (tests/support/fake_join_world.hpp).

#include <cstdint>
#include <memory>

namespace quorvel {

// One process held open for waiting; the handle is closed when the object is destroyed. Holding
// it pins the process: its id cannot name another process while the object lives.
class WaitableProcess {
public:
    virtual ~WaitableProcess() = default;
    // WaitForSingleObject for up to `milliseconds`: true only when the process has ended, false
    // on a time-out or a failed wait.
    virtual bool waitForExit(std::uint32_t milliseconds) = 0;
};

class ProcessWaiter {
public:
    virtual ~ProcessWaiter() = default;
    // OpenProcess with SYNCHRONIZE and PROCESS_QUERY_LIMITED_INFORMATION, not inheritable; null
    // when the process cannot be opened.
    virtual std::unique_ptr<WaitableProcess> open(std::uint32_t pid) = 0;
};

}  // namespace quorvel
