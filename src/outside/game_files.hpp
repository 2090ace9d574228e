#pragma once
// GameFiles seam: LocalGameFiles (local_game_files*.cpp), fake RecordingGameFiles (support/fake_steam.hpp).

#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <string>

namespace quorvel {

// The file-system reads made of Steam's and Dota 2's files: the library list, the game's
// executable, VPK packages. Their content is untrusted.
class GameFiles {
public:
    virtual ~GameFiles() = default;
    // The whole content, byte for byte; nothing when the file cannot be opened or read.
    virtual std::optional<std::string> readWhole(const std::filesystem::path& path) = 0;
    // Whether `path` names a regular file, links followed.
    virtual bool isRegularFile(const std::filesystem::path& path) = 0;
    // A binary stream at the start of the file; null when it cannot be opened (absent, no access,
    // a folder).
    virtual std::unique_ptr<std::istream> openBinary(const std::filesystem::path& path) = 0;
    // The absolute path with links and junctions resolved and every component spelt as the file
    // system stores it; fails with the file-system library's error when `path` cannot be opened.
    virtual std::filesystem::path canonical(const std::filesystem::path& path) = 0;
};

}  // namespace quorvel
