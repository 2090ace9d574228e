#pragma once

#include "platform/named_lock.hpp"

namespace quorvel {

// CreateMutexW, WaitForSingleObject; the held lock: ReleaseMutex, then CloseHandle.
class Win32NamedLocks final : public NamedLocks {
public:
    LockAttempt tryLock(const std::wstring& name, std::uint32_t timeoutMs) override;
};

}  // namespace quorvel
