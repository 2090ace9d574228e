#include "platform/files.hpp"

#include "common/error.hpp"

#include <cstddef>
#include <fstream>
#include <system_error>

namespace quorvel {
namespace {

// A path with an embedded zero would be cut short by every system call, naming another file.
bool representable(const std::filesystem::path& path) {
    return path.native().find(std::filesystem::path::value_type{}) == std::filesystem::path::string_type::npos;
}

}  // namespace

std::optional<std::string> LocalFiles::readWhole(const std::filesystem::path& path) {
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

std::string LocalFiles::readBounded(const std::filesystem::path& path, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        throw std::filesystem::filesystem_error("cannot open file", path,
                                                std::make_error_code(std::errc::no_such_file_or_directory));
    }
    // One byte beyond the limit tells a file that is too large from one that fills it exactly.
    std::string bytes(maxBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        throw std::filesystem::filesystem_error("cannot read file", path, std::make_error_code(std::errc::io_error));
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > maxBytes) {
        throw std::filesystem::filesystem_error("file too large", path,
                                                std::make_error_code(std::errc::file_too_large));
    }
    return bytes;
}

std::unique_ptr<std::istream> LocalFiles::openBinary(const std::filesystem::path& path) {
    if (!representable(path)) return nullptr;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return nullptr;
    auto in = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!in->is_open()) return nullptr;
    return in;
}

bool LocalFiles::isRegularFile(const std::filesystem::path& path) {
    if (!representable(path)) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool LocalFiles::exists(const std::filesystem::path& path) {
    return std::filesystem::exists(path);
}

std::optional<std::uintmax_t> LocalFiles::sizeIfPresent(const std::filesystem::path& path) {
    if (!std::filesystem::exists(path)) return std::nullopt;
    return std::filesystem::file_size(path);
}

void LocalFiles::createDirectories(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
}

void LocalFiles::writeWhole(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    check(out.is_open() && out.good(), "无法写入更新文件");
}

void LocalFiles::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::rename(from, to);
}

void LocalFiles::append(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void LocalFiles::removeAll(const std::filesystem::path& path) {
    std::filesystem::remove_all(path);
}

void writeFileReplacing(Files& files, const std::filesystem::path& path, std::string_view bytes) {
    if (path.has_parent_path()) files.createDirectories(path.parent_path());
    std::filesystem::path part = path;
    part += ".part";
    files.writeWhole(part, bytes);
    files.flush(part);
    check(files.moveDurably(part, path), "无法保存更新文件");
}

}  // namespace quorvel
