#pragma once
// --steam-check: whether Steam's client library here is the one the silent connect accepts.

#include "launch/steam_engine.hpp"
#include "platform/known_folders.hpp"

namespace quorvel {

// Opens a Steam engine session with every check, writes native-steam-check.json beside the
// program and closes the session; never sends a connect request. A failed check writes nothing
// and passes its failure on.
void runSteamCheck(const SteamEngineAccess& access, const ProgramLocations& locations);
// The same against `pin` (tests).
void runSteamCheck(const SteamEngineAccess& access, const ProgramLocations& locations, const SteamClientPin& pin);

}  // namespace quorvel
