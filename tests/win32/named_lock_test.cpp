// Win32NamedLocks: a holder keeps other threads out until its lock is destroyed, a mutex whose
// owner ended without releasing it is taken, and a name that belongs to another kind of object
// cannot be locked.
#include "common/scoped_handle_win32.hpp"
#include "platform/named_lock_win32.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <variant>

namespace quorvel {
namespace {

std::wstring lockName(const wchar_t* use) {
    return L"Local\\QuorvelTestNamedLock-" + std::wstring(use) + L"-" + std::to_wstring(GetCurrentProcessId());
}

std::string lockOutcome(const LockAttempt& attempt) {
    if (std::holds_alternative<HeldLock>(attempt)) return "held";
    return std::get<LockRefusal>(attempt) == LockRefusal::cannotCreate ? "cannot create" : "busy";
}

// A mutex is owned by a thread, which may take it again: another thread meets what a second
// helper would.
std::string lockOutcomeInOtherThread(NamedLocks& locks, const std::wstring& name, std::uint32_t timeoutMs) {
    std::string outcome;
    std::thread([&] { outcome = lockOutcome(locks.tryLock(name, timeoutMs)); }).join();
    return outcome;
}

TEST(NamedLocks, AHolderKeepsOthersOutUntilItsLockIsDestroyed) {
    Win32NamedLocks locks;
    const std::wstring name = lockName(L"held");
    // A second helper's handle keeps the mutex in being after the lock's own handle is closed, so
    // only a release lets the next one in.
    const ScopedKernelHandle otherHandle(CreateMutexW(nullptr, FALSE, name.c_str()));
    ASSERT_TRUE(otherHandle);
    std::optional<LockAttempt> held(locks.tryLock(name, 0));
    ASSERT_EQ(lockOutcome(*held), "held");
    EXPECT_EQ(lockOutcomeInOtherThread(locks, name, 200), "busy");
    held.reset();
    EXPECT_EQ(lockOutcomeInOtherThread(locks, name, 200), "held");
}

TEST(NamedLocks, AMutexItsOwnerLeftBehindIsTaken) {
    Win32NamedLocks locks;
    const std::wstring name = lockName(L"abandoned");
    const ScopedKernelHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
    ASSERT_TRUE(mutex);
    // A thread that owns the mutex and ends without releasing it, as a crashed helper would.
    DWORD owned = WAIT_FAILED;
    std::thread([&] { owned = WaitForSingleObject(mutex.get(), 0); }).join();
    ASSERT_EQ(owned, WAIT_OBJECT_0);
    EXPECT_EQ(lockOutcome(locks.tryLock(name, 0)), "held");
}

TEST(NamedLocks, ANameOfAnotherKindOfObjectCannotBeLocked) {
    Win32NamedLocks locks;
    const std::wstring name = lockName(L"event");
    const ScopedKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(event);
    EXPECT_EQ(lockOutcome(locks.tryLock(name, 0)), "cannot create");
}

}  // namespace
}  // namespace quorvel
