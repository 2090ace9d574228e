#pragma once
// prepareLauncher: the one entry into installing and updating.

#include "common/progress.hpp"
#include "update/install_system.hpp"

#include <cstdint>
#include <filesystem>

namespace quorvel {

inline constexpr const wchar_t* kInstallLockName = L"Local\\TXQNativeInstall";
inline constexpr std::uint32_t kInstallLockWaitMs = 10'000;
inline constexpr const wchar_t* kCheckingForUpdate = L"正在检查启动助手更新…";
inline constexpr const wchar_t* kDownloadingUpdate = L"正在下载并校验新版启动助手…";
inline constexpr const wchar_t* kUpdateUnavailable = L"暂时无法更新，将继续使用当前助手。";

// Under the Install lock: installs the running build (or adopts a newer healthy active one),
// registers and records it, and with `checkForUpdates` installs a newer release from the update
// host, logging one event. Returns the Version executable that should serve this start. Failures
// of the update check are logged and shown through `progress`, never raised.
std::filesystem::path prepareLauncher(InstallSystem& system, const ProgressCallback& progress, bool checkForUpdates);

}  // namespace quorvel
