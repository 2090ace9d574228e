#pragma once

#include "outside/steam_registry.hpp"

#include <string>

namespace quorvel {

// The SteamID64 text of the account logged in to the local Steam client, read afresh; fails with
// "请先在 Steam 登录游戏账号" when nobody is logged in or the value cannot be read.
std::string activeSteamId(const SteamRegistry& registry);

// Requires the local account to be `steamId`, compared as text.
void checkSteamAccount(const SteamRegistry& registry, const std::string& steamId);

}  // namespace quorvel
