#pragma once

#include "outside/game_files.hpp"
#include "outside/local_game_files.hpp"
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

// The real file system, with every access recorded as "<operation> <path>" in order.
struct RecordingGameFiles final : GameFiles {
    LocalGameFiles local;
    std::vector<std::string> accesses;

    std::optional<std::string> readWhole(const std::filesystem::path& path) override {
        accesses.push_back("readWhole " + path.generic_string());
        return local.readWhole(path);
    }
    bool isRegularFile(const std::filesystem::path& path) override {
        accesses.push_back("isRegularFile " + path.generic_string());
        return local.isRegularFile(path);
    }
    std::unique_ptr<std::istream> openBinary(const std::filesystem::path& path) override {
        accesses.push_back("openBinary " + path.generic_string());
        return local.openBinary(path);
    }
    std::filesystem::path canonical(const std::filesystem::path& path) override {
        accesses.push_back("canonical " + path.generic_string());
        return local.canonical(path);
    }
};

}  // namespace quorvel::testing
