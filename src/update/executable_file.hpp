#pragma once

#include "platform/files.hpp"

#include <cstdint>
#include <filesystem>
#include <string>

namespace quorvel {

inline constexpr std::uintmax_t kMaxExecutableBytes = 8'388'608;

// The whole content of a program image of 1 byte to 8 MiB, through `files`: its size first, then a
// read of exactly that many bytes. A missing file fails with the file-system library's error, a
// size outside the range with "更新文件大小异常", a file that cannot be read or changed size
// meanwhile with "读取更新文件失败".
std::string readExecutableFile(Files& files, const std::filesystem::path& path);

}  // namespace quorvel
