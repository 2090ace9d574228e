#pragma once
// FakeKnownFolders and FakeLocations: the user's folder and the running program's path, set by hand.

#include "common/error.hpp"
#include "platform/known_folders.hpp"

#include <filesystem>
#include <optional>

namespace quorvel::testing {

struct FakeKnownFolders final : KnownFolders {
    std::optional<std::filesystem::path> folder;
    std::optional<std::filesystem::path> temporary;
    std::optional<std::filesystem::path> localAppData() const override { return folder; }
    std::optional<std::filesystem::path> temporaryFolder() const override { return temporary; }
};

struct FakeLocations final : ProgramLocations {
    std::filesystem::path module;
    std::uint32_t pid = 4'242;
    bool fails = false;
    std::uint32_t processId() const override { return pid; }
    std::filesystem::path modulePath() const override {
        check(!fails, "无法获取工具路径");
        return module;
    }
};

}  // namespace quorvel::testing
