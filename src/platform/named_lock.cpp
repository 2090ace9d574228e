#include "platform/named_lock.hpp"

#include "common/error.hpp"

namespace quorvel {

HeldLock takeLock(NamedLocks& locks, const std::wstring& name, std::uint32_t timeoutMs, const char* cannotCreate,
                  const char* busy) {
    LockAttempt attempt = locks.tryLock(name, timeoutMs);
    if (const LockRefusal* refusal = std::get_if<LockRefusal>(&attempt)) {
        throw UserError(*refusal == LockRefusal::cannotCreate ? cannotCreate : busy);
    }
    return std::get<HeldLock>(std::move(attempt));
}

}  // namespace quorvel
