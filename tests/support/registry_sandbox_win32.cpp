#include "support/registry_sandbox_win32.hpp"

#include <atomic>
#include <stdexcept>

namespace quorvel::testing {
namespace {

void require(LSTATUS status, const char* what) {
    if (status != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
}

}  // namespace

RegistrySandbox::RegistrySandbox(Keys keys) {
    static std::atomic<unsigned> counter{0};
    // Apart from the volatile ones: a volatile parent cannot take a persistent child.
    subKey_ =
        std::wstring(keys == Keys::persistent ? L"Software\\QuorvelPersistentTests\\" : L"Software\\QuorvelTests\\") +
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    require(RegOverridePredefKey(HKEY_CURRENT_USER, nullptr), "RegOverridePredefKey (reset)");
    HKEY root = nullptr;
    const DWORD options = keys == Keys::persistent ? REG_OPTION_NON_VOLATILE : REG_OPTION_VOLATILE;
    require(RegCreateKeyExW(HKEY_CURRENT_USER, subKey_.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &root,
                            nullptr),
            "RegCreateKeyExW");
    root_.reset(root);
    require(RegOverridePredefKey(HKEY_CURRENT_USER, root_.get()), "RegOverridePredefKey");
}

RegistrySandbox::~RegistrySandbox() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    root_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, subKey_.c_str());
}

void RegistrySandbox::set(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    HKEY handle = nullptr;
    require(RegCreateKeyExW(root_.get(), key.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &handle,
                            nullptr),
            "RegCreateKeyExW");
    const ScopedRegistryKey owned(handle);
    require(RegSetValueExW(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), "RegSetValueExW");
}

void RegistrySandbox::setString(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    set(key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void RegistrySandbox::setDword(const std::wstring& key, const std::wstring& name, DWORD value) {
    set(key, name, REG_DWORD, &value, sizeof(value));
}

void RegistrySandbox::remove(const std::wstring& key, const std::wstring& name) {
    HKEY handle = nullptr;
    require(RegOpenKeyExW(root_.get(), key.c_str(), 0, KEY_SET_VALUE, &handle), "RegOpenKeyExW");
    const ScopedRegistryKey owned(handle);
    require(RegDeleteValueW(handle, name.c_str()), "RegDeleteValueW");
}

}  // namespace quorvel::testing
