#include "outside/local_game_files.hpp"

namespace quorvel {

std::filesystem::path LocalGameFiles::canonical(const std::filesystem::path& path) {
    return std::filesystem::canonical(path);
}

}  // namespace quorvel
