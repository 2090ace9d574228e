#pragma once
// NamedMutexes seam: the Install lock between processes of one session. Implementation:
// Win32NamedMutexes (install_lock_win32.hpp); fake: testing::FakeMutexes (support/fake_install.hpp).

#include <cstdint>
#include <memory>
#include <string>

namespace quorvel {

inline constexpr const wchar_t* kInstallLockName = L"Local\\TXQNativeInstall";
inline constexpr std::uint32_t kInstallLockWaitMs = 10'000;

enum class LockWait {
    owned,
    abandoned,  // owned, after an owner that ended without releasing it
    timedOut,
    failed,
};

// One open mutex; destroying it closes the handle (releasing it is separate).
class NamedMutex {
public:
    virtual ~NamedMutex() = default;
    virtual LockWait wait(std::uint32_t milliseconds) = 0;
    virtual void release() = 0;
};

class NamedMutexes {
public:
    virtual ~NamedMutexes() = default;
    // Creates or opens the named mutex, without security attributes and not initially owned.
    // Null on failure.
    virtual std::unique_ptr<NamedMutex> create(const std::wstring& name) = 0;
};

}  // namespace quorvel
