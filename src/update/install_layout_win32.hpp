#pragma once

#include "update/install_layout.hpp"

namespace quorvel {

// SHGetKnownFolderPath(FOLDERID_LocalAppData) of the current user.
class Win32KnownFolders final : public KnownFolders {
public:
    std::optional<std::filesystem::path> localAppData() const override;
};

}  // namespace quorvel
