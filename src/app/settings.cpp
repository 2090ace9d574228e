#include "app/settings.hpp"

#include "update/install_layout.hpp"

namespace quorvel {

Settings builtInSettings() {
    return Settings{lobbyHost(), lobbyHost(), builtInSteamClientPin(), runningBuild()};
}

}  // namespace quorvel
