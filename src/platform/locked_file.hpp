#pragma once
// LockedFileOpener and LockedFile: a file read while nobody may write or delete it.
// Implementation: Win32LockedFileOpener (locked_file_win32.hpp); fake: testing::FakeSteamClient
// (tests/support/fake_steam_client.hpp).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace quorvel {

// An open file, read from its start; destroying it closes it and lifts the lock.
class LockedFile {
public:
    virtual ~LockedFile() = default;
    // The size in bytes; nothing when it cannot be queried.
    virtual std::optional<std::uint64_t> size() = 0;
    // Reads at most `count` bytes at the current offset into `buffer` and moves past them;
    // returns how many were read (0 at the end of the file), or nothing when the read fails.
    virtual std::optional<std::size_t> read(char* buffer, std::size_t count) = 0;
};

class LockedFileOpener {
public:
    virtual ~LockedFileOpener() = default;
    // Opens an existing file for reading, sharing it with readers only (CreateFileW with
    // GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL); null when it cannot
    // be opened that way, for instance while someone writes to it.
    virtual std::unique_ptr<LockedFile> open(const std::filesystem::path& path) = 0;
};

}  // namespace quorvel
