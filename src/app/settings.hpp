#pragma once
// Settings: what this build of the program was made with (the hosts it talks to, the Steam
// client library it accepts, its own build number), read once by the program entry.

#include "launch/steam_client_pin.hpp"
#include "platform/https.hpp"

#include <cstdint>

namespace quorvel {

struct Settings {
    HttpHost lobbyHost;
    HttpHost updateHost;
    const SteamClientPin& steamClientPin;
    std::uint64_t runningBuild;
};

// The settings built into this program (build_config.hpp and the pin it was linked with).
Settings builtInSettings();

}  // namespace quorvel
