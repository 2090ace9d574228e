#include "update/install_lock_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <utility>

namespace quorvel {
namespace {

class Win32NamedMutex final : public NamedMutex {
public:
    explicit Win32NamedMutex(ScopedKernelHandle handle) : handle_(std::move(handle)) {}

    LockWait wait(std::uint32_t milliseconds) override {
        switch (WaitForSingleObject(handle_.get(), milliseconds)) {
            case WAIT_OBJECT_0:
                return LockWait::owned;
            case WAIT_ABANDONED:
                return LockWait::abandoned;
            case WAIT_TIMEOUT:
                return LockWait::timedOut;
            default:
                return LockWait::failed;
        }
    }
    void release() override { ReleaseMutex(handle_.get()); }

private:
    ScopedKernelHandle handle_;
};

}  // namespace

std::unique_ptr<NamedMutex> Win32NamedMutexes::create(const std::wstring& name) {
    HANDLE handle = CreateMutexW(nullptr, FALSE, name.c_str());
    if (handle == nullptr) return nullptr;
    return std::make_unique<Win32NamedMutex>(ScopedKernelHandle(handle));
}

}  // namespace quorvel
