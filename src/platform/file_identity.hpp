#pragma once
// Which file a path names, independent of how it is spelt: volume serial and 128-bit file id on
// Windows (file_identity_win32.cpp), st_dev and st_ino elsewhere (file_identity_posix.cpp).

#include <array>
#include <cstdint>
#include <filesystem>

namespace quorvel {

struct FileIdentity {
    std::uint64_t volume = 0;
    std::array<std::uint8_t, 16> id{};

    bool operator==(const FileIdentity&) const = default;
};

// Links are followed. Fails with the file-system library's error (std::filesystem::filesystem_error)
// when the file cannot be opened or examined.
FileIdentity fileIdentity(const std::filesystem::path& path);

}  // namespace quorvel
