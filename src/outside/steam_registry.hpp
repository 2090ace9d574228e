#pragma once
// SteamRegistry seam: Win32SteamRegistry (steam_registry_win32.cpp), fake FakeSteamRegistry (support/fake_steam.hpp).

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

// What the helper reads of the values the Steam client keeps for the current Windows user.
// Each call reads afresh; nothing is cached.
class SteamRegistry {
public:
    virtual ~SteamRegistry() = default;
    // `SteamPath` under HKCU\Software\Valve\Steam (REG_SZ, at most 65,536 bytes with its
    // terminator); nothing when the read fails for any reason.
    virtual std::optional<std::wstring> steamPath() const = 0;
    // `ActiveUser` under HKCU\Software\Valve\Steam\ActiveProcess (REG_DWORD); nothing when the
    // read fails for any reason, a value of another type included.
    virtual std::optional<std::uint32_t> activeUser() const = 0;
};

}  // namespace quorvel
