#include "support/prefix_steam_path_win32.hpp"

#include <stdexcept>

namespace quorvel::testing {
namespace {

constexpr const wchar_t* kValveKey = L"Software\\Valve";
constexpr const wchar_t* kSteamKey = L"Software\\Valve\\Steam";
constexpr DWORD kLockWaitMs = 300'000;

bool keyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::wstring> readSteamPath() {
    std::wstring value(32768, L'\0');
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kSteamKey, L"SteamPath", RRF_RT_REG_SZ, nullptr, value.data(), &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.resize(bytes / sizeof(wchar_t) - 1);
    return value;
}

LSTATUS writeSteamPath(const std::wstring& value) {
    ScopedRegistryKey key;
    HKEY opened = nullptr;
    // Volatile: a key this creates is gone with the wine server even if the test never ends.
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kSteamKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                                     nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS) {
        key.reset(opened);
        status = RegSetValueExW(key.get(), L"SteamPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    return status;
}

}  // namespace

PrefixSteamPath::PrefixSteamPath(const std::filesystem::path& steamFolder)
    : lock_(CreateMutexW(nullptr, FALSE, L"Local\\QuorvelTestsPrefixSteamPath")) {
    if (!lock_) throw std::runtime_error("CreateMutexW failed: " + std::to_string(GetLastError()));
    const DWORD waited = WaitForSingleObject(lock_.get(), kLockWaitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        throw std::runtime_error("another test kept SteamPath for too long");
    }
    createdValve_ = !keyExists(kValveKey);
    createdSteam_ = !keyExists(kSteamKey);
    previous_ = readSteamPath();
    const LSTATUS status = writeSteamPath(steamFolder.wstring());
    if (status != ERROR_SUCCESS) throw std::runtime_error("setting SteamPath failed: " + std::to_string(status));
}

PrefixSteamPath::~PrefixSteamPath() {
    if (previous_) {
        writeSteamPath(*previous_);
    } else {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSteamKey, L"SteamPath");
    }
    if (createdSteam_) RegDeleteKeyW(HKEY_CURRENT_USER, kSteamKey);
    if (createdValve_) RegDeleteKeyW(HKEY_CURRENT_USER, kValveKey);
    ReleaseMutex(lock_.get());
}

}  // namespace quorvel::testing
