#include "platform/files.hpp"

#include "common/error.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace quorvel {
namespace {

bool syncPath(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

}  // namespace

std::filesystem::path LocalFiles::canonical(const std::filesystem::path& path) {
    return std::filesystem::canonical(path);
}

void LocalFiles::flush(const std::filesystem::path& path) {
    check(syncPath(path, O_RDONLY), "无法写入更新文件");
}

bool LocalFiles::moveDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) return false;
    const std::filesystem::path folder = to.has_parent_path() ? to.parent_path() : std::filesystem::path(".");
    return syncPath(folder, O_RDONLY | O_DIRECTORY);
}

}  // namespace quorvel
