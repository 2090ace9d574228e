#include "update/registry_writer_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <utility>

namespace quorvel {
namespace {

class Win32RegistryKey final : public RegistryKey {
public:
    explicit Win32RegistryKey(ScopedRegistryKey key) : key_(std::move(key)) {}

    bool setString(const std::wstring& name, const std::wstring& data) override {
        const DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(key_.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()), size) == ERROR_SUCCESS;
    }

private:
    ScopedRegistryKey key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32RegistryWriter::createKey(const std::wstring& subKey) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<Win32RegistryKey>(ScopedRegistryKey(key));
}

}  // namespace quorvel
