#pragma once

#include "outside/game_files.hpp"

namespace quorvel {

// The real file system. `canonical` is platform-specific: the standard library's on POSIX, the
// final path of an opened handle on Windows.
class LocalGameFiles final : public GameFiles {
public:
    std::optional<std::string> readWhole(const std::filesystem::path& path) override;
    bool isRegularFile(const std::filesystem::path& path) override;
    std::unique_ptr<std::istream> openBinary(const std::filesystem::path& path) override;
    std::filesystem::path canonical(const std::filesystem::path& path) override;
};

}  // namespace quorvel
