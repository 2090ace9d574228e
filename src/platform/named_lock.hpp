#pragma once
// NamedLocks seam: named mutexes of the session, each held by one thread of one process at a time
// (the join lock, the Install lock). Implementation: Win32NamedLocks (named_lock_win32.hpp); fake:
// testing::FakeNamedLocks (tests/support/fake_named_locks.hpp).

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>

namespace quorvel {

// A named mutex held by the thread that took it, which also lets it go. Move-only; destroying it
// releases the mutex, then closes the handle.
class HeldLock {
public:
    // The platform's side of one holding: its destructor releases the mutex, then closes the handle.
    class Holding {
    public:
        virtual ~Holding() = default;
    };

    explicit HeldLock(std::unique_ptr<Holding> holding) : holding_(std::move(holding)) {}
    HeldLock(HeldLock&&) noexcept = default;
    HeldLock& operator=(HeldLock&&) noexcept = default;

private:
    std::unique_ptr<Holding> holding_;
};

// Why a named lock is not held.
enum class LockRefusal {
    cannotCreate,  // the mutex could not be created or opened
    busy,          // another holder kept it for the whole wait (or the wait itself failed)
};

using LockAttempt = std::variant<HeldLock, LockRefusal>;

class NamedLocks {
public:
    virtual ~NamedLocks() = default;
    // Creates or opens the mutex `name` (no security attributes, not initially owned) and waits up
    // to `timeoutMs` for it. A mutex whose owner ended without releasing it is held as well.
    virtual LockAttempt tryLock(const std::wstring& name, std::uint32_t timeoutMs) = 0;
};

// tryLock, or a UserError with the caller's message for each refusal.
HeldLock takeLock(NamedLocks& locks, const std::wstring& name, std::uint32_t timeoutMs, const char* cannotCreate,
                  const char* busy);

}  // namespace quorvel
