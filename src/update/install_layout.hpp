#pragma once
// The Install root and its paths below the user's known folder.

#include "platform/known_folders.hpp"

#include <cstdint>
#include <filesystem>

namespace quorvel {

// The build number this program carries.
std::uint64_t runningBuild();

inline constexpr const wchar_t* kInstallFolderName = L"TXQConnectorNative";
inline constexpr const wchar_t* kVersionExecutableName = L"TXQNativeConnector.exe";
inline constexpr const wchar_t* kActiveReleaseName = L"active.json";
inline constexpr const wchar_t* kUpdateLogName = L"update.log";

// <LocalAppData>\TXQConnectorNative; fails with "无法定位用户安装目录". Neither creates nor
// checks the folder.
std::filesystem::path installRoot(const KnownFolders& folders);

// <Install root>\versions\<build>\TXQNativeConnector.exe; touches nothing on disk.
std::filesystem::path versionExecutablePath(const KnownFolders& folders, std::uint64_t build);

}  // namespace quorvel
