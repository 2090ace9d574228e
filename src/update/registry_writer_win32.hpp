#pragma once

#include "update/registry_writer.hpp"

namespace quorvel {

// RegCreateKeyExW below HKEY_CURRENT_USER with KEY_WRITE, RegSetValueExW of REG_SZ values.
class Win32RegistryWriter final : public RegistryWriter {
public:
    std::unique_ptr<RegistryKey> createKey(const std::wstring& subKey) override;
};

}  // namespace quorvel
