#pragma once
// GameSide: what the program reads of Steam and Dota 2 beyond the platform's seams, made once by
// the program entry beside the Platform (tests hand in FakeSteamRegistry and FakeProcessTable).

#include "outside/process_table.hpp"
#include "outside/steam_registry.hpp"

namespace quorvel {

struct GameSide {
    const SteamRegistry& steamRegistry;  // Steam's folder and logged-in account
    ProcessTable& processTable;          // the running processes, read as Dota clients
};

}  // namespace quorvel
