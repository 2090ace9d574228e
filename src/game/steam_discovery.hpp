#pragma once

#include "outside/steam_registry.hpp"
#include "platform/files.hpp"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

inline constexpr const char* kSteamNotFound = "未找到 Steam，请先安装并运行 Steam";
inline constexpr const char* kDotaNotFound = "未找到 Dota 2 安装目录";

// The Steam folder exactly as Steam recorded it; fails with kSteamNotFound when there is none.
std::wstring findSteamPath(const SteamRegistry& registry);

// The library folders named in the text of Steam's library list: every quoted `path` key
// followed by a quoted, non-empty value on the same line, left to right, with each run of
// backslashes reduced to one. Fails with "Invalid UTF-8" when a value is not UTF-8.
std::vector<std::wstring> libraryFolders(std::string_view libraryList);

// The Dota 2 installation folder of the first of the Steam folder and its libraries that holds
// the game, in canonical form; fails with kDotaNotFound or with findSteamPath's failure.
std::filesystem::path findDotaRoot(const SteamRegistry& registry, Files& files);

}  // namespace quorvel
