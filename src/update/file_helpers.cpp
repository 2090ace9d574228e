#include "update/file_helpers.hpp"

#include "common/error.hpp"

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
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());

    std::filesystem::path part = path;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        check(out.is_open() && out.good(), "无法写入更新文件");
    }
    check(moveFileDurably(part, path), "无法保存更新文件");
}

}  // namespace quorvel
