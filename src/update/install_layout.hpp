#pragma once
// The Install root and its paths, and the KnownFolders seam: Win32KnownFolders
// (install_layout_win32.hpp), fake testing::FakeKnownFolders (support/fake_install.hpp).

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quorvel {

// The build number this program carries.
std::uint64_t runningBuild();

inline constexpr const wchar_t* kInstallFolderName = L"TXQConnectorNative";
inline constexpr const wchar_t* kVersionExecutableName = L"TXQNativeConnector.exe";
inline constexpr const wchar_t* kActiveReleaseName = L"active.json";
inline constexpr const wchar_t* kUpdateLogName = L"update.log";

// The current user's folders that the install lives in.
class KnownFolders {
public:
    virtual ~KnownFolders() = default;
    // The user's local application data folder; nothing when the platform cannot tell.
    virtual std::optional<std::filesystem::path> localAppData() const = 0;
};

// <LocalAppData>\TXQConnectorNative; fails with "无法定位用户安装目录". Neither creates nor
// checks the folder.
std::filesystem::path installRoot(const KnownFolders& folders);

// <Install root>\versions\<build>\TXQNativeConnector.exe; touches nothing on disk.
std::filesystem::path versionExecutablePath(const KnownFolders& folders, std::uint64_t build);

}  // namespace quorvel
