#include "platform/file_identity.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace quorvel {

FileIdentity fileIdentity(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        const int error = errno;
        throw std::filesystem::filesystem_error("cannot examine file", path,
                                                std::error_code(error, std::generic_category()));
    }
    FileIdentity identity;
    identity.volume = static_cast<std::uint64_t>(status.st_dev);
    const std::uint64_t inode = static_cast<std::uint64_t>(status.st_ino);
    for (std::size_t i = 0; i < sizeof inode; ++i) identity.id[i] = static_cast<std::uint8_t>(inode >> (8 * i));
    return identity;
}

}  // namespace quorvel
