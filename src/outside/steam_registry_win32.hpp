#pragma once

#include "outside/steam_registry.hpp"

namespace quorvel {

class Win32SteamRegistry final : public SteamRegistry {
public:
    std::optional<std::wstring> steamPath() const override;
    std::optional<std::uint32_t> activeUser() const override;
};

}  // namespace quorvel
