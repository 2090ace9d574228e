#pragma once

#include "outside/steam_registry.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

// Steam's registry values as plain members; counts the reads.
struct FakeSteamRegistry final : SteamRegistry {
    std::optional<std::wstring> path;
    std::optional<std::uint32_t> account;
    mutable int steamPathReads = 0;
    mutable int activeUserReads = 0;

    std::optional<std::wstring> steamPath() const override {
        ++steamPathReads;
        return path;
    }
    std::optional<std::uint32_t> activeUser() const override {
        ++activeUserReads;
        return account;
    }
};

}  // namespace quorvel::testing
