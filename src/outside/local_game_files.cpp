#include "outside/local_game_files.hpp"

#include <fstream>
#include <iterator>

namespace quorvel {
namespace {

// A path with an embedded zero would be cut short by every system call, naming another file.
bool representable(const std::filesystem::path& path) {
    return path.native().find(std::filesystem::path::value_type{}) == std::filesystem::path::string_type::npos;
}

}  // namespace

std::optional<std::string> LocalGameFiles::readWhole(const std::filesystem::path& path) {
    if (!representable(path) || !isRegularFile(path)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool LocalGameFiles::isRegularFile(const std::filesystem::path& path) {
    if (!representable(path)) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::unique_ptr<std::istream> LocalGameFiles::openBinary(const std::filesystem::path& path) {
    if (!representable(path)) return nullptr;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return nullptr;
    auto in = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!in->is_open()) return nullptr;
    return in;
}

}  // namespace quorvel
