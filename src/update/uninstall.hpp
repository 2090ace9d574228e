#pragma once
// Uninstalling: the protocol keys that run the install, the Uninstall entry and the Install root
// removed under the join lock and the Install lock, in that order, so that a run stopped anywhere
// leaves a state from which the downloaded exe installs again.

#include "update/install_system.hpp"

#include <cstdint>
#include <filesystem>
#include <string>

namespace quorvel {

inline constexpr const char* kUninstallBusy = "另一个连接任务或更新正在进行，请稍后再卸载";
inline constexpr const wchar_t* kUninstalled = L"Quorvel 已卸载。";
// The hidden option of the temporary copy that removes the Install root once the first process
// has ended: `--uninstall-hand-off PID ROOT [--quiet]`.
inline constexpr const wchar_t* kUninstallHandOffOption = L"--uninstall-hand-off";
inline constexpr std::uint32_t kUninstallHandOffWaitMs = 30'000;

// What the first process hands its temporary copy.
struct UninstallHandOff {
    std::uint32_t pid = 0;                  // the first process, to wait for
    std::filesystem::path installRoot;      // must be the Install root exactly
};

enum class UninstallEnd {
    removed,    // everything is gone
    handedOff,  // the running exe lies in the Install root: a temporary copy removes the folder
};

// Whether `program` lies below `folder`, both made lexically normal and compared without regard
// to letter case; `folder` itself is not below itself.
bool liesWithin(const std::filesystem::path& program, const std::filesystem::path& folder);

// Takes the join lock `joinLockName` and the Install lock without waiting ("另一个连接任务或更新
// 正在进行，请稍后再卸载" when either is held), then removes the txqjoin and txqjoin-native keys
// whose open command runs a program in the Install root, the Uninstall entry, and the Install
// root. When the running program lies in the Install root it copies itself to the temporary
// folder and starts the copy with the hand-off option (`quiet` passed on) instead of removing the
// folder.
UninstallEnd uninstall(InstallSystem& system, const std::wstring& joinLockName, bool quiet);

// The temporary copy's part: checks that `handOff` names this user's Install root, waits up to
// 30 s for the first process to end, then runs `uninstall` (which now removes the folder itself).
void finishUninstall(InstallSystem& system, const std::wstring& joinLockName, const UninstallHandOff& handOff);

}  // namespace quorvel
