#pragma once

#include "platform/known_folders.hpp"

namespace quorvel {

// SHGetKnownFolderPath(FOLDERID_LocalAppData) of the current user.
class Win32KnownFolders final : public KnownFolders {
public:
    std::optional<std::filesystem::path> localAppData() const override;
};

// GetModuleFileNameW of the exe.
class Win32ProgramLocations final : public ProgramLocations {
public:
    std::filesystem::path modulePath() const override;
};

}  // namespace quorvel
