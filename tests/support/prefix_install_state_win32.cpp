#include "support/prefix_install_state_win32.hpp"

#include "platform/known_folders_win32.hpp"
#include "update/install_layout.hpp"
#include "update/protocol_registration.hpp"

#include <windows.h>

namespace quorvel::testing {
namespace {

constexpr const wchar_t* kKeys[] = {kProtocolKey, kProtocolCommandKey, kTestProtocolKey, kTestProtocolCommandKey};

// Where the Uninstall entry found at the start waits for the end.
std::wstring savedEntryKey() {
    return std::wstring(kUninstallKey) + L".saved-" + std::to_wstring(GetCurrentProcessId());
}

// Copies the key `from` with all it holds to `to` (replacing it); false when `from` is absent.
bool copyKey(const std::wstring& from, const std::wstring& to) {
    HKEY source = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, from.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS) return false;
    RegDeleteTreeW(HKEY_CURRENT_USER, to.c_str());
    HKEY target = nullptr;
    bool copied = false;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) ==
        ERROR_SUCCESS) {
        copied = RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return copied;
}

void clearKeys() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kProtocolKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestProtocolKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
}

}  // namespace

std::optional<std::wstring> readUserString(const wchar_t* key, const wchar_t* name) {
    std::vector<wchar_t> buffer(4'096);
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buffer.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buffer.data());
}

std::optional<std::uint32_t> readUserDword(const wchar_t* key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

PrefixInstallState::PrefixInstallState() : root_(installRoot(Win32KnownFolders())) {
    saved_ = root_;
    saved_ += L".saved-" + std::to_wstring(GetCurrentProcessId());
    if (std::filesystem::exists(root_)) std::filesystem::rename(root_, saved_);
    for (const wchar_t* key : kKeys) {
        for (const wchar_t* name : {static_cast<const wchar_t*>(nullptr), L"URL Protocol"}) {
            values_.push_back({key, name, readUserString(key, name)});
        }
    }
    entrySaved_ = copyKey(kUninstallKey, savedEntryKey());
    clearKeys();
}

PrefixInstallState::~PrefixInstallState() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    if (std::filesystem::exists(saved_)) std::filesystem::rename(saved_, root_, ignored);
    clearKeys();
    for (const Saved& saved : values_) {
        if (!saved.value) continue;
        HKEY raw = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, saved.key, 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr) !=
            ERROR_SUCCESS) {
            continue;
        }
        RegSetValueExW(raw, saved.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved.value->c_str()),
                       static_cast<DWORD>((saved.value->size() + 1) * sizeof(wchar_t)));
        RegCloseKey(raw);
    }
    if (entrySaved_ && copyKey(savedEntryKey(), kUninstallKey)) RegDeleteTreeW(HKEY_CURRENT_USER, savedEntryKey().c_str());
}

}  // namespace quorvel::testing
