#pragma once
// KnownFolders and ProgramLocations seams: the current user's folders and the running program's
// own path. Implementations: Win32KnownFolders and Win32ProgramLocations (known_folders_win32.hpp);
// fakes: testing::FakeKnownFolders and testing::FakeLocations (tests/support/fake_known_folders.hpp).

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quorvel {

// The current user's folders that the install lives in.
class KnownFolders {
public:
    virtual ~KnownFolders() = default;
    // The user's local application data folder; nothing when the platform cannot tell.
    virtual std::optional<std::filesystem::path> localAppData() const = 0;
    // The user's folder for temporary files; nothing when the platform cannot tell.
    virtual std::optional<std::filesystem::path> temporaryFolder() const = 0;
};

// Where the program itself lives.
class ProgramLocations {
public:
    virtual ~ProgramLocations() = default;
    // Full path of the running executable; fails with "无法获取工具路径".
    virtual std::filesystem::path modulePath() const = 0;
    // The running process's id.
    virtual std::uint32_t processId() const = 0;
};

}  // namespace quorvel
