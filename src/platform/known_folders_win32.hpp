#pragma once

#include "platform/known_folders.hpp"

namespace quorvel {

// SHGetKnownFolderPath(FOLDERID_LocalAppData) of the current user; GetTempPathW.
class Win32KnownFolders final : public KnownFolders {
public:
    std::optional<std::filesystem::path> localAppData() const override;
    std::optional<std::filesystem::path> temporaryFolder() const override;
};

// GetModuleFileNameW of the exe; GetCurrentProcessId.
class Win32ProgramLocations final : public ProgramLocations {
public:
    std::filesystem::path modulePath() const override;
    std::uint32_t processId() const override;
};

}  // namespace quorvel
