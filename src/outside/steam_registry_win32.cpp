#include "outside/steam_registry_win32.hpp"

#include <windows.h>

#include <vector>

namespace quorvel {
namespace {

constexpr DWORD kSteamPathBytes = 65'536;

}  // namespace

std::optional<std::wstring> Win32SteamRegistry::steamPath() const {
    std::vector<wchar_t> buffer(kSteamPathBytes / sizeof(wchar_t));
    DWORD size = kSteamPathBytes;
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"SteamPath", RRF_RT_REG_SZ,
                                        nullptr, buffer.data(), &size);
    if (status != ERROR_SUCCESS) return std::nullopt;
    // RegGetValueW terminates the string; the value ends at its first terminator.
    return std::wstring(buffer.data());
}

std::optional<std::uint32_t> Win32SteamRegistry::activeUser() const {
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, L"Software\\Valve\\Steam\\ActiveProcess", L"ActiveUser",
                                        RRF_RT_REG_DWORD, nullptr, &value, &size);
    if (status != ERROR_SUCCESS || size != sizeof(value)) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace quorvel
