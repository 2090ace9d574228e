#pragma once

#include "update/install_lock.hpp"

namespace quorvel {

// CreateMutexW, WaitForSingleObject, ReleaseMutex.
class Win32NamedMutexes final : public NamedMutexes {
public:
    std::unique_ptr<NamedMutex> create(const std::wstring& name) override;
};

}  // namespace quorvel
