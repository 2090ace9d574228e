#pragma once
// SteamRegistry seam: SteamRegistryReader (Steam's values read through the platform registry),
// fake FakeSteamRegistry (support/fake_steam.hpp).

#include "platform/registry.hpp"

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

// Steam's values from the current user's registry.
class SteamRegistryReader final : public SteamRegistry {
public:
    explicit SteamRegistryReader(const Registry& registry) : registry_(registry) {}
    std::optional<std::wstring> steamPath() const override;
    std::optional<std::uint32_t> activeUser() const override;

private:
    const Registry& registry_;
};

}  // namespace quorvel
