#pragma once

#include "outside/process_waiter.hpp"

namespace quorvel {

// OpenProcess and WaitForSingleObject; the handle is owned by a ScopedKernelHandle.
class Win32ProcessWaiter final : public ProcessWaiter {
public:
    std::unique_ptr<WaitableProcess> open(std::uint32_t pid) override;
};

}  // namespace quorvel
