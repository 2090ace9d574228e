#include "platform/named_lock_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <utility>

namespace quorvel {
namespace {

class Win32Holding final : public HeldLock::Holding {
public:
    explicit Win32Holding(ScopedKernelHandle mutex) : mutex_(std::move(mutex)) {}
    // Released here; the handle is closed after, by its owner.
    ~Win32Holding() override { ReleaseMutex(mutex_.get()); }

private:
    ScopedKernelHandle mutex_;
};

}  // namespace

LockAttempt Win32NamedLocks::tryLock(const std::wstring& name, std::uint32_t timeoutMs) {
    ScopedKernelHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex) return LockRefusal::cannotCreate;
    switch (WaitForSingleObject(mutex.get(), timeoutMs)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // its owner ended without releasing it; this thread owns it now
            return HeldLock(std::make_unique<Win32Holding>(std::move(mutex)));
        default:  // timed out, or the wait failed
            return LockRefusal::busy;
    }
}

}  // namespace quorvel
