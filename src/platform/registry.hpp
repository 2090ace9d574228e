#pragma once
// Registry seam: values below HKEY_CURRENT_USER, read and written. Implementation: Win32Registry
// (registry_win32.hpp); fake: testing::FakeRegistry (tests/support/fake_registry.hpp).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace quorvel {

// One key open for writing; destroying it closes it.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // Sets the REG_SZ value `name` (empty: the key's default value) to `data`, its terminating NUL
    // counted in the length. False when the write fails.
    virtual bool setString(const std::wstring& name, const std::wstring& data) = 0;
    // Sets the REG_DWORD value `name` to `data`. False when the write fails.
    virtual bool setDword(const std::wstring& name, std::uint32_t data) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // The REG_SZ value `name` (empty: the default value) of `subKey` below HKEY_CURRENT_USER, read
    // into a buffer of `maxBytes` that also holds its terminator; the value ends at its first
    // terminator. Nothing when the read fails for any reason: no key or value, a value of another
    // type, or one that does not fit.
    virtual std::optional<std::wstring> readString(const std::wstring& subKey, const std::wstring& name,
                                                   std::uint32_t maxBytes) const = 0;
    // The REG_DWORD value `name` of `subKey` below HKEY_CURRENT_USER; nothing when the read fails
    // for any reason, a value of another type included.
    virtual std::optional<std::uint32_t> readDword(const std::wstring& subKey, const std::wstring& name) const = 0;
    // Opens or creates `subKey` below HKEY_CURRENT_USER for writing (non-volatile, default
    // security, no class). Null on failure.
    virtual std::unique_ptr<RegistryKey> createKey(const std::wstring& subKey) = 0;
    // Deletes `subKey` below HKEY_CURRENT_USER with all its subkeys and values. True when it is
    // gone, also when it was never there; false when the deletion fails.
    virtual bool deleteTree(const std::wstring& subKey) = 0;
};

}  // namespace quorvel
