#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr std::uintmax_t kMaxExecutableBytes = 8'388'608;

// The whole content of a file of 1 byte to 8 MiB. A missing file fails with the file-system
// library's error.
std::string readExecutableFile(const std::filesystem::path& path);

// Stores `bytes` at `path` through a ".part" twin moved over the target, so that `path` is never
// seen half-written. Creates missing folders.
void writeFileReplacing(const std::filesystem::path& path, std::string_view bytes);

// Returns only once the bytes written to the file at `path` have reached the disk (they may still
// sit in the system's cache after the writer closed the file); false when that fails. A move,
// however durable, does not carry the bytes to the disk: a file moved unflushed can come back
// after a power cut with its size and zeros for content.
bool flushFileToDisk(const std::filesystem::path& path);

// Moves `from` over `to`, replacing it, and returns only once the move has reached the disk.
// False when the move fails.
bool moveFileDurably(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace quorvel
