#include "update/executable_file.hpp"

#include "common/error.hpp"

#include <system_error>

namespace quorvel {

std::string readExecutableFile(Files& files, const std::filesystem::path& path) {
    const std::optional<std::uintmax_t> size = files.sizeIfPresent(path);
    if (!size) {
        throw std::filesystem::filesystem_error("cannot examine file", path,
                                                std::make_error_code(std::errc::no_such_file_or_directory));
    }
    check(*size > 0 && *size <= kMaxExecutableBytes, "更新文件大小异常");

    // A read bounded by the size seen sees a file that grew meanwhile; the length check one that
    // shrank.
    std::string bytes;
    try {
        bytes = files.readBounded(path, static_cast<std::size_t>(*size));
    } catch (const std::filesystem::filesystem_error&) {
        throw UserError("读取更新文件失败");
    }
    check(bytes.size() == *size, "读取更新文件失败");
    return bytes;
}

}  // namespace quorvel
