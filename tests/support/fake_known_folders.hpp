#pragma once
// FakeKnownFolders and FakeLocations: the user's folder and the running program's path, set by hand.

#include "common/error.hpp"
#include "platform/known_folders.hpp"

#include <filesystem>
#include <optional>

namespace quorvel::testing {

struct FakeKnownFolders final : KnownFolders {
    std::optional<std::filesystem::path> folder;
    std::optional<std::filesystem::path> localAppData() const override { return folder; }
};

struct FakeLocations final : ProgramLocations {
    std::filesystem::path module;
    bool fails = false;
    std::filesystem::path modulePath() const override {
        check(!fails, "无法获取工具路径");
        return module;
    }
};

}  // namespace quorvel::testing
