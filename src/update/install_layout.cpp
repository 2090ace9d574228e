#include "update/install_layout.hpp"

#include "common/error.hpp"

#include <string>

namespace quorvel {

std::filesystem::path installRoot(const KnownFolders& folders) {
    const std::optional<std::filesystem::path> local = folders.localAppData();
    check(local.has_value(), "无法定位用户安装目录");
    return *local / kInstallFolderName;
}

std::filesystem::path versionExecutablePath(const KnownFolders& folders, std::uint64_t build) {
    return installRoot(folders) / L"versions" / std::to_wstring(build) / kVersionExecutableName;
}

}  // namespace quorvel
