#include "update/install_files.hpp"

#include "common/error.hpp"
#include "update/file_helpers.hpp"

#include <fstream>
#include <system_error>

namespace quorvel {

bool LocalInstallFiles::exists(const std::filesystem::path& path) {
    return std::filesystem::exists(path);
}

std::optional<std::uintmax_t> LocalInstallFiles::sizeIfPresent(const std::filesystem::path& path) {
    if (!std::filesystem::exists(path)) return std::nullopt;
    return std::filesystem::file_size(path);
}

std::string LocalInstallFiles::readExecutable(const std::filesystem::path& path) {
    return readExecutableFile(path);
}

std::string LocalInstallFiles::readAll(const std::filesystem::path& path, std::size_t maxBytes) {
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

void LocalInstallFiles::createDirectories(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
}

void LocalInstallFiles::writeWhole(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    check(out.is_open() && out.good(), "无法写入更新文件");
}

void LocalInstallFiles::flush(const std::filesystem::path& path) {
    check(flushFileToDisk(path), "无法写入更新文件");
}

bool LocalInstallFiles::moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    return moveFileDurably(from, to);
}

void LocalInstallFiles::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::rename(from, to);
}

void LocalInstallFiles::append(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writeFileReplacing(InstallFiles& files, const std::filesystem::path& path, std::string_view bytes) {
    if (path.has_parent_path()) files.createDirectories(path.parent_path());
    std::filesystem::path part = path;
    part += ".part";
    files.writeWhole(part, bytes);
    files.flush(part);
    check(files.moveDurably(part, path), "无法保存更新文件");
}

}  // namespace quorvel
