#include "outside/process_waiter_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <windows.h>

namespace quorvel {
namespace {

class Win32WaitableProcess final : public WaitableProcess {
public:
    explicit Win32WaitableProcess(ScopedKernelHandle process) : process_(std::move(process)) {}

    bool waitForExit(std::uint32_t milliseconds) override {
        return WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
    }

private:
    ScopedKernelHandle process_;
};

}  // namespace

std::unique_ptr<WaitableProcess> Win32ProcessWaiter::open(std::uint32_t pid) {
    ScopedKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process.valid()) return nullptr;
    return std::make_unique<Win32WaitableProcess>(std::move(process));
}

}  // namespace quorvel
