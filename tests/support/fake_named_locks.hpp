#pragma once
// FakeNamedLocks: the NamedLocks seam scripted, every step recorded.

#include "platform/named_lock.hpp"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace quorvel::testing {

// What the wait for a named mutex meets.
enum class LockState {
    free,           // taken at once
    abandoned,      // its owner ended without releasing it: taken
    heldElsewhere,  // another process keeps it for the whole wait: busy
    waitFails,      // the wait itself fails: busy
};

struct FakeNamedLocks final : NamedLocks {
    bool createFails = false;  // the mutex cannot be created or opened
    LockState state = LockState::free;
    std::set<std::wstring> busyNames;  // held elsewhere whatever `state` says
    // "create NAME", "wait MS", then "close" for a refused lock, "release" and "close" when the
    // held lock is destroyed.
    std::vector<std::wstring> events;
    std::vector<std::string>* log = nullptr;  // also gets "lock <event>" when set
    bool held = false;

    LockAttempt tryLock(const std::wstring& name, std::uint32_t timeoutMs) override;
    void record(const std::wstring& event);
};

}  // namespace quorvel::testing
