#pragma once

#include "platform/locked_file.hpp"

namespace quorvel {

// CreateFileW (GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL), GetFileSizeEx
// and ReadFile on the handle, CloseHandle when the LockedFile goes.
class Win32LockedFileOpener final : public LockedFileOpener {
public:
    std::unique_ptr<LockedFile> open(const std::filesystem::path& path) override;
};

}  // namespace quorvel
