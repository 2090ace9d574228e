#include "outside/local_game_files.hpp"

#include <cstddef>
#include <fstream>

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
    // istream::read turns a failing read of the stream buffer (libstdc++ throws from underflow)
    // into badbit; reading through istreambuf_iterator would let that exception out instead.
    std::string bytes;
    char chunk[16 * 1024];
    do {
        in.read(chunk, sizeof(chunk));
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    } while (in);
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
