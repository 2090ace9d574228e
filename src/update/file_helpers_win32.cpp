#include "update/file_helpers.hpp"

#include "common/scoped_handle_win32.hpp"

#include <windows.h>

namespace quorvel {

bool flushFileToDisk(const std::filesystem::path& path) {
    // FlushFileBuffers needs write access; it writes out the file's cached data whichever handle
    // wrote it.
    const ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FlushFileBuffers(file.get()) != 0;
}

// MOVEFILE_WRITE_THROUGH makes the rename durable, not the moved file's bytes: flushFileToDisk
// comes first.
bool moveFileDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace quorvel
