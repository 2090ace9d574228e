#include "update/file_helpers.hpp"

#include "common/error.hpp"
#include "update/install_files.hpp"

#include <fstream>

namespace quorvel {

std::string readExecutableFile(const std::filesystem::path& path) {
    const std::uintmax_t size = std::filesystem::file_size(path);
    check(size > 0 && size <= kMaxExecutableBytes, "更新文件大小异常");

    std::ifstream in(path, std::ios::binary);
    check(in.is_open(), "读取更新文件失败");
    // One byte more than expected is enough to see that the file grew meanwhile.
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(!in.bad() && static_cast<std::uintmax_t>(in.gcount()) == size, "读取更新文件失败");
    bytes.resize(static_cast<std::size_t>(size));
    return bytes;
}

void writeFileReplacing(const std::filesystem::path& path, std::string_view bytes) {
    LocalInstallFiles files;
    writeFileReplacing(files, path, bytes);
}

}  // namespace quorvel
