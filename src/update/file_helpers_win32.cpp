#include "update/file_helpers.hpp"

#include <windows.h>

namespace quorvel {

bool moveFileDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace quorvel
