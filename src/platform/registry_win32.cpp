#include "platform/registry_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <utility>
#include <vector>

namespace quorvel {
namespace {

const wchar_t* valueName(const std::wstring& name) {
    return name.empty() ? nullptr : name.c_str();
}

class Win32RegistryKey final : public RegistryKey {
public:
    explicit Win32RegistryKey(ScopedRegistryKey key) : key_(std::move(key)) {}

    bool setString(const std::wstring& name, const std::wstring& data) override {
        const DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(key_.get(), valueName(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                              size) == ERROR_SUCCESS;
    }

    bool setDword(const std::wstring& name, std::uint32_t data) override {
        const DWORD value = data;
        return RegSetValueExW(key_.get(), valueName(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof(value)) == ERROR_SUCCESS;
    }

private:
    ScopedRegistryKey key_;
};

}  // namespace

std::optional<std::wstring> Win32Registry::readString(const std::wstring& subKey, const std::wstring& name,
                                                      std::uint32_t maxBytes) const {
    std::vector<wchar_t> buffer(maxBytes / sizeof(wchar_t));
    // Without room for the terminator nothing fits; a null buffer would make the call a size query.
    if (buffer.empty()) return std::nullopt;
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), valueName(name), RRF_RT_REG_SZ, nullptr,
                                        buffer.data(), &size);
    if (status != ERROR_SUCCESS) return std::nullopt;
    // RegGetValueW terminates the string; the value ends at its first terminator.
    return std::wstring(buffer.data());
}

std::optional<std::uint32_t> Win32Registry::readDword(const std::wstring& subKey, const std::wstring& name) const {
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), valueName(name), RRF_RT_REG_DWORD, nullptr, &value, &size);
    if (status != ERROR_SUCCESS || size != sizeof(value)) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::unique_ptr<RegistryKey> Win32Registry::createKey(const std::wstring& subKey) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<Win32RegistryKey>(ScopedRegistryKey(key));
}

bool Win32Registry::deleteTree(const std::wstring& subKey) {
    // An empty name would delete everything below HKEY_CURRENT_USER.
    if (subKey.empty()) return false;
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, subKey.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace quorvel
