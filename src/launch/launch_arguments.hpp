#pragma once
// Starting Dota through Steam's launcher: the argument list, the launcher's place and the program
// start (the command line quoted by common/command_line.hpp).

#include "lobby/entry.hpp"
#include "platform/clock.hpp"
#include "platform/process.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel {

inline constexpr const char* kSteamLauncherMissing = "Steam 启动程序不存在";
inline constexpr const char* kLaunchFailed = "无法通过 Steam 启动 Dota";

// -applaunch 570 [-tools -addon <addon>] +connect <server>, from the lobby's answer kept in
// `entry`, which is validated again against `clock`, so an Entry that expired since fails with
// its message.
std::vector<std::wstring> buildLaunchArguments(const Entry& entry, const Clock& clock);

// steam.exe in the Steam folder, which must be a regular file (links followed); fails with
// kSteamLauncherMissing, or the file-system error when its status cannot be read.
std::filesystem::path findSteamLauncher(const std::filesystem::path& steamFolder);

// Starts `program` with `arguments` in the program's own folder and lets go of it at once; fails
// with kLaunchFailed.
void launchProgram(Processes& processes, const std::filesystem::path& program,
                   const std::vector<std::wstring>& arguments);

}  // namespace quorvel
