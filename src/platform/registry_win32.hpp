#pragma once

#include "platform/registry.hpp"

namespace quorvel {

// RegGetValueW restricted to the asked type; RegCreateKeyExW below HKEY_CURRENT_USER with
// KEY_WRITE, RegSetValueExW of REG_SZ and REG_DWORD values; RegDeleteTreeW.
class Win32Registry final : public Registry {
public:
    std::optional<std::wstring> readString(const std::wstring& subKey, const std::wstring& name,
                                           std::uint32_t maxBytes) const override;
    std::optional<std::uint32_t> readDword(const std::wstring& subKey, const std::wstring& name) const override;
    std::unique_ptr<RegistryKey> createKey(const std::wstring& subKey) override;
    bool deleteTree(const std::wstring& subKey) override;
};

}  // namespace quorvel
