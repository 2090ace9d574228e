#pragma once

#include "platform/process_environment.hpp"

namespace quorvel {

// SetEnvironmentVariableW.
class Win32ProcessEnvironment final : public ProcessEnvironment {
public:
    bool set(const std::wstring& name, const std::wstring& value) override;
};

}  // namespace quorvel
