#pragma once
// RegistryWriter seam: writing string values below HKEY_CURRENT_USER. Implementation:
// Win32RegistryWriter (registry_writer_win32.hpp); fake: testing::FakeRegistry (support/fake_install.hpp).

#include <memory>
#include <string>

namespace quorvel {

// One open key; destroying it closes it.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // Sets the REG_SZ value `name` (empty: the key's default value) to `data`, its terminating NUL
    // counted in the length. False when the write fails.
    virtual bool setString(const std::wstring& name, const std::wstring& data) = 0;
};

class RegistryWriter {
public:
    virtual ~RegistryWriter() = default;
    // Opens or creates `subKey` below HKEY_CURRENT_USER for writing (non-volatile, default
    // security, no class). Null on failure.
    virtual std::unique_ptr<RegistryKey> createKey(const std::wstring& subKey) = 0;
};

}  // namespace quorvel
